import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material

// The frame of every settings group.
GroupBox {
    id: control

    property color borderColor: Material.frameColor

    spacing: 5
    padding: 10
    topPadding: Material.frameVerticalPadding + (implicitLabelWidth > 0 ? implicitLabelHeight + spacing : 0)
    bottomPadding: Material.frameVerticalPadding

    label: Text {
        x: control.leftPadding
        width: control.availableWidth
        text: control.title
        font: control.font
        color: control.enabled ? control.Material.foreground : control.Material.hintTextColor
        elide: Text.ElideRight
        verticalAlignment: Text.AlignVCenter
    }

    background: Rectangle {
        y: control.topPadding - control.bottomPadding
        width: parent.width
        height: parent.height - control.topPadding + control.bottomPadding
        radius: 10
        color: Qt.darker(control.Material.backgroundColor, 1.25)
        border.color: control.borderColor
    }
}
