import QtQuick
import QtQuick.Controls.Material
import QtTest
import "qrc:/"

// The main window with the real controller on a scripted meter (`device`, what it was told in
// `rig.calls`): what the controls tell the controller and the meter, and what the window shows.
Item {
    id: stage
    width: 200
    height: 200

    Component {
        id: windowComponent
        MainWindow { width: 1100; height: 800 }
    }

    TestCase {
        name: "Window"
        when: windowShown
        property var w

        function init() {
            wait(0)  // the last window is deleted before its objects are replaced
            rig.reset()
            failOnWarning(/.?/)
        }
        // The window, with the meter listed, and connected if asked.
        function make(listed, connected) {
            if (listed)
                device.getDevList(["T9, SN: 0001"])
            w = createTemporaryObject(windowComponent, stage)
            waitForRendering(w.contentItem)
            meterdeck.isStart = !!connected
        }
        function item(name) {
            const found = findChild(w.contentItem, name) || findChild(w, name)
            verify(found, name)
            return found
        }
        // Qt Widgets' dialogs say this about the offscreen platform, nothing about us.
        function expectDialog() { ignoreWarning("This plugin does not support propagateSizeHints()") }
        // Types into the field in place of its text.
        function type(field, text) {
            field.forceActiveFocus()
            field.selectAll()
            keyClick(Qt.Key_Backspace)
            for (const c of text)
                keySequence(c)
        }
        // WCAG's contrast ratio of a text colour laid over the background at `opacity`.
        function contrast(fg, bg, opacity) {
            const f = (v) => v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4)
            const lum = (c, a) => 0.2126 * f(c.r * a + bg.r * (1 - a)) + 0.7152 * f(c.g * a + bg.g * (1 - a))
                                  + 0.0722 * f(c.b * a + bg.b * (1 - a))
            const l1 = lum(fg, fg.a * opacity), l2 = lum(bg, 1)
            return (Math.max(l1, l2) + 0.05) / (Math.min(l1, l2) + 0.05)
        }

        // Keyboard alone: Tab reaches every control and the chart's tools; a focused switch takes
        // Space and Return, a focused list opens on Space, a text field types it; Space pauses the
        // chart only where no control takes it. Ctrl+K connects and disconnects.
        function test_keyboard() {
            make(true, false)
            const feeder = item("chart").feeder, onOff = item("onOff")
            const chain = []
            for (let i = 0; i < 30 && w.activeFocusItem !== onOff; ++i) {
                keyClick(Qt.Key_Tab)
                chain.push(w.activeFocusItem ? w.activeFocusItem.objectName : "")
            }
            for (const name of ["buttonOpenFile", "buttonChart", "pauseButton", "rangeButton", "copyImageButton",
                                "averSwitch", "averCombo", "offsetField", "unitCombo", "deviceComboBox", "onOff"])
                verify(chain.indexOf(name) >= 0, name + " reached by Tab: " + chain)
            keyClick(Qt.Key_Space)
            verify(meterdeck.isStart && !feeder.paused, "Space on the switch connects")
            keyClick(Qt.Key_Return)
            verify(!meterdeck.isStart && !feeder.paused, "Return disconnects")
            keySequence("Ctrl+K")
            verify(meterdeck.isStart)
            const combo = item("averCombo")
            combo.forceActiveFocus()
            for (const key of [Qt.Key_Space, Qt.Key_Return]) {
                keyClick(key)
                tryVerify(() => combo.popup.opened)
                verify(!feeder.paused, "a list opened, the chart not paused")
                keyClick(Qt.Key_Escape)
                tryVerify(() => !combo.popup.visible)
            }
            item("attOnOff").forceActiveFocus()
            keyClick(Qt.Key_Enter)
            compare(rig.calls[rig.calls.length - 1], "att 1")
            item("offsetField").forceActiveFocus()
            keyClick(Qt.Key_Space)
            verify(!feeder.paused, "Space typed into a field")
            keyClick(Qt.Key_Escape)  // leaves the field
            keyClick(Qt.Key_Space)
            verify(feeder.paused, "Space pauses where no control takes it")
            keySequence("Ctrl+K")
            verify(!meterdeck.isStart)
        }

        // The chart alone and back, dimmed behind the number with its axis texts and legend still
        // readable. Each log line whole and on its own,
        // the newest in view, also when the log is full.
        function test_toggles_and_log() {
            rig.addLog("line", 995)  // before the window: a thousand resets through a view take long
            make()
            compare(w.title, "Ортикс-Т9")
            const viewer = item("mainViewer"), chart = item("chart"), readout = item("readout")
            const normalWidth = viewer.width
            mouseClick(item("buttonChart"))
            verify(!item("measurementSettings").visible && !item("outLogsAndDeviceSettings").visible)
            tryVerify(() => viewer.width > normalWidth)
            mouseClick(item("buttonChart"))
            verify(item("measurementSettings").visible && item("outLogsAndDeviceSettings").visible)
            verify(chart.dimmed && chart.series.opacity < 0.5 && readout.opacity === 1)
            const plot = chart.chartView.plotAreaColor
            for (const c of [chart.axisX.labelsColor, chart.axisY.labelsColor, chart.chartView.legend.labelColor])
                verify(contrast(c, plot, chart.opacity) >= 4.5, "contrast " + contrast(c, plot, chart.opacity))
            w.openAbout()
            const about = item("dialogAbout")
            verify(about.opened || about.visible)
            const aboutText = findChild(about.contentItem, "aboutText")
            verify(contrast(aboutText.color, findChild(about.contentItem, "aboutPanel").color, 1) >= 4.5,
                   "the About box readable")
            about.close()
            const view = item("logView")
            rig.addLog("Устройство отключено!")
            rig.addLog("Подключаюсь к T9, SN: 0001...\n")
            rig.addLog("Имя файла обновлено, имя файла = " + "T9, SN_ 0001 06-12-2026_18-08-06.csv ".repeat(6))
            rig.addLog("после")
            rig.addLog("новее")
            rig.addLog("новее всех")
            compare(view.count, 1000)
            compare(view.currentIndex, 999)
            waitForRendering(w.contentItem)
            const entry = (back) => view.itemAtIndex(view.count - 1 - back)
            compare([entry(5).text, entry(4).text, entry(2).text, entry(1).text, entry(0).text],
                    ["Устройство отключено!", "Подключаюсь к T9, SN: 0001...", "после", "новее", "новее всех"],
                    "pooled entries each show their own line")
            verify(entry(3).height > 2 * entry(5).height - 1, "the long line wraps")
            for (let back = 5; back > 0; --back)
                verify(entry(back).y + entry(back).height <= entry(back - 1).y + 0.5, "no overlap")
        }

        // The switch needs a listed meter. The converter switch, the meter's entry and what the
        // meter is told agree across a disconnect, a rediscovery and a new connection. An emptied
        // list shows the last log line (unless empty); so does a failed connection.
        function test_connection_meter_list_and_converter() {
            rig.addLog("Старая строка")
            make()
            const onOff = item("onOff"), box = item("infoMessage")
            verify(!onOff.enabled && !box.visible)
            device.getDevList(["T9, SN: 0001"])
            compare(item("deviceComboBox").displayText, "T9, SN: 0001")
            verify(onOff.enabled && !item("attOnOff").enabled && !item("freqField").enabled)
            mouseClick(onOff)
            verify(meterdeck.isStart && item("attOnOff").enabled && item("freqField").enabled)
            mouseClick(item("attOnOff"))
            mouseClick(onOff)
            compare(rig.calls.slice(-2), ["att 1", "stop"])
            verify(!onOff.checked && !item("attOnOff").enabled)
            device.getDevList(["T9, SN: 0001"])  // the next discovery pass rebuilds the list
            tryVerify(() => item("attOnOff").checked)
            const told = rig.calls.length
            mouseClick(onOff)
            verify(item("attOnOff").checked && meterdeck.att)
            verify(rig.calls.indexOf("att 0", told) < 0)
            mouseClick(onOff)
            rig.addLog("")
            device.getDevList([])
            verify(!onOff.enabled && !box.visible)
            device.getDevList(["T9, SN: 0001"])
            rig.addLog("Устройства не найдены")
            expectDialog()
            device.getDevList([])
            compare(box.text, "Устройства не найдены")
            verify(box.visible)
            box.close()
            device.getDevList(["T9, SN: 0001"])
            rig.refuseStart()
            expectDialog()
            mouseClick(onOff)
            compare(box.text, "Невозможно подключиться к T9, SN: 0001")
            verify(box.visible && !onOff.checked)
        }

        // Typed and not applied, the field pulses until Enter; Enter applies it and shows the value
        // kept.
        function test_frequency_field_data() {
            return [
                { tag: "grouped", typed: "35 000,5", enter: true, sent: "freq 35000.5", shown: "35 000.500" },
                { tag: "GHz", typed: "2,4G", unit: "ГГц", sent: "freq 2400000", shown: "2 400 000.000" },
            ]
        }
        function test_frequency_field(data) {
            make(true, true)
            const f = item("freqField")
            compare(f.text, "3 000.000")
            type(f, data.typed)
            compare(item("freqUnit").text, data.unit || "кГц")
            compare(f.placeholderText, "Частота, " + (data.unit || "кГц"))  // the label follows it
            f.focus = false
            verify(f.pulseTimer.running && f.pending && f.attention)
            verify(f.toolTipText.startsWith("Не применено"))
            f.forceActiveFocus()
            keyClick(data.enter ? Qt.Key_Enter : Qt.Key_Return)
            compare(rig.calls[rig.calls.length - 1], data.sent)
            compare(f.text, data.shown)
            verify(!f.pulseTimer.running && !f.pending && !f.attention && f.font.pixelSize === 18)
        }

        // Further meters: a row of the list becomes a trace on the chart, in its view, with its
        // name and colour in the legend; a removed row takes both away, the chart's own stay.
        // Zoomed, the chart holds its view and says so; Home or a click on the badge follows the
        // readings again.
        function test_traces_and_zoom_badge() {
            make()
            const chart = item("chart"), view = chart.chartView, list = rig.traceList()
            const own = view.series(0).name
            compare(chart.traceLines.count, 0)
            chart.traces = list
            compare(view.count, 1)
            rig.feed(list.add("Ортикс-Т9, SN: 0002", "#ff8000"), -50, 20)
            tryCompare(view, "count", 2)
            compare(view.series(1).name, "Ортикс-Т9, SN: 0002")
            compare(String(view.series(1).color), "#ff8000")
            const line = chart.traceLines.objectAt(0)
            compare(String(line.color), "#ff8000")
            tryCompare(line.feeder, "pointCount", 20)
            verify(chart.feeder.viewYMin <= -50 && line.feeder.viewYMin === chart.feeder.viewYMin)
            list.add("Ортикс-Т9, SN: 0003", "#00c0ff", 0)
            tryCompare(view, "count", 3)
            compare(chart.traceLines.count, 2)
            list.remove(1)
            tryCompare(view, "count", 2)
            compare(chart.traceLines.count, 1)
            compare(view.series(1).name, "Ортикс-Т9, SN: 0003")
            chart.traces = null
            tryCompare(view, "count", 1)
            compare(view.series(0).name, own)

            const feeder = chart.feeder, badge = item("zoomBadge")
            verify(!badge.visible)
            feeder.zoomTo(0, 60000, NaN, NaN)
            verify(feeder.zoomed && badge.visible)
            keyClick(Qt.Key_Home)
            verify(!feeder.zoomed && !badge.visible)
            feeder.zoomTo(0, 60000, NaN, NaN)
            mouseClick(badge)
            verify(!feeder.zoomed && !badge.visible)
        }

        // The toolbar follows the connection and the recording. A lost meter is shown at once
        // while the switch stays on, and the recording that waits for it can still be stopped.
        function test_toolbar_recording_and_lost_meter() {
            make(true)
            const open = item("buttonOpenFile"), save = item("buttonSaveFile"), rec = item("buttonRec")
            const onOff = item("onOff"), box = item("infoMessage")
            const blink = function() { item("toolbarSettings").blinkTimer.triggered(); return "" + rec.icon.color }
            verify(open.enabled && save.enabled && !rec.enabled)
            meterdeck.isStart = true
            verify(!open.enabled && save.enabled && rec.enabled)
            const hint = item("refusedHint")
            keySequence("Ctrl+O")  // refused, and told why
            verify(hint.visible && hint.text === open.toolTipText)
            compare(hint.text, "Открыть запись можно после отключения устройства.")
            mouseMove(open)
            tryVerify(() => open.ToolTip.visible, 5000, "a disabled button tells why on hover")
            meterdeck.fileName = rig.path("rec.csv")  // a plain path, as Qt's own dialog gives
            mouseClick(rec)
            verify(meterdeck.needWrite && !save.enabled && String(rec.icon.source).endsWith("stop.svg"))
            keySequence("Ctrl+S")
            compare(hint.text, "Файл записи можно сменить после остановки записи.")
            verify(rec.toolTipText.startsWith("Остановить запись в файл"))
            verify(blink() !== blink(), "blinks while recording")
            expectDialog()
            device.deviceState()
            verify(meterdeck.reconnecting && onOff.checked && onOff.enabled)
            verify(box.visible && box.text.startsWith("Связь с устройством T9, SN: 0001"))
            verify(rec.isWrite && rec.enabled)
            device.getDevList(["T9, SN: 0001"])  // back by itself: the box goes
            verify(meterdeck.isStart && !meterdeck.reconnecting && !box.visible)
            compare(logsModel.lastLog(), "Связь с устройством T9, SN: 0001 восстановлена.")
            device.deviceState()
            verify(box.visible && rec.isWrite && rec.enabled)
            box.close()
            mouseClick(rec)
            verify(!meterdeck.needWrite && !rec.enabled && String(rec.icon.source).endsWith("play.svg"))
            verify(Qt.colorEqual(rec.icon.color, rec.highlightedTextColor) && !Qt.colorEqual(rec.icon.color, "white"),
                   "never white on the light toolbar")
            expectDialog()
            mouseClick(save)
            verify(meterdeck.fileName.startsWith("T9, SN_ 0001 "), "the save dialog proposes a new name")
            item("dialogSave").close()
        }

        // Δ takes the reading as the reference and back (also by Ctrl+D); the statistics line and
        // the status line follow the readings. Averaging sets the read-out's decimals; the offset
        // field refuses letters as typed and takes back a value the controller refuses; once
        // switched on, the offset counts from the value typed; the unit follows its list.
        // Disconnected, a big recording is read in the background: the panel shows it, Cancel ends
        // it and the chart keeps what it showed; read whole, it replaces the curve and is named on
        // the chart. One that cannot be shown is reported, and the chart keeps what it showed.
        function test_readout_and_recordings_shown() {
            make(true, true)
            const digits = item("digits"), unit = item("unit"), stats = item("statsLine")
            device.getPwr(-20)
            const rel = item("buttonRelative")
            mouseClick(rel)
            verify(rel.checked && !Qt.colorEqual(rel.checkedColor, rel.Material.backgroundColor), "on is seen")
            verify(contrast(rel.contentItem.color, rel.checkedColor, 1) >= 4.5, "Δ readable while on")
            device.getPwr(-23.5)
            compare(digits.text, "-3.50")
            compare(unit.text, "дБ отн.")
            keySequence("Ctrl+D")
            compare(digits.text, "-23.50")
            compare(unit.text, "дБм")
            verify(!rel.checked)
            compare(stats.text, "мин -23.50 дБм · макс -20.00 дБм · сред -21.41 дБм · СКО 2.47 дБ · n = 2")
            mouseClick(stats)
            compare(stats.text, "нет показаний")
            tryVerify(() => item("statusLine").text.startsWith("T9, SN: 0001 · показание "))

            device.getPwr(-12.3456)
            compare(digits.text, "-12.35")
            mouseClick(item("averSwitch"))
            item("averCombo").currentIndex = 3
            compare(digits.text, "-12.346")
            const offset = item("offsetField")
            type(offset, "1e300")
            keyClick(Qt.Key_Return)
            compare(offset.text, "0.000")  // refused: back to the value kept
            compare(logsModel.lastLog(), "Смещение 1e+300 дБ не принято: допустимо от -100 до +100 дБ.")
            type(offset, "3x,5")
            compare(offset.text, "3,5")  // letters are refused as typed
            mouseClick(item("offsetSwitch"))
            compare(digits.text, "-8.846")
            compare(offset.text, "3.500")
            item("unitCombo").currentIndex = 1
            device.getPwr(-3.5)  // 0 dBm with the offset
            compare(digits.text, "1.000")
            compare(unit.text, "мВт")

            meterdeck.isStart = false
            compare(digits.text, "—")
            const panel = item("loadPanel"), chart = item("chart")
            const url = rig.bigRecording(), shown = powerModel.rowCount()
            verify(!panel.visible)
            chartBuilder.filePath = url
            verify(chartBuilder.loading && panel.visible)
            mouseClick(item("loadCancel"))
            verify(!chartBuilder.loading && !panel.visible)
            compare(powerModel.rowCount(), shown)
            chartBuilder.filePath = url + "?again"  // the same file, chosen again
            tryCompare(chartBuilder, "loading", false, 10000)
            verify(!panel.visible)
            compare(powerModel.rowCount(), 60000)
            compare(chart.series.name, "Мощность, дБм (big.csv)")
            compare(logsModel.lastLog(), "Открыта запись big.csv: показаний 60000.")
            expectDialog()
            chartBuilder.filePath = "file://" + rig.path("gone.csv")
            const refused = "Не удалось открыть запись " + rig.path("gone.csv") + ": файл не найден."
            compare(item("infoMessage").text, refused)
            compare(logsModel.lastLog(), refused)
            compare(powerModel.rowCount(), 60000)
        }
    }
}
