import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

SettingGroupBox {
    title: "Усреднение"

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        Switch {
            id: averSwitch
            objectName: "averSwitch"
            // Without the touch-size margins: the column has to fit the smallest window.
            topPadding: 0
            bottomPadding: 0
            text: checked ? "Вкл." : "Выкл."
            onToggled: meterdeck.averEn = checked ? 1 : 0
        }

        RowLayout {
            Layout.fillWidth: true
            FitLabel {
                text: "Фильтр"
                // The label takes what it needs; the entries ("авто 0.001 дБ") the rest.
                Layout.fillWidth: false
                horizontalAlignment: Text.AlignHCenter
            }
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
