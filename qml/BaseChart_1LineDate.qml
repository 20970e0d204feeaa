import QtQuick
import QtCharts
import QtQuick.Controls.Material
import Meterdeck.Ui

// Power against time, fed from the power model, with the statistics line under it. The mouse
// zooms and pans the view (the feeder holds it).
Rectangle {
    id: root

    property alias chartView: chartView
    property alias series: powerSeries
    property alias feeder: feeder
    property alias axisX: axisX
    property alias axisY: axisY
    // Behind the read-out: the curve and the grid step back, the texts stay readable.
    property bool dimmed: false
    // The line under the chart (saved with it in a picture).
    property alias statsText: statsLine.text
    // Off in a copy drawn for a picture.
    property bool interactive: true
    // Further meters on the same chart, one trace each: a list model (or null) with the roles
    // `name` (the legend's text), `traceColor` and `series` (the meter's power model). Each is
    // drawn like the curve, in this chart's view, with an entry in the legend.
    property var traces: null
    // The traces' curves, one a row (a curve's feeder follows this chart's).
    readonly property alias traceLines: traceLines
    // A click on the statistics line asks for them to start again.
    signal statsResetRequested()

    radius: 10
    color: Material.backgroundColor

    ChartView {
        id: chartView
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: statsLine.top
        theme: ChartView.ChartThemeDark
        legend.visible: true
        legend.alignment: Qt.AlignTop
        // The dark theme's light texts would vanish on a light Material background. Bound once
        // the theme is set: setting it resets the legend's colour, and compiled documents may
        // set their properties in another order.
        Component.onCompleted: legend.labelColor = Qt.binding(() => root.Material.foreground)
        dropShadowEnabled: true
        animationOptions: ChartView.NoAnimation
        // Smoothing only where it shows: a thinned long series is a band of steep strokes that
        // smoothing leaves alike but draws a third slower.
        antialiasing: feeder.pointCount <= chartView.plotArea.width
        backgroundColor: root.color
        backgroundRoundness: root.radius
        plotAreaColor: root.Material.backgroundColor

        // Times as ms since the epoch; the feeder puts a category end at each round tick inside the
        // range, its label (the time) on it, so that zoomed and panned views have round labels too.
        CategoryAxis {
            id: axisX
            labelsPosition: CategoryAxis.AxisLabelsPositionOnValue
            labelsColor: root.Material.foreground
            gridLineColor: root.Material.dividerColor
            gridVisible: !root.dimmed
        }
        // ValuesAxis is Qt Charts' other name for ValueAxis (the same QValueAxis): Qt 6.4's type
        // description lists the two under one name, and tools see only this one.
        ValuesAxis {
            id: axisY
            labelsColor: root.Material.foreground
            gridLineColor: root.Material.dividerColor
            gridVisible: !root.dimmed
        }
        // Straight segments between readings: a curve through them would show peaks and dips
        // that were never measured.
        LineSeries {
            id: powerSeries
            // In the unit the points are drawn in; a recording on the chart is named.
            readonly property string unitText: feeder.yUnit !== "" ? feeder.yUnit
                : chartBuilder.shownFile === "" ? meterdeck.unitStr : chartBuilder.shownUnit
            name: legendMetrics.elidedText
            color: root.Material.accentColor
            // A dense curve at one pixel: the raster engine draws it directly, where a wider pen
            // is stroked into a shape and filled (ten times the time for the same band).
            width: chartView.antialiasing ? 2 : 1
            opacity: root.dimmed ? 0.35 : 1
            axisX: axisX
            axisY: axisY
        }
    }

    // The curve itself, over the plot (the series above holds the legend and the axes): drawn
    // from the feeder's points into an image of its own, a tenth of the time Qt Charts takes.
    ChartLine {
        id: curve
        objectName: "curve"
        x: chartView.x + chartView.plotArea.x
        y: chartView.y + chartView.plotArea.y
        width: chartView.plotArea.width
        height: chartView.plotArea.height
        feeder: feeder
        color: powerSeries.color
        lineWidth: powerSeries.width
        smoothed: chartView.antialiasing
        opacity: powerSeries.opacity
    }

    Item {
        id: traceLayer
        x: curve.x
        y: curve.y
        width: curve.width
        height: curve.height
    }

    Instantiator {
        id: traceLines
        model: root.traces
        delegate: ChartLine {
            id: trace

            required property string name
            required property color traceColor
            required property var series
            // Its legend entry: an empty series of the chart, made and removed with the row.
            property var legendEntry: null

            // Placed, dimmed and led by the chart once made (a delegate sees only its own names).
            anchors.fill: parent
            color: traceColor
            smoothed: traceFeeder.pointCount <= width
            lineWidth: traceFeeder.pointCount <= width ? 2 : 1
            feeder: ChartFeeder {
                id: traceFeeder
                model: trace.series
                xColumn: trace.series ? trace.series.eTime : 0
                yColumn: trace.series ? trace.series.edBm : 1
            }
            onNameChanged: if (legendEntry) legendEntry.name = name
            onTraceColorChanged: if (legendEntry) legendEntry.color = traceColor
        }
        onObjectAdded: (index, object) => {
            const line = object as ChartLine
            line.parent = traceLayer
            line.opacity = Qt.binding(() => powerSeries.opacity)
            line.feeder.leader = feeder
            const entry = chartView.createSeries(ChartView.SeriesTypeLine, object.name, axisX, axisY)
            entry.color = object.traceColor
            entry.opacity = Qt.binding(() => powerSeries.opacity)
            object.legendEntry = entry
        }
        onObjectRemoved: (index, object) => {
            if (object.legendEntry)
                chartView.removeSeries(object.legendEntry)
            object.legendEntry = null
        }
    }

    // A long recording's name gives way in its middle rather than the legend being cut at its end.
    TextMetrics {
        id: legendMetrics
        font: chartView.legend.font
        elide: Text.ElideMiddle
        // The marker and the legend's margins take the rest.
        elideWidth: Math.max(60, chartView.width - 60)
        text: chartBuilder.shownFile === ""
              ? "Мощность, " + powerSeries.unitText
              : "Мощность, " + powerSeries.unitText + " (" + chartBuilder.shownFile + ")"
    }

    Label {
        id: statsLine
        objectName: "statsLine"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        anchors.bottomMargin: 4
        // The room stays while the text is empty, so the chart does not jump.
        height: Math.ceil(fontMetrics.height)
        font.pixelSize: 12
        // A narrow chart shrinks the line rather than cutting it.
        fontSizeMode: Text.HorizontalFit
        minimumPixelSize: 8
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        FontMetrics {
            id: fontMetrics
            font: statsLine.font
        }
        MouseArea {
            id: statsMouse
            anchors.fill: parent
            enabled: root.interactive
            hoverEnabled: true
            onClicked: root.statsResetRequested()
            ToolTip.text: "Щелчок — начать статистику заново (Ctrl+E)"
            ToolTip.visible: containsMouse
            ToolTip.delay: 1000
        }
    }

    // Wheel: zoom around the pointer; left drag: a rectangle to zoom into; right drag (or with
    // Shift): pan; double click: the whole series.
    MouseArea {
        id: plotMouse
        objectName: "plotMouse"

        property point start
        property point last
        property bool panning: false
        property bool banding: false

        enabled: root.interactive
        x: chartView.x + chartView.plotArea.x
        y: chartView.y + chartView.plotArea.y
        width: chartView.plotArea.width
        height: chartView.plotArea.height
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        cursorShape: panning ? Qt.ClosedHandCursor : Qt.CrossCursor

        onPressed: (mouse) => {
            panning = mouse.button === Qt.RightButton || (mouse.modifiers & Qt.ShiftModifier)
            banding = !panning
            start = Qt.point(mouse.x, mouse.y)
            last = start
        }
        onPositionChanged: (mouse) => {
            if (panning)
                feeder.pan(-(mouse.x - last.x) / width, (mouse.y - last.y) / height)
            last = Qt.point(Math.max(0, Math.min(width, mouse.x)),
                            Math.max(0, Math.min(height, mouse.y)))
        }
        onReleased: {
            // A rectangle narrower than a few pixels is a click; a flat one zooms the time only.
            if (banding && Math.abs(last.x - start.x) >= 8) {
                const a = feeder.valueAt(start.x / width, start.y / height)
                const b = feeder.valueAt(last.x / width, last.y / height)
                if (Math.abs(last.y - start.y) >= 8)
                    feeder.zoomTo(a.x, b.x, a.y, b.y)
                else
                    feeder.zoomTo(a.x, b.x, 0, 0)
            }
            panning = false
            banding = false
        }
        onCanceled: {
            panning = false
            banding = false
        }
        onDoubleClicked: feeder.resetView()
        onWheel: (wheel) => {
            feeder.zoom(Math.pow(0.8, wheel.angleDelta.y / 120),
                        feeder.valueAt(wheel.x / width, 0).x)
        }

        Rectangle {
            objectName: "zoomBand"
            visible: plotMouse.banding
            x: Math.min(plotMouse.start.x, plotMouse.last.x)
            y: Math.min(plotMouse.start.y, plotMouse.last.y)
            width: Math.abs(plotMouse.last.x - plotMouse.start.x)
            height: Math.abs(plotMouse.last.y - plotMouse.start.y)
            color: Qt.rgba(root.Material.accentColor.r, root.Material.accentColor.g,
                           root.Material.accentColor.b, 0.15)
            border.color: root.Material.accentColor
        }
    }

    // A newly opened recording is shown whole and running.
    Connections {
        target: chartBuilder
        enabled: root.interactive
        function onShownChanged() {
            if (chartBuilder.shownFile !== "") {
                feeder.paused = false
                feeder.resetView()
            }
        }
    }

    // One replace() per burst of model resets instead of a point-by-point mapper. The feeder sets
    // the axes (round ticks around the points) in the same pass as the points.
    ChartFeeder {
        id: feeder
        model: powerModel
        xColumn: powerModel.eTime
        yColumn: powerModel.edBm
        // Never every point: before its first layout a chart (the picture's copy) has no plot
        // area yet, and drawing a long recording point by point takes seconds.
        pixelColumns: Math.max(1, Math.round(chartView.plotArea.width))
        pixelRows: Math.max(1, Math.round(chartView.plotArea.height))
        axisX: axisX
        axisY: axisY
        xMin: powerModel.timeMin
        xMax: powerModel.timeMax
        yMin: powerModel.powerMin
        yMax: powerModel.powerMax
    }
}
