// Bound: the delegates below use ids of this document, which tools then check.
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Window
import QtQuick.Controls.impl
import QtQuick.Templates as T
import QtQuick.Controls
import QtQuick.Controls.Material

// A compact combo box in an outlined container.
T.ComboBox {
    id: control

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: 0.7 * Math.max(implicitBackgroundHeight + topInset + bottomInset,
                                   implicitContentHeight + topPadding + bottomPadding,
                                   implicitIndicatorHeight + topPadding + bottomPadding)

    topInset: 6
    bottomInset: 6
    leftPadding: padding + (!control.mirrored || !indicator || !indicator.visible ? 0 : indicator.width + spacing)
    rightPadding: padding + (control.mirrored || !indicator || !indicator.visible ? 0 : indicator.width + spacing)

    Material.foreground: Material.primaryTextColor
    // Reached by Tab only: a mouse click leaves Space to the chart's pause.
    focusPolicy: Qt.TabFocus
    // Return opens the list as Space does; with the list open it takes the highlighted entry.
    // Opened on the key's release: the combo box closes its list on that release itself.
    property bool openOnRelease: false
    Keys.onPressed: (event) => {
        if ((event.key === Qt.Key_Return || event.key === Qt.Key_Enter) && !popup.visible) {
            openOnRelease = true
            event.accepted = true
        }
    }
    Keys.onReleased: (event) => {
        if ((event.key === Qt.Key_Return || event.key === Qt.Key_Enter) && openOnRelease) {
            openOnRelease = false
            event.accepted = true
            popup.open()
        }
    }

    delegate: MenuItem {
        required property int index
        required property var model
        width: ListView.view.width
        text: control.textRole ? model[control.textRole] : model.modelData
        Material.foreground: control.currentIndex === index ? ListView.view.contentItem.Material.accent
                                                            : ListView.view.contentItem.Material.foreground
        highlighted: control.highlightedIndex === index
        hoverEnabled: control.hoverEnabled
    }

    indicator: ColorImage {
        x: control.mirrored ? control.padding : control.width - width - control.padding
        y: control.topPadding + (control.availableHeight - height) / 2
        color: control.enabled ? control.Material.foreground : control.Material.hintTextColor
        source: "qrc:/qt-project.org/imports/QtQuick/Controls/Material/images/drop-indicator.png"
    }

    // Where the entry is wider than the box, the text shrinks a little and is then elided on the
    // side named here (the device list keeps the serial number's end in view).
    property int textElide: Text.ElideRight

    contentItem: Text {
        leftPadding: control.mirrored ? 0 : 12
        rightPadding: control.mirrored ? 12 : 0
        text: control.displayText
        font: control.font
        fontSizeMode: Text.HorizontalFit
        minimumPixelSize: 11
        elide: control.textElide
        color: control.enabled ? control.Material.foreground : control.Material.hintTextColor
        verticalAlignment: Text.AlignVCenter
    }

    // Outlined text container: primary text colour on hover, hint colour at rest, accent in focus.
    background: Rectangle {
        implicitWidth: 120
        implicitHeight: control.Material.buttonHeight
        radius: 4
        color: "transparent"
        border.width: control.activeFocus ? 2 : 1
        border.color: control.activeFocus ? control.Material.accentColor
                    : (control.enabled && control.hovered) ? control.Material.primaryTextColor
                    : control.Material.hintTextColor
    }

    // The widest entry at the box's font, so the open list shows every entry whole.
    readonly property real widestText: {
        let widest = 0
        for (let i = 0; i < count; ++i)
            widest = Math.max(widest, entryMetrics.advanceWidth(textAt(i)))
        return widest
    }
    FontMetrics {
        id: entryMetrics
        font: control.font
    }

    popup: T.Popup {
        y: control.editable ? control.height - 5 : 0
        // At least as wide as the box; wider where an entry needs it, growing to the left (the
        // boxes stand at the window's right side) and never past the window's edges.
        width: Math.min(Math.max(control.width, control.widestText + 64),
                        control.Window.width - leftMargin - rightMargin)
        x: Math.min(0, control.width - width)
        leftMargin: 12
        rightMargin: 12
        height: Math.min(contentItem.implicitHeight + topPadding + bottomPadding,
                         control.Window.height - topMargin - bottomMargin)
        transformOrigin: Item.Top
        topMargin: 12
        bottomMargin: 12
        verticalPadding: 8

        Material.theme: control.Material.theme
        Material.accent: control.Material.accent
        Material.primary: control.Material.primary

        enter: Transition {
            NumberAnimation { property: "scale"; from: 0.9; easing.type: Easing.OutQuint; duration: 220 }
            NumberAnimation { property: "opacity"; from: 0.0; easing.type: Easing.OutCubic; duration: 150 }
        }
        exit: Transition {
            NumberAnimation { property: "scale"; to: 0.9; easing.type: Easing.OutQuint; duration: 220 }
            NumberAnimation { property: "opacity"; to: 0.0; easing.type: Easing.OutCubic; duration: 150 }
        }

        contentItem: ListView {
            clip: true
            implicitHeight: contentHeight
            model: control.delegateModel
            currentIndex: control.highlightedIndex
            highlightMoveDuration: 0
            T.ScrollIndicator.vertical: ScrollIndicator { }
        }

        background: Rectangle {
            radius: 4
            color: control.Material.dialogColor
            border.color: control.Material.frameColor
        }
    }
}
