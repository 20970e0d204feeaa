import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material

// The toolbar's icon button.
RoundButton {
    id: control

    property string toolTipText: ""
    // The two colours of the colour rule, readable from outside.
    readonly property color accentColor: Material.accentColor
    // The design's highlighted-text colour is white in the light theme: an icon in it vanishes
    // against the toolbar. The foreground colour keeps the two-colour rule visible.
    readonly property color highlightedTextColor: Material.foreground
    // The face of a button that is on (checked): an opaque accent tint, so that the glyph keeps
    // the foreground colour and its contrast (Material's highlighted text is white).
    readonly property color checkedColor: Qt.tint(Material.backgroundColor,
                                                  Qt.rgba(accentColor.r, accentColor.g, accentColor.b, 0.2))

    // Highlighted-text colour for a true value, accent colour for false. From then on the icon
    // keeps that colour whatever the enabled state.
    function changeBackGroundColor(val) {
        icon.color = val ? highlightedTextColor : accentColor
    }

    topInset: 6
    leftInset: 6
    rightInset: 6
    bottomInset: 6
    padding: 12
    spacing: 6
    icon.width: 24
    icon.height: 24
    icon.color: !enabled ? Material.hintTextColor
              : flat && highlighted ? Material.accentColor
              : highlighted ? Material.primaryHighlightedTextColor : Material.foreground
    Material.elevation: down ? 8 : 2

    scale: hovered ? 1.1 : 1.0
    // Reached by Tab only: a mouse click leaves Space to the chart's pause.
    focusPolicy: Qt.TabFocus

    ToolTip.text: toolTipText
    // A disabled button gets no hover of its own; whoever lays it out can tell it.
    property bool hoveredWhileDisabled: false
    ToolTip.visible: (hovered || hoveredWhileDisabled) && toolTipText !== ""
    ToolTip.delay: 1000
    ToolTip.timeout: 2000

    background: Rectangle {
        implicitWidth: control.Material.buttonHeight
        implicitHeight: control.Material.buttonHeight
        radius: control.radius
        color: "transparent"

        Rectangle {
            anchors.fill: parent
            radius: control.radius
            visible: control.checked
            color: control.checkedColor
            border.width: 2
            border.color: control.accentColor
        }
        Rectangle {
            anchors.fill: parent
            radius: control.radius
            visible: control.enabled && (control.hovered || control.visualFocus)
            color: control.Material.rippleColor
        }
        Rectangle {
            anchors.fill: parent
            radius: control.radius
            visible: control.down
            color: control.Material.rippleColor
        }
        Rectangle {
            anchors.fill: parent
            radius: control.radius
            visible: control.visualFocus
            color: "transparent"
            border.width: 2
            border.color: control.accentColor
        }
    }
}
