import QtQuick
import QtTest
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

        function test_title() {
            compare(make().title, "Ортикс-Т9")
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

        function test_weights() {
            const w = make()
            const viewer = findChild(w.contentItem, "mainViewer")
            const settings = findChild(w.contentItem, "measurementSettings")
            fuzzyCompare(viewer.width / (viewer.width + settings.width), 0.7, 0.01)
        }

        function test_number_toggle_puts_chart_in_front() {
            const w = make()
            const viewer = findChild(w.contentItem, "mainViewer")
            const chart = findChild(w.contentItem, "chart")
            const readout = findChild(w.contentItem, "readout")
            compare(readout.opacity, 1)
            compare(chart.opacity, 0.25)
            mouseClick(findChild(w.contentItem, "buttonNumber"))
            verify(!viewer.isNumberEn)
            compare(chart.opacity, 1)
            compare(readout.opacity, 0.25)
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

        function test_log_follows_newest_line() {
            const w = make()
            const view = findChild(w.contentItem, "logView")
            rig.addLogs(3)
            compare(view.currentIndex, view.count - 1)
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

        function test_chart_legend_and_axes_follow_model() {
            const w = make()
            const chart = findChild(w.contentItem, "chart")
            rig.clearPower()
            rig.appendPower(-50, 2)
            rig.appendPower(-40, 1)
            compare(chart.series.name, "Мощность, дБм")
            tryCompare(chart.series, "count", 2)
            compare(chart.axisY.min, powerModel.powerMin)
            compare(chart.axisY.max, powerModel.powerMax)
            compare(chart.axisX.min.getTime(), powerModel.timeMin.getTime())
            compare(chart.axisX.max.getTime(), powerModel.timeMax.getTime())
            rig.clearPower()
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
