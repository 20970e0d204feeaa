import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Window

// The frame of every settings group.
GroupBox {
    id: control

    property color borderColor: Material.frameColor

    // In a low window (a 768 px screen or less) the frames draw closer around their controls,
    // so that every group fits without scrolling where it can.
    readonly property bool dense: Window.height > 0 && Window.height < 720
    readonly property real framePadding: dense ? 4 : Material.frameVerticalPadding

    spacing: dense ? 2 : 5
    padding: dense ? 6 : 10
    topPadding: framePadding + (implicitLabelWidth > 0 ? implicitLabelHeight + spacing : 0)
    bottomPadding: framePadding

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
