import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Qt.labs.platform as Platform
import Meterdeck.Ui

// The numeric read-out lying over the live chart; one of them is in front.
Item {
    id: viewer

    property bool isNumberEn: true
    // The chart held still; readings and recording go on.
    readonly property bool paused: chart.feeder.paused

    // A picture of the chart was written to the file (text: its URL) or not (text: why).
    signal imageSaved(bool ok, string text)
    signal imageCopied(bool ok)

    function togglePause() {
        chart.feeder.paused = !chart.feeder.paused
    }
    function resetView() {
        chart.feeder.resetView()
    }
    // Draws the chart at picture size and writes it to `url` as PNG; a failure is shown. Without
    // a URL the operator chooses the file first.
    // What makes the picture evidence: when, which meter at which frequency, the offset or Δ
    // reference, the unit, or the recording shown.
    function imageCaption() {
        const file = chartBuilder.shownFile
        return meterdeck.pictureCaption(Date.now()) + (file !== "" ? " · запись " + file : "")
    }
    function saveImage(url) {
        if (url === undefined || String(url) === "") {
            chooseImageFile()
            return
        }
        grabChart(function (image) {
            const ok = ChartImage.save(image, url, viewer.imageCaption())
            if (ok) {
                note.show("График сохранён: " + url)
            } else {
                imageMessage.text = ChartImage.errorText
                imageMessage.open()
            }
            viewer.imageSaved(ok, ok ? String(url) : ChartImage.errorText)
        })
    }
    function copyImage() {
        grabChart(function (image) {
            const ok = ChartImage.copy(image, viewer.imageCaption())
            note.show(ok ? "График скопирован в буфер обмена." : "График не скопирован.")
            viewer.imageCopied(ok)
        })
    }
    // Asks for the file, then saves.
    function chooseImageFile() {
        imageDialog.currentFile = imageDialog.folder + "/" + ChartImage.suggestedName(Date.now())
        imageDialog.open()
    }

    // Callers waiting for the picture being drawn.
    property var imageWaiting: []
    function grabChart(use) {
        imageWaiting.push(use)
        imageLoader.active = true
    }
    function grabLoaded() {
        const copy = imageLoader.item as BaseChart_1LineDate
        copy.feeder.refresh()
        grabTries = 0
        grabCopy()
    }
    // The chart draws its scene a few passes after its points change: until the curve's colour
    // shows, the next frame is taken instead (a chart that never shows it, after 30).
    property int grabTries: 0
    function grabCopy() {
        const copy = imageLoader.item as BaseChart_1LineDate
        const asked = copy.grabToImage(function (result) {
            if (!ChartImage.shows(result.image, copy.series.color) && ++viewer.grabTries < 30)
                viewer.grabCopy()
            else
                viewer.imageDone(result.image)
        }, Qt.size(ChartImage.width, ChartImage.height))
        // Refused (no window to draw in): the callers learn it from an empty picture.
        if (!asked)
            imageDone(undefined)
    }
    function imageDone(image) {
        const waiting = imageWaiting
        imageWaiting = []
        imageLoader.active = false
        for (let i = 0; i < waiting.length; ++i)
            waiting[i](image)
    }

    BaseChart_1LineDate {
        id: chart
        objectName: "chart"
        anchors.fill: parent
        // Behind the number the curve and grid fade, while the axis texts keep their contrast.
        dimmed: viewer.isNumberEn
        onStatsResetRequested: meterdeck.resetStatistics()
        // Further meters, where the controller measures several.
        // Recordings opened with the shown one while a recording is shown; else the meters
        // measured beside the connected one.
        traces: chartBuilder.shownFile !== "" ? chartBuilder.overlays
                : typeof meterdeck !== "undefined" && meterdeck.traces ? meterdeck.traces : null
        // Of what is on the chart while it is zoomed, held or shows a recording; else the
        // controller's running figures since connecting.
        statsText: feeder.zoomed || feeder.paused || chartBuilder.shownFile !== ""
                   ? feeder.statsText
                   : meterdeck.statsText !== undefined ? meterdeck.statsText : ""
    }

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        radius: 5
        border.color: Material.frameColor

        ColumnLayout {
            id: readout
            objectName: "readout"
            anchors.fill: parent
            spacing: 0
            opacity: viewer.isNumberEn ? 1 : 0.25

            Item {
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.preferredHeight: 2
            }
            Label {
                id: digits
                objectName: "digits"
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.preferredHeight: 3
                // Relative to a reference (dB) when the controller is told so.
                text: UiFormat.readout(meterdeck.relative === true ? meterdeck.relativeValue
                                                                   : meterdeck.power, meterdeck.aver)
                font.bold: true
                font.pixelSize: Math.max(1, viewer.height * 0.2)
                // A narrow window shrinks the number rather than cutting digits off.
                fontSizeMode: Text.HorizontalFit
                minimumPixelSize: 8
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignBottom
                elide: Text.ElideRight
            }
            Label {
                id: unit
                objectName: "unit"
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.preferredHeight: 4
                text: meterdeck.relative === true ? "дБ отн." : meterdeck.unitStr
                font.pixelSize: Math.max(1, viewer.height * 0.1)
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignTop
                opacity: 0.8
            }
        }
    }

    ChartTools {
        id: tools
        objectName: "chartTools"
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.topMargin: 4
        anchors.rightMargin: 8
        // A narrow chart (the window at its minimum width) gets smaller tools, never cut ones.
        transformOrigin: Item.TopRight
        scale: Math.min(1, (viewer.width - 2 * anchors.rightMargin) / Math.max(1, implicitWidth))
        feeder: chart.feeder
        unit: chart.series.unitText
        onSaveRequested: viewer.chooseImageFile()
        onCopyRequested: viewer.copyImage()
    }

    // A zoomed view no longer follows new readings either; a click (or Home) goes back to them.
    Label {
        id: zoomBadge
        objectName: "zoomBadge"
        visible: chart.feeder.zoomed
        anchors.right: pauseBadge.visible ? pauseBadge.left : tools.left
        anchors.rightMargin: 6
        anchors.verticalCenter: tools.verticalCenter
        // Beside the pause badge in a narrow chart it gives up its middle, never the frame.
        width: Math.min(implicitWidth,
                        (pauseBadge.visible ? pauseBadge.x : tools.x) - anchors.rightMargin - 8)
        elide: Text.ElideMiddle
        leftPadding: 6
        rightPadding: 6
        topPadding: 2
        bottomPadding: 2
        text: "Масштаб — к новым: Home"
        color: Material.primaryHighlightedTextColor
        background: Rectangle {
            radius: 4
            color: viewer.Material.accentColor
        }
        TapHandler {
            onTapped: viewer.resetView()
        }
    }

    Label {
        id: pauseBadge
        objectName: "pauseBadge"
        visible: chart.feeder.paused
        anchors.right: tools.left
        anchors.rightMargin: 6
        anchors.verticalCenter: tools.verticalCenter
        leftPadding: 6
        rightPadding: 6
        topPadding: 2
        bottomPadding: 2
        text: "Пауза"
        font.bold: true
        color: Material.primaryHighlightedTextColor
        background: Rectangle {
            radius: 4
            color: viewer.Material.accentColor
        }
    }

    // What became of a picture, for a few seconds.
    Label {
        id: note
        objectName: "imageNote"
        anchors.top: tools.bottom
        anchors.right: tools.right
        anchors.topMargin: 4
        width: Math.min(implicitWidth, viewer.width - 16)
        visible: false
        padding: 6
        elide: Text.ElideMiddle
        background: Rectangle {
            radius: 4
            color: viewer.Material.dialogColor
            border.color: viewer.Material.frameColor
        }
        function show(text) {
            note.text = text
            note.visible = true
            noteTimer.restart()
        }
        Timer {
            id: noteTimer
            interval: 4000
            onTriggered: note.visible = false
        }
    }

    // The chart drawn again at picture size, out of sight, while a picture is taken; it draws
    // the same view (points, zoom, value range, pause) through the visible chart's feeder.
    Loader {
        id: imageLoader
        objectName: "imageLoader"
        active: false
        x: -width - 100
        width: ChartImage.width
        height: ChartImage.height
        sourceComponent: Component {
            BaseChart_1LineDate {
                interactive: false
                radius: 0
            }
        }
        onLoaded: {
            const copy = item as BaseChart_1LineDate
            copy.statsText = chart.statsText
            // Its traces follow the copy's feeder and draw what the chart's own draw.
            copy.traces = chart.traces
            copy.feeder.source = chart.feeder
            viewer.grabLoaded()
        }
    }

    // Qt Quick's own save dialog in Qt 6.4 has no name field; this one is the system's dialog,
    // or Qt Widgets' where there is none.
    Platform.FileDialog {
        id: imageDialog
        objectName: "imageDialog"
        fileMode: Platform.FileDialog.SaveFile
        defaultSuffix: "png"
        nameFilters: ["PNG (*.png)"]
        folder: Platform.StandardPaths.writableLocation(Platform.StandardPaths.PicturesLocation)
        onAccepted: viewer.saveImage(file)
    }

    InfoMessage {
        id: imageMessage
        objectName: "imageMessage"
    }

    // A big recording is read in the background: how far it is, and a way out. The chart keeps
    // what it shows until the file is read whole.
    Rectangle {
        id: loadPanel
        objectName: "loadPanel"
        visible: chartBuilder.loading
        anchors.centerIn: parent
        width: Math.min(parent.width - 20, 320)
        height: loadColumn.implicitHeight + 20
        radius: 8
        color: Material.dialogColor
        border.color: Material.frameColor

        ColumnLayout {
            id: loadColumn
            anchors.fill: parent
            anchors.margins: 10
            Label {
                Layout.fillWidth: true
                text: "Чтение записи… " + Math.round(chartBuilder.loadProgress * 100) + " %"
                elide: Text.ElideRight
            }
            ProgressBar {
                objectName: "loadProgress"
                Layout.fillWidth: true
                value: chartBuilder.loadProgress
            }
            Button {
                objectName: "loadCancel"
                Layout.alignment: Qt.AlignRight
                text: "Отмена"
                flat: true
                onClicked: chartBuilder.cancelLoad()
            }
        }
    }
}
