import QtQuick
import QtCharts
import QtQuick.Controls.Material
import Meterdeck.Ui

// Power against time, fed from the power model.
Rectangle {
    id: root

    property alias chartView: chartView
    property alias series: powerSeries
    property alias feeder: feeder
    property alias axisX: axisX
    property alias axisY: axisY
    // Behind the read-out: the curve and the grid step back, the texts stay readable.
    property bool dimmed: false

    radius: 10
    color: Material.backgroundColor

    ChartView {
        id: chartView
        anchors.fill: parent
        theme: ChartView.ChartThemeDark
        legend.visible: true
        legend.alignment: Qt.AlignTop
        // The dark theme's light texts would vanish on a light Material background.
        legend.labelColor: root.Material.foreground
        dropShadowEnabled: true
        animationOptions: ChartView.NoAnimation
        antialiasing: true
        backgroundColor: root.color
        backgroundRoundness: root.radius
        plotAreaColor: root.Material.backgroundColor

        DateTimeAxis {
            id: axisX
            format: "HH:mm:ss"
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
            name: chartBuilder.shownFile === ""
                  ? "Мощность, " + unitText
                  : "Мощность, " + unitText + " (" + chartBuilder.shownFile + ")"
            color: root.Material.accentColor
            opacity: root.dimmed ? 0.35 : 1
            axisX: axisX
            axisY: axisY
        }
    }

    // One replace() per burst of model resets instead of a point-by-point mapper. The feeder sets
    // the axes (round ticks around the points) in the same pass as the points.
    ChartFeeder {
        id: feeder
        series: powerSeries
        model: powerModel
        xColumn: powerModel.eTime
        yColumn: powerModel.edBm
        pixelColumns: Math.round(chartView.plotArea.width)
        axisX: axisX
        axisY: axisY
        xMin: powerModel.timeMin
        xMax: powerModel.timeMax
        yMin: powerModel.powerMin
        yMax: powerModel.powerMax
    }
}
