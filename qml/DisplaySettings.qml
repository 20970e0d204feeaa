import QtQuick
import QtQuick.Layouts

SettingGroupBox {
    title: "Настройки отображения"

    SettingRow {
        anchors.fill: parent
        text: "Единицы измерения"

        BaseComboBox {
            id: unitCombo
            objectName: "unitCombo"
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            model: ["дБм", "Ватт", "Вольт"]
            onCurrentIndexChanged: meterdeck.unit = currentIndex
        }
    }
}
