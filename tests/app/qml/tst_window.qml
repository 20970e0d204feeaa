import QtQuick
import QtTest
import QtCharts
import "qrc:/"

// The main window as a whole: full-screen chart, read-out in front or behind, the read-out's
// decimals and the event log following its newest line.
Item {
    id: stage
    width: 200
    height: 200

    Component {
        id: windowComponent
        MainWindow { width: 1000; height: 700 }
    }

    TestCase {
        name: "Window"
        when: windowShown

        function init() {
            failOnWarning(/.?/)
            meterdeck.reset()
        }

        function make() {
            const w = createTemporaryObject(windowComponent, stage)
            verify(w)
            waitForRendering(w.contentItem)
            return w
        }

        function test_chart_toggle_hides_settings_and_lower_row() {
            const w = make()
            const settings = findChild(w.contentItem, "measurementSettings")
            const lower = findChild(w.contentItem, "outLogsAndDeviceSettings")
            const viewer = findChild(w.contentItem, "mainViewer")
            const normalWidth = viewer.width
            mouseClick(findChild(w.contentItem, "buttonChart"))
            verify(!settings.visible)
            verify(!lower.visible)
            tryVerify(function() { return viewer.width > normalWidth })
            mouseClick(findChild(w.contentItem, "buttonChart"))
            verify(settings.visible)
            verify(lower.visible)
        }

        // Relative luminance and contrast ratio as WCAG defines them; a colour with alpha is
        // first laid over the colour behind it.
        function luminance(c) {
            const f = (v) => v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4)
            return 0.2126 * f(c.r) + 0.7152 * f(c.g) + 0.0722 * f(c.b)
        }
        function over(fg, bg, opacity) {
            const a = fg.a * opacity
            return Qt.rgba(fg.r * a + bg.r * (1 - a), fg.g * a + bg.g * (1 - a),
                           fg.b * a + bg.b * (1 - a), 1)
        }
        function contrast(a, b) {
            const la = luminance(a), lb = luminance(b)
            return (Math.max(la, lb) + 0.05) / (Math.min(la, lb) + 0.05)
        }

        function test_number_toggle_puts_chart_in_front() {
            const w = make()
            const viewer = findChild(w.contentItem, "mainViewer")
            const chart = findChild(w.contentItem, "chart")
            const readout = findChild(w.contentItem, "readout")
            compare(readout.opacity, 1)
            verify(chart.dimmed)
            // Straight segments: a spline through the readings draws values never measured.
            compare(chart.series.type, ChartView.SeriesTypeLine)
            verify(chart.series.opacity < 0.5, "the curve steps back behind the number")
            // Behind the number the axis texts and the legend stay readable.
            const plot = chart.chartView.plotAreaColor
            for (const c of [chart.axisX.labelsColor, chart.axisY.labelsColor,
                             chart.chartView.legend.labelColor]) {
                const seen = over(c, plot, chart.opacity)
                verify(contrast(seen, plot) >= 4.5, "contrast " + contrast(seen, plot))
            }
            mouseClick(findChild(w.contentItem, "buttonNumber"))
            verify(!viewer.isNumberEn)
            verify(!chart.dimmed)
            compare(chart.series.opacity, 1)
            compare(chart.opacity, 1)
            compare(readout.opacity, 0.25)
        }

        // A big recording is read in the background: the panel shows how far it is, Cancel ends
        // it and leaves the chart as it was; read whole, it is named on the chart.
        function test_big_recording_progress_and_cancel() {
            const w = make()
            const panel = findChild(w.contentItem, "loadPanel")
            const chart = findChild(w.contentItem, "chart")
            verify(!panel.visible)
            const url = rig.bigRecording()
            chartBuilder.filePath = url
            verify(chartBuilder.loading)
            verify(panel.visible)
            mouseClick(findChild(w.contentItem, "loadCancel"))
            verify(!chartBuilder.loading)
            verify(!panel.visible)
            compare(powerModel.rowCount(), 0)
            chartBuilder.filePath = url + "?again"  // the same file, chosen again
            tryCompare(chartBuilder, "loading", false, 10000)
            verify(!panel.visible)
            compare(powerModel.rowCount(), 60000)
            compare(chart.series.name, "Мощность, дБм (big.csv)")
            rig.clearPower()
        }

        function test_readout_decimals_follow_aver() {
            const w = make()
            const digits = findChild(w.contentItem, "digits")
            meterdeck.showPower(-12.3456)
            meterdeck.aver = 2
            compare(digits.text, "-12.35")
            meterdeck.aver = 0
            compare(digits.text, "-12")
            meterdeck.aver = 3
            compare(digits.text, "-12.346")
            meterdeck.unitStr = "мВт"
            compare(findChild(w.contentItem, "unit").text, "мВт")
        }

        function test_log_follows_newest_line_also_when_full() {
            // Filled before the window exists: a thousand resets through a live view take long.
            rig.addLogs(1000)
            const w = make()
            const view = findChild(w.contentItem, "logView")
            compare(view.count, 1000)
            rig.addLog("newest")
            compare(view.count, 1000)
            compare(view.currentIndex, 999)
        }

        // The log follows its newest line; pooled entries each show their own line.
        function test_log_entries_show_their_lines_after_each_line() {
            const w = make()
            const view = findChild(w.contentItem, "logView")
            const shown = function(back) { return view.itemAtIndex(view.count - 1 - back).text }
            rig.addLog("older")
            rig.addLog("old")
            rig.addLog("newest")
            waitForRendering(w.contentItem)
            compare([shown(2), shown(1), shown(0)], ["older", "old", "newest"])
            rig.addLog("newer still")
            compare(view.currentIndex, view.count - 1)
            waitForRendering(w.contentItem)
            compare([shown(3), shown(2), shown(1), shown(0)],
                    ["older", "old", "newest", "newer still"])
            verify(view.itemAtIndex(view.count - 1).selectByMouse, "a line can be selected")
        }

        // Each line whole and on its own: a trailing line break does not draw it over the line
        // above, and a long line wraps instead of being cut off.
        function test_log_lines_are_whole_and_do_not_overlap() {
            const w = make()
            const view = findChild(w.contentItem, "logView")
            rig.addLog("Устройство отключено!")
            rig.addLog("Подключаюсь к T9, SN: 0001...\n")
            rig.addLog("Имя файла обновлено, имя файла = " + "T9, SN_ 0001 06-12-2026_18-08-06.csv ".repeat(6))
            rig.addLog("после")
            waitForRendering(w.contentItem)
            const item = function(back) { return view.itemAtIndex(view.count - 1 - back) }
            compare(item(2).text, "Подключаюсь к T9, SN: 0001...")
            verify(item(1).height > 2 * item(3).height - 1, "the long line wraps")
            verify(item(1).contentWidth <= view.width)
            for (let back = 3; back > 0; --back)
                verify(item(back).y + item(back).height <= item(back - 1).y + 0.5, "no overlap")
        }

        // Whether item lies inside box, or inside its content area when padded (fractional
        // layout positions allowed).
        function inside(item, box, padded) {
            const r = item.mapToItem(box, 0, 0, item.width, item.height)
            const p = padded ? box : { leftPadding: 0, topPadding: 0, rightPadding: 0, bottomPadding: 0 }
            return r.x >= p.leftPadding - 0.5 && r.y >= p.topPadding - 0.5
                && r.x + r.width <= box.width - p.rightPadding + 0.5
                && r.y + r.height <= box.height - p.bottomPadding + 0.5
        }

        // The smallest window on a 1400 x 860 screen (30% x 70%), the usual width at that
        // height, the smallest on a 1920 x 1080 screen, and a large one.
        function test_device_group_holds_its_controls_data() {
            return [
                { tag: "420x602", width: 420, height: 602 },
                { tag: "770x602", width: 770, height: 602 },
                { tag: "576x756", width: 576, height: 756 },
                { tag: "1400x860", width: 1400, height: 860 },
            ]
        }

        // The meter is unlisted only once the window is gone: an emptied list opens a message.
        function makeWithMeter() {
            rig.setDevices(["T9, SN: 0001"])
            return make()
        }

        function dropWithMeter(w) {
            w.destroy()
            wait(0)  // also runs the deferred deletion
            rig.setDevices([])
        }

        function test_device_group_holds_its_controls(data) {
            const w = makeWithMeter()
            w.width = data.width
            w.height = data.height
            waitForRendering(w.contentItem)
            const group = findChild(w.contentItem, "deviceSettings")
            const list = findChild(w.contentItem, "deviceList")
            const field = findChild(w.contentItem, "freqField")
            const converter = findChild(w.contentItem, "attOnOff")
            for (const item of [field, converter, findChild(w.contentItem, "deviceComboBox"),
                                findChild(w.contentItem, "onOff")]) {
                verify(item.visible, item.objectName)
                verify(inside(item, group, true), item.objectName + " inside the device group")
            }
            // The list clips its entry.
            verify(inside(field, list), "frequency field inside the device list")
            verify(inside(converter, list), "converter switch inside the device list")
            // The device group stays inside the window and below the settings column.
            verify(inside(group, w.contentItem), "device group inside the window")
            const settings = findChild(w.contentItem, "displaySettings")
            verify(settings.mapToItem(w.contentItem, 0, settings.height).y
                   <= group.mapToItem(w.contentItem, 0, 0).y + 0.5, "no overlap with the settings")
            dropWithMeter(w)
        }

        function test_rows_keep_their_shares_where_there_is_room() {
            const w = makeWithMeter()
            const viewer = findChild(w.contentItem, "mainViewer")
            const settings = findChild(w.contentItem, "measurementSettings")
            fuzzyCompare(viewer.width / (viewer.width + settings.width), 0.7, 0.01)
            const lower = findChild(w.contentItem, "outLogsAndDeviceSettings")
            fuzzyCompare(lower.height / (viewer.height + lower.height), 0.3, 0.01)
            const upperCell = findChild(w.contentItem, "deviceComboBox").parent
            const list = findChild(w.contentItem, "deviceList")
            fuzzyCompare(list.height / (upperCell.height + list.height), 2 / 3, 0.01)
            dropWithMeter(w)
        }

        function test_about_dialog() {
            const w = make()
            mouseClick(findChild(w.contentItem, "buttonAbout"))
            const about = findChild(w, "dialogAbout")
            tryCompare(about, "opened", true)
            fuzzyCompare(about.width, w.width * 0.3, 1)
            compare(findChild(about.contentItem, "aboutText").text, "Ортикс-Т9 1.0\nТарвент 2024")
            about.close()
            tryCompare(about, "visible", false)
        }
    }
}
