import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Meterdeck.Ui

SettingGroupBox {
    title: "Внешний аттенюатор"

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        CompactSwitch {
            id: offsetSwitch
            objectName: "offsetSwitch"
            text: checked ? "Вкл." : "Выкл."
            onToggled: {
                // The offset in the field counts from the moment it is switched on.
                meterdeck.offset_dB = UiFormat.toNumber(offsetField.text)
                meterdeck.offsetEn = checked ? 1 : 0
            }
        }

        SettingRow {
            text: "Смещение, дБ"

            BaseTextField {
                id: offsetField
                objectName: "offsetField"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                horizontalAlignment: TextInput.AlignHCenter
                text: Number(meterdeck.offset_dB).toFixed(3)
                validator: NumberValidator {}
                // A refused entry goes back to the value kept (the controller's notify), and the
                // log says why.
                function apply() { meterdeck.offset_dB = UiFormat.toNumber(text) }
                attention: activeFocus && UiFormat.toNumber(text) !== meterdeck.offset_dB
                ToolTip.text: "Смещение от -100 до +100 дБ; Enter — применить"
                ToolTip.visible: hovered
                ToolTip.delay: 1000
                Keys.onReturnPressed: apply()
                Keys.onEnterPressed: apply()
            }
        }
    }
}
