pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Meterdeck.Ui

// The meters of the measurement side by side: the connected one (A), each added one in its
// trace's colour, A−B, and a way to add the other listed meters. Shown while connected and
// another meter is listed or added.
Item {
    id: row

    readonly property var further: meterdeck.traces
    readonly property int furtherCount: further ? further.count : 0
    readonly property bool wanted: (meterdeck.isStart || meterdeck.reconnecting)
                                   && (furtherCount > 0 || listed > 1)
    // The device list's size, followed through its resets.
    property int listed: deviceModel.rowCount()
    Connections {
        target: deviceModel
        function onModelReset() { row.listed = deviceModel.rowCount() }
        function onRowsInserted() { row.listed = deviceModel.rowCount() }
        function onRowsRemoved() { row.listed = deviceModel.rowCount() }
    }

    visible: wanted
    implicitHeight: wanted ? 46 : 0

    // One meter's compact read-out.
    component Tile: Rectangle {
        id: tile
        property color swatch
        property string title
        property string value
        property string unit
        property string state
        property bool warn: false
        property bool marked: false
        // Its statistics, on hover.
        property string stats: ""
        signal clicked()
        implicitHeight: 44
        // The tiles share the row: as wide as their text wants, narrower where many are shown.
        Layout.fillWidth: true
        Layout.minimumWidth: 84
        Layout.preferredWidth: 84
        Layout.maximumWidth: 190
        Layout.fillHeight: true
        radius: 4
        color: hover.hovered ? Qt.lighter(Material.backgroundColor, 1.4) : Material.backgroundColor
        border.color: marked ? swatch : Material.frameColor
        border.width: marked ? 2 : 1
        HoverHandler { id: hover }
        ToolTip.text: stats
        ToolTip.visible: hover.hovered && stats !== ""
        ToolTip.delay: 600
        TapHandler { onTapped: tile.clicked() }
        Rectangle {
            width: 4
            anchors.left: parent.left
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            anchors.margins: 4
            radius: 2
            color: tile.swatch
        }
        ColumnLayout {
            id: content
            anchors.fill: parent
            anchors.leftMargin: 14
            anchors.rightMargin: 6
            spacing: 0
            Label {
                text: tile.title
                font.pixelSize: 11
                color: tile.Material.hintTextColor
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            Label {
                objectName: "tileValue"
                // Without a value, what became of the meter.
                text: tile.value === "—" && tile.state !== "" ? tile.state
                                                               : tile.value + " " + tile.unit
                color: tile.warn ? "#ff5252" : tile.Material.foreground
                font.pixelSize: 18
                font.bold: true
                Layout.fillWidth: true
                // A narrow tile shrinks the number rather than cutting digits off.
                fontSizeMode: Text.HorizontalFit
                minimumPixelSize: 10
                elide: Text.ElideRight
            }
        }
    }

    function serialOf(info) {
        const cut = info.indexOf("SN: ")
        return cut < 0 ? info : info.substring(cut + 4)
    }

    // A and A−B stay in place; the added meters between them scroll sideways where even their
    // narrowest tiles do not fit.
    RowLayout {
        id: tiles
        anchors.fill: parent
        spacing: 6

        Tile {
            objectName: "meterTileA"
            swatch: Material.accentColor
            title: "A · " + row.serialOf(meterdeck.meterName)
            value: meterdeck.reconnecting ? "—" : UiFormat.readout(meterdeck.power, meterdeck.aver)
            unit: meterdeck.unitStr
            state: meterdeck.reconnecting ? "нет связи" : ""
            warn: meterdeck.reconnecting
            marked: row.furtherCount > 0
            stats: meterdeck.statsText
        }
        Flickable {
            id: flick
            readonly property real tileRoom: 190 * row.furtherCount
                                             + furtherTiles.spacing * Math.max(0, row.furtherCount - 1)
            visible: row.furtherCount > 0
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredWidth: furtherTiles.implicitWidth
            Layout.maximumWidth: tileRoom
            contentWidth: furtherTiles.width
            clip: true
            flickableDirection: Flickable.HorizontalFlick
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.horizontal: ScrollBar { policy: ScrollBar.AsNeeded }

            RowLayout {
                id: furtherTiles
                spacing: 6
                height: flick.height
                width: Math.max(flick.width, implicitWidth)

                Repeater {
                    model: row.further
                    delegate: Tile {
                        id: further
                        required property int index
                        required property var model
                        objectName: "meterTile" + index
                        swatch: model.traceColor
                        title: (model.partner ? "B · " : "") + model.serial
                        value: model.value
                        unit: model.unit
                        state: model.state === 0 ? "" : model.stateText
                        warn: model.state === 2
                        marked: model.partner
                        stats: model.stats
                        onClicked: settingsPopup.openFor(further.index)
                    }
                }
            }
        }
        Tile {
            objectName: "differenceTile"
            visible: row.furtherCount > 0
            swatch: Material.foreground
            title: row.further ? row.further.differenceLabel : ""
            value: row.further ? row.further.differenceText : ""
            unit: ""
            state: ""
            stats: row.further ? row.further.differenceStats : ""
        }
        RoundButton {
            id: addButton
            objectName: "addMeter"
            text: "+"
            flat: true
            font.pixelSize: 20
            Layout.fillWidth: false
            Layout.preferredWidth: 44
            Layout.preferredHeight: 44
            topInset: 0
            bottomInset: 0
            focusPolicy: Qt.TabFocus
            enabled: meterdeck.isStart
            ToolTip.text: "Добавить к измерению другой найденный измеритель или убрать его"
            ToolTip.visible: hovered
            ToolTip.delay: 800
            onClicked: addMenu.open()
            Menu {
                id: addMenu
                objectName: "addMenu"
                y: addButton.height
                Repeater {
                    model: deviceModel
                    delegate: MenuItem {
                        required property int index
                        required property string eInfo
                        readonly property bool own: index === meterdeck.selectedDevice
                        readonly property bool added: row.further !== null
                        && row.further.identifications.indexOf(eInfo) >= 0
                        text: eInfo
                        enabled: !own
                        checkable: true
                        checked: own || added
                        onTriggered: {
                            if (added)
                            meterdeck.removeMeter(index)
                            else
                            meterdeck.addMeter(index)
                        }
                    }
                }
            }
        }
        // The room the tiles leave, at the end.
        Item {
            Layout.fillWidth: true
            Layout.preferredWidth: 0
        }
    }

    MeterSettingsPopup {
        id: settingsPopup
        objectName: "meterSettings"
        meters: row.further
    }
}
