import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Meterdeck.Ui

// The settings of one added meter: its frequency, converter, offset and averaging, B of A−B, and
// taking it out of the measurement, or making it the connected meter, on which the window's
// own controls act.
Popup {
    id: popup

    property var meters: null
    property int row: -1
    // The row's values when opened.
    property string name: ""

    function openFor(index) {
        row = index
        const s = meters.settings(index)
        name = s.name
        freqField.text = UiFormat.groupedFixed(s.freq)
        attSwitch.checked = s.att
        offsetField.text = String(s.offset)
        offsetSwitch.checked = s.offsetEn
        averSwitch.checked = s.averEn
        averBox.currentIndex = s.aver
        partnerBox.checked = s.partner
        open()
    }

    parent: Overlay.overlay
    x: Math.round((parent.width - width) / 2)
    y: Math.round((parent.height - height) / 2)
    modal: true
    focus: true
    padding: 16

    ColumnLayout {
        spacing: 8
        Label {
            text: popup.name
            font.bold: true
            Layout.maximumWidth: 360
            elide: Text.ElideMiddle
        }
        RowLayout {
            Label { text: "Частота, кГц"; Layout.preferredWidth: 120 }
            TextField {
                id: freqField
                objectName: "furtherFreq"
                Layout.preferredWidth: 160
                selectByMouse: true
                onAccepted: popup.meters.setFreq(popup.row, UiFormat.frequencyFromText(text))
                onEditingFinished: popup.meters.setFreq(popup.row, UiFormat.frequencyFromText(text))
            }
        }
        CompactSwitch {
            id: attSwitch
            objectName: "furtherAtt"
            text: "Преобразователь масштабный"
            onToggled: popup.meters.setAtt(popup.row, checked)
        }
        RowLayout {
            CompactSwitch {
                id: offsetSwitch
                objectName: "furtherOffsetOn"
                text: "Смещение, дБ"
                Layout.preferredWidth: 190
                onToggled: popup.meters.setOffset(popup.row, Number(offsetField.text.replace(",", ".")), checked)
            }
            TextField {
                id: offsetField
                objectName: "furtherOffset"
                Layout.preferredWidth: 120
                selectByMouse: true
                onEditingFinished: popup.meters.setOffset(popup.row, Number(text.replace(",", ".")),
                                                          offsetSwitch.checked)
            }
        }
        RowLayout {
            CompactSwitch {
                id: averSwitch
                objectName: "furtherAverOn"
                text: "Усреднение"
                Layout.preferredWidth: 190
                onToggled: popup.meters.setAveraging(popup.row, checked, averBox.currentIndex)
            }
            ComboBox {
                id: averBox
                Layout.preferredWidth: 160
                model: ["авто 1 дБ", "авто 0.1 дБ", "авто 0.01 дБ", "авто 0.001 дБ"]
                onActivated: popup.meters.setAveraging(popup.row, averSwitch.checked, currentIndex)
            }
        }
        CheckBox {
            id: partnerBox
            objectName: "furtherPartner"
            text: "B для разности A−B"
            onToggled: if (checked) popup.meters.partner = popup.row
        }
        RowLayout {
            Layout.alignment: Qt.AlignRight
            // The window's own controls then act on it; the measurement starts again.
            Button {
                objectName: "furtherMakeMain"
                text: "Сделать основным (A)"
                flat: true
                enabled: !meterdeck.needWrite
                ToolTip.text: enabled ? "Подключиться к нему; остальные — рядом. Измерение начнётся заново."
                                      : "Сначала остановите запись: у каждого измерителя свой файл."
                ToolTip.visible: hovered
                ToolTip.delay: 600
                onClicked: {
                    popup.close()
                    meterdeck.makeMain(popup.row)
                }
            }
            Button {
                objectName: "furtherRemove"
                text: "Убрать из измерения"
                flat: true
                onClicked: {
                    popup.meters.remove(popup.row)
                    popup.close()
                }
            }
            Button {
                text: "Закрыть"
                onClicked: popup.close()
            }
        }
    }
}
