// Bound: the delegates below use ids of this document, which tools then check.
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import Meterdeck.Ui

// The event log, following its newest line.
Rectangle {
    id: logs

    property alias listView: logView

    color: Qt.darker(Material.backgroundColor, 1.2)
    border.width: 1
    border.color: Qt.darker(Material.backgroundColor, 2)

    ListView {
        id: logView
        objectName: "logView"
        anchors.fill: parent
        anchors.margins: 1
        // A new line comes to the view as one entry added (and the oldest removed), not as a
        // new list.
        model: LogFeed {
            source: logsModel
            onLinesChanged: logView.followLast()
        }
        topMargin: 25
        clip: true
        // Entries scrolled out are handed back and taken again from a pool rather than destroyed
        // and built anew, and only the visible ones are built.
        reuseItems: true
        cacheBuffer: 0
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn }
        ScrollBar.horizontal: ScrollBar { policy: ScrollBar.AlwaysOff }

        // A plain, borderless text area, so that a line can be selected. A line is shown whole:
        // without the line break some lines end in (it would draw over the line above) and
        // wrapped where it is longer than the view is wide.
        delegate: TextEdit {
            required property string eLog
            width: ListView.view.width
            text: eLog.replace(/\s+$/, "")
            wrapMode: TextEdit.Wrap
            readOnly: true
            selectByMouse: true
            font.pixelSize: 12
            opacity: 0.7
            leftPadding: 2
            rightPadding: logView.ScrollBar.vertical.width + 2
            topPadding: 2
            bottomPadding: 2
            color: logs.Material.foreground
            selectionColor: logs.Material.accentColor
            selectedTextColor: logs.Material.primaryHighlightedTextColor
        }

        // The view keeps its place when a line is added below it: moved to the end explicitly.
        function followLast() {
            currentIndex = count - 1
            positionViewAtEnd()
        }
        onCountChanged: followLast()
    }
}
