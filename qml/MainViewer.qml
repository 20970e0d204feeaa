import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts

// The numeric read-out lying over the live chart; one of them is in front.
Item {
    id: viewer

    property bool isNumberEn: true

    BaseChart_1LineDate {
        id: chart
        objectName: "chart"
        anchors.fill: parent
        // Behind the number the curve and grid fade, while the axis texts keep their contrast.
        dimmed: viewer.isNumberEn
    }

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        radius: 5
        border.color: Material.frameColor

        ColumnLayout {
            id: readout
            objectName: "readout"
            anchors.fill: parent
            spacing: 0
            opacity: viewer.isNumberEn ? 1 : 0.25

            Item {
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.preferredHeight: 2
            }
            Label {
                id: digits
                objectName: "digits"
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.preferredHeight: 3
                text: Number(meterdeck.power).toFixed(Math.max(0, Math.min(20, meterdeck.aver)))
                font.bold: true
                font.pixelSize: Math.max(1, viewer.height * 0.2)
                // A narrow window shrinks the number rather than cutting digits off.
                fontSizeMode: Text.HorizontalFit
                minimumPixelSize: 8
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignBottom
                elide: Text.ElideRight
            }
            Label {
                id: unit
                objectName: "unit"
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.preferredHeight: 4
                text: meterdeck.unitStr
                font.pixelSize: Math.max(1, viewer.height * 0.1)
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignTop
                opacity: 0.8
            }
        }
    }

    // A big recording is read in the background: how far it is, and a way out. The chart keeps
    // what it shows until the file is read whole.
    Rectangle {
        id: loadPanel
        objectName: "loadPanel"
        visible: chartBuilder.loading
        anchors.centerIn: parent
        width: Math.min(parent.width - 20, 320)
        height: loadColumn.implicitHeight + 20
        radius: 8
        color: Material.dialogColor
        border.color: Material.frameColor

        ColumnLayout {
            id: loadColumn
            anchors.fill: parent
            anchors.margins: 10
            Label {
                Layout.fillWidth: true
                text: "Чтение записи… " + Math.round(chartBuilder.loadProgress * 100) + " %"
                elide: Text.ElideRight
            }
            ProgressBar {
                objectName: "loadProgress"
                Layout.fillWidth: true
                value: chartBuilder.loadProgress
            }
            Button {
                objectName: "loadCancel"
                Layout.alignment: Qt.AlignRight
                text: "Отмена"
                flat: true
                onClicked: chartBuilder.cancelLoad()
            }
        }
    }
}
