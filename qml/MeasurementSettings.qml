import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.Window

// The settings groups above the device group. Where the window is too low for all of them the
// column scrolls (wheel or scroll bar) instead of running into the device group below.
Flickable {
    id: flick

    readonly property bool scrolls: contentHeight > height + 0.5

    implicitWidth: column.implicitWidth
    implicitHeight: column.implicitHeight
    contentWidth: width
    contentHeight: column.implicitHeight
    clip: true
    interactive: scrolls
    boundsBehavior: Flickable.StopAtBounds
    ScrollBar.vertical: ScrollBar {
        objectName: "settingsScrollBar"
        policy: flick.scrolls ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
    }

    // Brings an item of the column fully into view (keyboard focus moving down the column).
    function ensureVisible(item) {
        const r = item.mapToItem(column, 0, 0, item.width, item.height)
        if (r.y < contentY)
            contentY = r.y
        else if (r.y + r.height > contentY + height)
            contentY = Math.min(contentHeight - height, r.y + r.height - height)
    }

    Connections {
        target: flick.Window.window
        function onActiveFocusItemChanged() {
            const focused = flick.Window.activeFocusItem
            for (let p = focused; p; p = p.parent)
                if (p === column) {
                    flick.ensureVisible(focused)
                    return
                }
        }
    }

    ColumnLayout {
        id: column
        // Room for the scroll bar while it is shown, so it never covers a control.
        width: flick.width - (flick.scrolls ? flick.ScrollBar.vertical.width : 0)
        spacing: flick.Window.height > 0 && flick.Window.height < 720 ? 2 : 5

        AveragingSettings {
            objectName: "averagingSettings"
            Layout.fillWidth: true
        }
        LevelSettings {
            objectName: "levelSettings"
            Layout.fillWidth: true
        }
        DisplaySettings {
            objectName: "displaySettings"
            Layout.fillWidth: true
        }
    }
}
