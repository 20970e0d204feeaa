// Bound: the delegates below use ids of this document, which tools then check.
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import QtQuick.Controls.Material

// An outlined text field whose placeholder floats onto the outline once there is text or focus.
T.TextField {
    id: control

    // Fill behind the floating placeholder, so the outline does not run through it.
    property color containerColor: Qt.darker(Material.backgroundColor, 1.25)
    // Typed but not applied: outlined until the value is taken.
    property bool attention: false
    readonly property bool floating: activeFocus || length > 0 || preeditText.length > 0

    implicitWidth: implicitBackgroundWidth + leftInset + rightInset
                   || Math.max(contentWidth, placeholder.implicitWidth) + leftPadding + rightPadding
    // Compact, but never lower than its text below the floating placeholder.
    implicitHeight: Math.max(0.7 * (implicitBackgroundHeight + topInset + bottomInset),
                             contentHeight + topPadding + bottomPadding)

    leftPadding: 12
    rightPadding: 12
    // The text is centred in the outline below the floating placeholder, never under it.
    topPadding: placeholderText !== "" ? placeholder.floatHeight + 1 : topInset + 2
    bottomPadding: 2
    topInset: placeholderText !== "" ? placeholder.floatHeight / 2 : 0

    color: enabled ? Material.foreground : Material.hintTextColor
    selectionColor: Material.accentColor
    selectedTextColor: Material.primaryHighlightedTextColor
    placeholderTextColor: enabled ? Material.primaryTextColor : Material.hintTextColor
    verticalAlignment: TextInput.AlignVCenter

    cursorDelegate: Rectangle {
        width: 2
        color: control.Material.accentColor
        visible: control.activeFocus && !control.readOnly && control.selectionStart === control.selectionEnd
    }

    background: Rectangle {
        implicitWidth: 120
        implicitHeight: control.Material.buttonHeight
        radius: 4
        color: "transparent"
        border.width: control.activeFocus || control.attention ? 2 : 1
        border.color: control.attention ? control.Material.color(Material.Orange)
                    : control.activeFocus ? control.Material.accentColor
                    : (control.enabled && control.hovered) ? control.Material.primaryTextColor
                    : control.Material.hintTextColor
    }

    Rectangle {
        id: placeholder
        objectName: "floatingLabel"

        readonly property real floatHeight: Math.round(control.font.pixelSize * 0.6) + 2
        property alias implicitWidthOfText: placeholderLabel.implicitWidth

        visible: control.placeholderText !== "" && (control.floating || !control.length)
        x: control.floating ? control.leftPadding - 4 : control.leftPadding
        y: control.floating ? control.topInset - height / 2 : (control.height + control.topInset - height) / 2
        width: placeholderLabel.implicitWidth + (control.floating ? 8 : 0)
        height: placeholderLabel.implicitHeight
        implicitWidth: placeholderLabel.implicitWidth
        color: "transparent"

        // Breaks the outline behind the floating text; only a strip, so that in a low field it
        // does not cover the top of the digits.
        Rectangle {
            visible: control.floating
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width
            height: 4
            color: control.containerColor
        }

        Text {
            id: placeholderLabel
            anchors.centerIn: parent
            text: control.placeholderText
            font.family: control.font.family
            font.pixelSize: control.floating ? Math.round(control.font.pixelSize * 0.6)
                                             : control.font.pixelSize
            color: control.activeFocus ? control.Material.accentColor : control.placeholderTextColor
            renderType: control.renderType
        }

        Behavior on y { NumberAnimation { duration: 120; easing.type: Easing.OutCubic } }
    }
}
