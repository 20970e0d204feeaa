import QtQuick
import QtQuick.Layouts

SettingGroupBox {
    title: "Усреднение"

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        CompactSwitch {
            id: averSwitch
            objectName: "averSwitch"
            text: checked ? "Вкл." : "Выкл."
            onToggled: meterdeck.averEn = checked ? 1 : 0
        }

        // The label takes what it needs; the entries ("авто 0.001 дБ") the rest.
        SettingRow {
            text: "Фильтр"
            halves: false

            BaseComboBox {
                id: averCombo
                objectName: "averCombo"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignRight
                model: ["авто 1 дБ", "авто 0.1 дБ", "авто 0.01 дБ", "авто 0.001 дБ"]
                onCurrentIndexChanged: meterdeck.aver = currentIndex
            }
        }
    }
}
