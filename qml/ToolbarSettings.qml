import QtQuick
import QtQuick.Controls.Material
import QtQuick.Layouts
import Qt.labs.platform as Platform
import Meterdeck.Ui

Item {
    id: toolbar

    signal numberToggled(bool isTouch)
    signal chartToggled(bool isTouch)
    signal aboutRequested()

    readonly property real smallIcon: height * 0.4
    readonly property real bigIcon: height * 0.7

    // Also reachable from outside for the blinking and for tests.
    property alias blinkTimer: blinkTimer

    // What the buttons do, for the window's keyboard shortcuts too (a disabled button's action
    // is refused here as well).
    function openRecording() {
        if (buttonOpenFile.enabled)
            dialogOpen.open()
        else
            refusedHint.tell(buttonOpenFile)
    }
    function chooseRecordFile() {
        if (buttonSaveFile.enabled)
            buttonSaveFile.clicked()
        else
            refusedHint.tell(buttonSaveFile)
    }
    function toggleRecording() {
        if (buttonRec.enabled)
            buttonRec.clicked()
    }
    function toggleChart() {
        buttonChart.clicked()
    }

    RowLayout {
        id: row
        anchors.fill: parent
        spacing: 0

        Item {
            Layout.fillHeight: true
            Layout.fillWidth: true
            Layout.preferredWidth: 2
        }

        RowLayout {
            id: fileRow
            Layout.fillHeight: true
            Layout.fillWidth: true
            Layout.preferredWidth: 10
            spacing: 0

            // The file buttons say why they are disabled, too.
            HoverHandler {
                id: fileHover
            }
            function hovers(button) {
                return fileHover.hovered
                        && button.contains(button.mapFromItem(fileRow, fileHover.point.position))
            }

            BaseButton {
                id: buttonOpenFile
                objectName: "buttonOpenFile"
                Layout.fillWidth: true
                Layout.fillHeight: true
                icon.source: "qrc:/icons/open.svg"
                icon.width: toolbar.smallIcon
                icon.height: toolbar.smallIcon
                toolTipText: enabled ? "Открыть файл для построения графика (Ctrl+O)"
                                     : "Открыть запись можно после отключения устройства."
                enabled: !meterdeck.isStart
                hoveredWhileDisabled: !enabled && fileRow.hovers(this)
                onClicked: dialogOpen.open()
            }
            BaseButton {
                id: buttonSaveFile
                objectName: "buttonSaveFile"
                Layout.fillWidth: true
                Layout.fillHeight: true
                icon.source: "qrc:/icons/save.svg"
                icon.width: toolbar.smallIcon
                icon.height: toolbar.smallIcon
                toolTipText: enabled ? "Выберите директорию для сохранения файла (Ctrl+S)"
                                     : "Файл записи можно сменить после остановки записи."
                // The record file cannot change while it is being written.
                enabled: !meterdeck.isStart || !meterdeck.needWrite
                hoveredWhileDisabled: !enabled && fileRow.hovers(this)
                onClicked: {
                    meterdeck.updateFileName()
                    dialogSave.open()
                    // Qt Widgets' dialog takes the proposed name only once it is shown.
                    dialogSave.currentFile = UiFormat.fileUrl(meterdeck.fileName)
                }
            }
        }

        BaseButton {
            id: buttonRec
            objectName: "buttonRec"

            property bool isWrite: meterdeck.needWrite
            property int stateColor: 0

            Layout.fillHeight: true
            Layout.fillWidth: true
            Layout.preferredWidth: 4
            icon.source: isWrite ? "qrc:/icons/stop.svg" : "qrc:/icons/play.svg"
            icon.width: toolbar.bigIcon
            icon.height: toolbar.bigIcon
            toolTipText: (isWrite ? "Остановить запись в файл" : "Начать запись в файл") + " (Ctrl+R)"
            // A recording that goes on without a connection (the meter is awaited) can be stopped.
            enabled: meterdeck.isStart || isWrite
            onClicked: {
                meterdeck.needWrite = !isWrite
                changeBackGroundColor(!isWrite)
            }
        }

        RowLayout {
            Layout.fillHeight: true
            Layout.fillWidth: true
            Layout.preferredWidth: 10
            spacing: 0

            BaseButton {
                id: buttonNumber
                objectName: "buttonNumber"

                property bool isTouch: false

                Layout.fillWidth: true
                Layout.fillHeight: true
                icon.source: "qrc:/icons/number.svg"
                icon.width: toolbar.smallIcon
                icon.height: toolbar.smallIcon
                icon.color: Material.accentColor
                toolTipText: isTouch ? "Показать значение мощности" : "Скрыть значение мощности"
                onClicked: {
                    isTouch = !isTouch
                    changeBackGroundColor(isTouch)
                    toolbar.numberToggled(isTouch)
                }
            }
            BaseButton {
                id: buttonRelative
                objectName: "buttonRelative"
                Layout.fillWidth: true
                Layout.fillHeight: true
                text: "Δ"
                font.pixelSize: toolbar.smallIcon
                font.bold: meterdeck.relative
                // Shown as pressed in; the click itself switches the controller.
                checked: meterdeck.relative
                toolTipText: meterdeck.relative
                             ? "Вернуться к абсолютным показаниям (Ctrl+D)"
                             : "Относительный отсчёт от текущего показания, дБ (Ctrl+D)"
                onClicked: meterdeck.relative = !meterdeck.relative
            }
            BaseButton {
                id: buttonChart
                objectName: "buttonChart"

                property bool isTouch: false

                Layout.fillWidth: true
                Layout.fillHeight: true
                icon.source: "qrc:/icons/chart.svg"
                icon.width: toolbar.smallIcon
                icon.height: toolbar.smallIcon
                toolTipText: (isTouch ? "Свернуть график мощности" : "Развернуть график мощности") + " (F11)"
                onClicked: {
                    isTouch = !isTouch
                    changeBackGroundColor(!isTouch)
                    toolbar.chartToggled(isTouch)
                }
            }
            BaseButton {
                id: buttonAbout
                objectName: "buttonAbout"
                Layout.fillWidth: true
                Layout.fillHeight: true
                icon.source: "qrc:/icons/about.svg"
                icon.width: toolbar.smallIcon
                icon.height: toolbar.smallIcon
                toolTipText: "О программе"
                onClicked: toolbar.aboutRequested()
            }
        }

        Item {
            Layout.fillHeight: true
            Layout.fillWidth: true
            Layout.preferredWidth: 2
        }
    }

    // While recording, the record icon alternates between two colours once a second.
    Timer {
        id: blinkTimer
        interval: 1000
        repeat: true
        running: true
        triggeredOnStart: true
        onTriggered: {
            if (buttonRec.isWrite) {
                buttonRec.changeBackGroundColor(buttonRec.stateColor)
                buttonRec.stateColor = buttonRec.stateColor ? 0 : 1
            }
        }
    }

    // Why a shortcut did nothing, shown at its button for a few seconds.
    ToolTip {
        id: refusedHint
        objectName: "refusedHint"
        timeout: 4000
        function tell(button) {
            parent = button
            text = button.toolTipText
            open()
        }
    }

    // The system's dialog, or Qt Widgets' where there is none (as for saving): Russian, with a
    // name field where a typed path opens that file.
    Platform.FileDialog {
        id: dialogOpen
        objectName: "dialogOpen"
        title: "Открыть запись"
        // Several files (one per meter of a past measurement) are drawn over each other.
        fileMode: Platform.FileDialog.OpenFiles
        nameFilters: ["CSV (*.csv)", "Все файлы (*)"]
        onAccepted: chartBuilder.openFiles(files)
    }

    // Qt Quick's own save dialog in Qt 6.4 has no name field and will not accept a new name in
    // an empty folder; this one is the system's dialog, or Qt Widgets' where there is none.
    Platform.FileDialog {
        id: dialogSave
        objectName: "dialogSave"
        fileMode: Platform.FileDialog.SaveFile
        defaultSuffix: "csv"
        nameFilters: ["CSV (*.csv)"]
        onAccepted: meterdeck.fileName = file
    }
}
