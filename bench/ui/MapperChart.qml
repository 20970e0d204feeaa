import QtQuick
import QtCharts
import QtQuick.Controls.Material

// For comparison only: the chart fed point by point through a model mapper.
Rectangle {
    radius: 10
    color: Material.backgroundColor
    ChartView {
        anchors.fill: parent
        theme: ChartView.ChartThemeDark
        legend.alignment: Qt.AlignTop
        dropShadowEnabled: true
        animationOptions: ChartView.NoAnimation
        antialiasing: true
        DateTimeAxis { id: axisX; format: "HH:mm:ss"; min: powerModel.timeMin; max: powerModel.timeMax }
        ValueAxis { id: axisY; min: powerModel.powerMin; max: powerModel.powerMax }
        SplineSeries {
            id: series
            name: "Мощность, " + meterdeck.unitStr
            axisX: axisX
            axisY: axisY
        }
        VXYModelMapper {
            model: powerModel
            series: series
            firstRow: 0
            xColumn: powerModel.eTime
            yColumn: powerModel.edBm
        }
    }
}
