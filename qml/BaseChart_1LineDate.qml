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
        }
        ValueAxis {
            id: axisY
            labelsColor: root.Material.foreground
            gridLineColor: root.Material.dividerColor
        }
        SplineSeries {
            id: powerSeries
            // A recording on the chart is named, in the unit it was recorded in.
            name: chartBuilder.shownFile === ""
                  ? "Мощность, " + meterdeck.unitStr
                  : "Мощность, " + chartBuilder.shownUnit + " (" + chartBuilder.shownFile + ")"
            color: root.Material.accentColor
            axisX: axisX
            axisY: axisY
        }
    }

    // One replace() per burst of model resets instead of a point-by-point mapper. The axes span
    // the model's bounds exactly; the feeder sets them in the same pass as the points.
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
