import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

SettingGroupBox {
    title: "Настройки отображения"

    RowLayout {
        anchors.fill: parent
        FitLabel {
            text: "Единицы измерения"
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            horizontalAlignment: Text.AlignHCenter
        }
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
