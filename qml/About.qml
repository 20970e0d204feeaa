import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import Meterdeck.Ui

// Closed by Escape or a click outside.
Dialog {
    id: dialog
    objectName: "dialogAbout"

    // Over the middle of the window, whatever item loads it.
    parent: Overlay.overlay
    anchors.centerIn: Overlay.overlay
    width: parent ? parent.width * 0.3 : 0
    height: parent ? parent.height * 0.6 : 0

    modal: true
    spacing: 0
    padding: 0
    topPadding: 0
    bottomPadding: 0
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside

    contentItem: Rectangle {
        radius: 20
        clip: true
        gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0.0; color: dialog.Material.accentColor }
            GradientStop { position: 0.5; color: dialog.Material.dialogColor }
        }

        Image {
            anchors.fill: parent
            source: "qrc:/icons/main.png"
            fillMode: Image.PreserveAspectCrop
            opacity: 0.6
        }

        // The text on a plain panel of its own: over the gradient and the picture it was hard to
        // read.
        Rectangle {
            objectName: "aboutPanel"
            anchors.fill: parent
            anchors.margins: 12
            radius: 12
            color: Qt.rgba(dialog.Material.dialogColor.r, dialog.Material.dialogColor.g,
                           dialog.Material.dialogColor.b, 0.94)

            Label {
                objectName: "aboutText"
                anchors.fill: parent
                anchors.margins: 10
                text: "Ортикс-Т9 1.0\nТарвент 2024\n\n" + UiFormat.shortcutsText()
                color: dialog.Material.foreground
                font.pixelSize: 12
                verticalAlignment: Text.AlignBottom
                wrapMode: Text.WordWrap
                fontSizeMode: Text.Fit
                minimumPixelSize: 8
            }
        }
    }
}
