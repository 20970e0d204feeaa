// Bound: the shortcut delegates below call this document by its id.
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Templates as T
import QtQuick.Layouts
import Meterdeck.Ui

ApplicationWindow {
    id: mainWindow

    visible: true
    title: "Ортикс-Т9"
    width: Math.max(Screen.width * 0.55, minimumWidth)
    // Narrower, the chart's axis labels, legend and statistics line no longer fit whole.
    minimumWidth: Math.min(Screen.desktopAvailableWidth,
                           Math.max(Screen.width * 0.3, settingsMinimumWidth + chartMinimumWidth + 30))
    minimumHeight: Screen.height * 0.7
    // Starts at the minimum height; said explicitly, as not every window system enforces it.
    height: minimumHeight

    background: Rectangle {
        gradient: Gradient {
            GradientStop { position: 0.0; color: Qt.darker(mainWindow.Material.backgroundColor, 0.8) }
            GradientStop { position: 1.0; color: Qt.darker(mainWindow.Material.backgroundColor, 1.2) }
        }
    }

    // The settings column is never narrower than its longest texts and entries need; in a narrow
    // window the chart and the log give up the width.
    readonly property int settingsMinimumWidth: 252
    readonly property int chartMinimumWidth: 400
    // The column's 30 % of a row; the chart or the log beside it takes the rest.
    function settingsWidth(row) {
        return Math.max(settingsMinimumWidth, Math.round((row.width - row.spacing) * 0.3))
    }

    // What a keyboard shortcut names (UiFormat.shortcuts); the chart's own actions are left to
    // the viewer where it offers them.
    function runAction(action) {
        if (action === "toggleRelative")
            meterdeck.relative = !meterdeck.relative
        else if (action === "resetStatistics")
            meterdeck.resetStatistics()
        else if (typeof toolbarSettings[action] === "function")
            toolbarSettings[action]()
        else if (typeof mainViewer[action] === "function")
            mainViewer[action]()
        else if (typeof deviceSettings[action] === "function")
            deviceSettings[action]()
    }

    // A focused control takes its own keys first: Space toggles a switch, presses a button,
    // opens a list, types a space.
    readonly property bool focusTakesSpace: {
        const f = activeFocusItem
        return !!f && (f instanceof T.AbstractButton || f instanceof T.ComboBox
                       || f instanceof TextInput || f instanceof TextEdit)
    }

    Instantiator {
        model: UiFormat.shortcuts()
        delegate: Shortcut {
            required property var modelData
            sequence: modelData.keys
            context: Qt.WindowShortcut
            enabled: modelData.keys !== "Space" || !mainWindow.focusTakesSpace
            onActivated: mainWindow.runAction(modelData.action)
        }
    }

    // Port and meter, the age of the last reading, the record file and its counts. A long file
    // name gives way in its middle; the counts never do (a failing recording must show).
    footer: RowLayout {
        id: statusRow
        spacing: 0
        Label {
            id: statusLine
            objectName: "statusLine"

            property double now: Date.now()
            readonly property bool stale: meterdeck.stale(now)

            // The counts follow the text directly; it gives way only when the line is full.
            Layout.preferredWidth: Math.floor(Math.min(Math.ceil(placeMetrics.advanceWidth) + leftPadding + 1,
                                                       statusRow.width - Math.ceil(statusCounts.implicitWidth)))
            // The whole text's width (an elided label's own implicit width follows its elision).
            TextMetrics {
                id: placeMetrics
                font: statusLine.font
                text: statusLine.text
            }
            leftPadding: 10
            bottomPadding: 2
            font.pixelSize: Math.round(12 * UiFormat.sizeScale(mainWindow.height))
            elide: Text.ElideMiddle
            color: stale ? Material.color(Material.Red) : Material.secondaryTextColor
            // Read again with every reading and twice a second for the age.
            text: {
                meterdeck.power; meterdeck.isStart; meterdeck.needWrite; meterdeck.reconnecting
                meterdeck.fileName
                return meterdeck.statusPlace(now)
            }
            HoverHandler { id: statusHover }
            ToolTip.text: meterdeck.needWrite ? meterdeck.fileName : ""
            ToolTip.visible: statusHover.hovered && meterdeck.needWrite
            Timer {
                interval: 500
                repeat: true
                running: true
                onTriggered: statusLine.now = Date.now()
            }
        }
        Label {
            id: statusCounts
            objectName: "statusCounts"
            rightPadding: 10
            bottomPadding: 2
            font.pixelSize: statusLine.font.pixelSize
            color: statusLine.color
            text: {
                meterdeck.needWrite; meterdeck.writtenLines; meterdeck.failedWritesTotal
                return meterdeck.statusCounts()
            }
        }
        Item { Layout.fillWidth: true }
    }

    // The chart alone below the toolbar, or with the settings and the log around it.
    function setFullScreenChart(val) {
        measurementSettings.visible = !val
        outLogsAndDeviceSettings.visible = !val
    }

    ColumnLayout {
        id: content
        anchors.fill: parent
        anchors.margins: 10
        spacing: 0
        // Escape, where no control or list takes it, leaves the focused control: Space is the
        // chart's pause again.
        Keys.onEscapePressed: mainViewer.forceActiveFocus()

        // Preferred sizes are layout weights: every cell fills, in proportion to them.
        ToolbarSettings {
            id: toolbarSettings
            objectName: "toolbarSettings"
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredHeight: 12

            onNumberToggled: (isTouch) => mainViewer.isNumberEn = !isTouch
            onChartToggled: (isTouch) => mainWindow.setFullScreenChart(isTouch)
            onAboutRequested: mainWindow.openAbout()
        }

        ColumnLayout {
            id: body
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredHeight: 90
            spacing: 5

            // The lower row's 30% share in pixels, counted from the anchored column (not from
            // this layout's own height, which the layout itself sets). Where that share cannot
            // hold the device group, the row takes the group's height and the upper row the rest.
            readonly property real lowerShare: ((content.height - content.spacing) * 90 / (12 + 90)
                                                - spacing) * 0.3

            RowLayout {
                id: upperRow
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.preferredHeight: 70
                spacing: 10

                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.preferredWidth: 70
                    spacing: 4
                    // The other meters of the measurement, while there are any to show.
                    MeterRow {
                        id: meterRow
                        objectName: "meterRow"
                        Layout.fillWidth: true
                        Layout.preferredHeight: implicitHeight
                        Layout.minimumHeight: implicitHeight
                    }
                    MainViewer {
                        id: mainViewer
                        objectName: "mainViewer"
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                    }
                }
                MeasurementSettings {
                    id: measurementSettings
                    objectName: "measurementSettings"
                    Layout.fillWidth: false
                    Layout.fillHeight: true
                    Layout.preferredWidth: mainWindow.settingsWidth(upperRow)
                }
            }

            RowLayout {
                id: outLogsAndDeviceSettings
                objectName: "outLogsAndDeviceSettings"
                Layout.fillWidth: true
                Layout.fillHeight: false
                Layout.preferredHeight: Math.max(body.lowerShare,
                                                 deviceSettings.Layout.minimumHeight)
                spacing: 10

                OutLogs {
                    id: outLogs
                    objectName: "outLogs"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.preferredWidth: 70
                }
                DeviceSettings {
                    id: deviceSettings
                    objectName: "deviceSettings"
                    messageBox: infoMessage
                    Layout.fillWidth: false
                    Layout.fillHeight: true
                    Layout.preferredWidth: mainWindow.settingsWidth(outLogsAndDeviceSettings)
                }
            }
        }
    }

    // Built when first asked for: built with the window it took a fifth of the start.
    Loader {
        id: aboutLoader
        active: false
        source: "About.qml"
    }
    function openAbout() {
        aboutLoader.active = true
        const about = aboutLoader.item as About
        about.open()
    }

    InfoMessage {
        id: infoMessage
        objectName: "infoMessage"
    }

    Connections {
        target: chartBuilder
        function onFailed(text) {
            infoMessage.text = text
            infoMessage.open()
        }
        function onNotice(text) {
            infoMessage.text = text
            infoMessage.open()
        }
    }
}
