import QtQuick
import QtQuick.Layouts

ColumnLayout {
    spacing: 5

    AveragingSettings {
        objectName: "averagingSettings"
        Layout.fillWidth: true
    }
    LevelSettings {
        objectName: "levelSettings"
        Layout.fillWidth: true
    }
    DisplaySettings {
        objectName: "displaySettings"
        Layout.fillWidth: true
    }
    Item {
        Layout.fillWidth: true
        Layout.fillHeight: true
    }
}
