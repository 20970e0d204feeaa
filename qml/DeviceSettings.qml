// Bound: the delegates below use ids of this document, which tools then check.
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Meterdeck.Ui

SettingGroupBox {
    id: root

    // The window's message box (text, open()).
    property var messageBox: null
    // The box open says that the meter was lost.
    property bool lossShown: false

    function showMessage(text, evenIfEmpty) {
        if (!messageBox) return
        messageBox.text = text
        if (evenIfEmpty || text !== "")
            messageBox.open()
    }

    // The window's connect shortcut: as a click on the switch, where the switch can be used.
    function toggleConnection() {
        if (onOff.enabled) {
            onOff.toggle()
            onOff.toggled()
        }
    }

    title: "Устройство"
    borderColor: meterdeck.isStart ? Material.accentColor : Material.frameColor

    // Never lower than its controls: at the smallest window heights the group takes the height
    // it needs from the rows above instead of cutting off the frequency field.
    Layout.minimumHeight: Math.ceil(topPadding + bottomPadding) + upperCell.minimumHeight
                          + cells.spacing + deviceList.minimumHeight

    // The converter switch; its label wraps to a second line between its words where the group
    // is too narrow for one.
    component ConverterSwitch: CompactSwitch {
        id: converter
        text: "Преобразователь масштабный"
        contentItem: FitLabel {
            leftPadding: converter.indicator.width + converter.spacing
            text: converter.text
            font.family: converter.font.family
            color: converter.enabled ? converter.Material.foreground
                                     : converter.Material.hintTextColor
            verticalAlignment: Text.AlignVCenter
        }
    }

    ColumnLayout {
        id: cells
        anchors.fill: parent
        spacing: root.dense ? 8 : 20

        // The upper cell takes its third of the height, but never less than its controls need
        // nor so much that the device entry below loses part of its own; the list takes the rest.
        readonly property real upperShare: Math.min((height - spacing) / 3,
                                                    height - spacing - deviceList.minimumHeight)

        // Invisible stand-ins (left out of the layout) that give the height of one device entry
        // also before any meter is listed, so the window does not re-lay out when one appears.
        ConverterSwitch {
            id: converterSizer
            visible: false
            width: deviceList.width
        }
        BaseTextField {
            id: freqSizer
            visible: false
            placeholderText: "Частота, кГц"
            font.pixelSize: 19
        }

        RowLayout {
            id: upperCell
            Layout.fillWidth: true
            // Whole pixels, as the layouts place items on them.
            readonly property real minimumHeight: Math.ceil(Math.max(deviceComboBox.implicitHeight,
                                                                     onOff.implicitHeight))
            Layout.fillHeight: false
            Layout.preferredHeight: Math.max(cells.upperShare, minimumHeight)

            BaseComboBox {
                id: deviceComboBox
                objectName: "deviceComboBox"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignRight | Qt.AlignVCenter
                // Meters of one family differ by the serial number at the end of the entry.
                textElide: Text.ElideLeft
                model: deviceModel
                textRole: "eInfo"
                // The controller keeps the selection on its meter while the list changes.
                currentIndex: meterdeck.selectedDevice
                // The combo box also announces its count when the model is first attached.
                property int knownCount: 0

                onActivated: (index) => {
                    meterdeck.selectedDevice = index
                    currentIndex = Qt.binding(function() { return meterdeck.selectedDevice })
                }
                onCurrentIndexChanged: deviceList.currentIndex = currentIndex
                onCountChanged: {
                    if (count === knownCount) return
                    knownCount = count
                    if (count === 0)
                        root.showMessage(logsModel.lastLog(), false)
                }
            }

            CompactSwitch {
                id: onOff
                objectName: "onOff"
                // Only as wide as the switch: the device entry needs the room.
                Layout.fillWidth: false
                // On while connected or while waiting for a lost meter to come back; off ends
                // either. Shows the connection as it is, also after a failed attempt.
                readonly property bool engaged: meterdeck.isStart || meterdeck.reconnecting
                enabled: deviceComboBox.count > 0 || engaged
                checked: engaged
                onToggled: {
                    meterdeck.isStart = !engaged
                    checked = Qt.binding(function() { return engaged })
                }
                property string toolTipText: meterdeck.isStart ? "Отключиться от устройства"
                                                               : "Подключиться к устройству"
                ToolTip.text: toolTipText
                ToolTip.visible: hovered
                ToolTip.delay: 1000
                ToolTip.timeout: 2000
            }
        }

        ListView {
            id: deviceList
            objectName: "deviceList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            readonly property real minimumHeight: Math.ceil(converterSizer.implicitHeight) + 10
                                                  + Math.ceil(freqSizer.implicitHeight)
            orientation: ListView.Horizontal
            spacing: 50
            interactive: false
            clip: true
            model: deviceModel
            highlightMoveDuration: 0

            delegate: ColumnLayout {
                id: entry
                required property var model
                width: deviceList.width
                height: deviceList.height
                spacing: 10

                ConverterSwitch {
                    id: attOnOff
                    objectName: "attOnOff"
                    Layout.fillWidth: true
                    enabled: meterdeck.isStart
                    // Shows what this meter's converter was told, also after the list was
                    // rebuilt or the meter reconnected.
                    checked: entry.model.eAtt
                    onToggled: {
                        const on = checked
                        entry.model.eAtt = on
                        meterdeck.att = on ? 1 : 0
                        checked = Qt.binding(function() { return entry.model.eAtt })
                    }
                }

                BaseTextField {
                    id: freqField
                    objectName: "freqField"

                    property alias pulseTimer: pulseTimer

                    function shown() { return UiFormat.groupedFixed(entry.model.eFreq) }

                    function apply() {
                        pulseTimer.stop()
                        meterdeck.freq = UiFormat.frequencyFromText(text)
                        entry.model.eFreq = meterdeck.freq
                        // Show what the controller kept, also when it equals the old value.
                        text = Qt.binding(shown)
                        font.pixelSize = 18
                    }

                    Layout.fillWidth: true
                    enabled: meterdeck.isStart
                    placeholderText: "Частота, " + typedUnit
                    // Typed but not applied: the meter still measures at the old frequency. Outlined
                    // (and pulsing) until Enter.
                    readonly property bool pending: text !== shown()
                    attention: pending
                    // The unit read from the text (kHz unless one is typed: 915 МГц, 2.4G).
                    readonly property string typedUnit: UiFormat.frequencyUnit(text)
                    property string toolTipText: pending
                        ? "Не применено: " + UiFormat.groupedFixed(UiFormat.frequencyFromText(text))
                          + " кГц; Enter — установить частоту"
                        : "Частота от 300 до 3 200 000 кГц (можно МГц, ГГц: 915 МГц, 2.4G); Enter — применить"
                    // On hover only: shown by itself it would cover the converter switch.
                    ToolTip.text: toolTipText
                    ToolTip.visible: hovered
                    ToolTip.delay: pending ? 0 : 1000
                    horizontalAlignment: TextInput.AlignHCenter
                    font.pixelSize: 18
                    text: shown()
                    // A number, grouped or not, and an optional unit.
                    validator: RegularExpressionValidator {
                        regularExpression: /^[-+]?[\d\s]*[.,]?[\d\s]*([eE][-+]?\d*)?\s*[кКkKмМmMгГgGhHцЦzZ]{0,3}$/
                    }
                    rightPadding: unitHint.width + 8
                    Label {
                        id: unitHint
                        objectName: "freqUnit"
                        anchors.right: parent.right
                        anchors.rightMargin: 6
                        anchors.verticalCenter: parent.verticalCenter
                        anchors.verticalCenterOffset: parent.topInset / 2
                        text: freqField.typedUnit
                        font.pixelSize: 11
                        opacity: 0.7
                    }
                    Keys.onReturnPressed: apply()
                    Keys.onEnterPressed: apply()
                    onActiveFocusChanged: {
                        if (!activeFocus && UiFormat.frequencyFromText(text) !== meterdeck.freq)
                            pulseTimer.start()
                    }

                    // Pulses until the new value is applied.
                    Timer {
                        id: pulseTimer
                        interval: 500
                        repeat: true
                        onTriggered: freqField.font.pixelSize = freqField.font.pixelSize === 18 ? 19 : 18
                    }
                }

                Item { Layout.fillHeight: true }
            }
        }
    }

    Connections {
        target: meterdeck
        function onErrorChanged() { root.showMessage(logsModel.lastLog(), true) }
        function onAlert(text) {
            root.showMessage(text, true)
            root.lossShown = meterdeck.reconnecting
        }
        // The meter came back by itself: the box about its loss would only cover the read-out.
        function onReconnectingChanged() {
            if (!meterdeck.reconnecting && meterdeck.isStart && root.lossShown && root.messageBox)
                root.messageBox.close()
            root.lossShown = false
        }
    }
}
