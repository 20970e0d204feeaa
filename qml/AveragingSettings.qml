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
            Label {
                text: "Фильтр"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }
            BaseComboBox {
                id: averCombo
                objectName: "averCombo"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                Layout.alignment: Qt.AlignRight
                model: ["авто 1 дБ", "авто 0.1 дБ", "авто 0.01 дБ", "авто 0.001 дБ"]
                onCurrentIndexChanged: meterdeck.aver = currentIndex
            }
        }
    }
}
