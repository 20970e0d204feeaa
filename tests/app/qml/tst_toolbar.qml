import QtQuick
import QtTest
import "qrc:/"

// The toolbar: enabled rules, tool tips, recording and its blinking, the two toggles.
Item {
    id: stage
    width: 900
    height: 120

    Component {
        id: barComponent
        ToolbarSettings { width: 880; height: 100 }
    }

    SignalSpy { id: numberSpy; signalName: "numberToggled" }
    SignalSpy { id: chartSpy; signalName: "chartToggled" }

    TestCase {
        name: "Toolbar"
        when: windowShown

        function init() {
            failOnWarning(/.?/)
            meterdeck.reset()
        }

        function make() {
            const bar = createTemporaryObject(barComponent, stage)
            verify(bar)
            waitForRendering(bar)
            return bar
        }

        function test_enabled_rules() {
            const bar = make()
            const open = findChild(bar, "buttonOpenFile")
            const save = findChild(bar, "buttonSaveFile")
            const rec = findChild(bar, "buttonRec")
            verify(open.enabled)
            verify(save.enabled)
            verify(!rec.enabled)
            meterdeck.isStart = true
            verify(!open.enabled)
            verify(save.enabled)
            verify(rec.enabled)
            meterdeck.needWrite = true
            verify(!save.enabled)
            meterdeck.needWrite = false
            verify(save.enabled)
        }

        function test_tool_tips() {
            const bar = make()
            compare(findChild(bar, "buttonOpenFile").toolTipText, "Открыть файл для построения графика")
            compare(findChild(bar, "buttonSaveFile").toolTipText, "Выберите директорию для сохранения файла")
            compare(findChild(bar, "buttonAbout").toolTipText, "О программе")
            const rec = findChild(bar, "buttonRec")
            compare(rec.toolTipText, "Начать запись в файл")
            meterdeck.needWrite = true
            compare(rec.toolTipText, "Остановить запись в файл")
        }

        function test_record_button_writes_opposite_and_mirrors_controller() {
            const bar = make()
            const rec = findChild(bar, "buttonRec")
            meterdeck.isStart = true
            meterdeck.clearWrites()
            mouseClick(rec)
            compare(meterdeck.writes, ["needWrite=1"])
            verify(rec.isWrite)
            verify(String(rec.icon.source).endsWith("stop.svg"))
            verify(Qt.colorEqual(rec.icon.color, rec.accentColor))
            mouseClick(rec)
            compare(meterdeck.writes, ["needWrite=1", "needWrite=0"])
            verify(String(rec.icon.source).endsWith("play.svg"))
            verify(Qt.colorEqual(rec.icon.color, rec.highlightedTextColor))
            // The controller ending the recording by itself shows at once.
            meterdeck.needWrite = true
            meterdeck.needWrite = false
            verify(!rec.isWrite)
        }

        function test_record_icon_blinks_only_while_recording() {
            const bar = make()
            const rec = findChild(bar, "buttonRec")
            compare(bar.blinkTimer.interval, 1000)
            verify(bar.blinkTimer.running)
            const still = "" + rec.icon.color
            bar.blinkTimer.triggered()
            compare("" + rec.icon.color, still)
            meterdeck.needWrite = true
            bar.blinkTimer.triggered()
            const first = "" + rec.icon.color
            bar.blinkTimer.triggered()
            const second = "" + rec.icon.color
            verify(first !== second)
            bar.blinkTimer.triggered()
            compare("" + rec.icon.color, first)
            // Off: the colour stays as the last tick left it.
            meterdeck.needWrite = false
            bar.blinkTimer.triggered()
            compare("" + rec.icon.color, first)
        }

        function test_save_button_proposes_a_name_first() {
            const bar = make()
            meterdeck.clearWrites()
            mouseClick(findChild(bar, "buttonSaveFile"))
            compare(meterdeck.writes[0], "updateFileName=1")
            findChild(bar, "dialogSave").close()
        }

        function test_number_toggle() {
            const bar = make()
            numberSpy.target = bar
            numberSpy.clear()
            const b = findChild(bar, "buttonNumber")
            compare(b.toolTipText, "Скрыть значение мощности")
            verify(Qt.colorEqual(b.icon.color, b.accentColor))
            mouseClick(b)
            compare(numberSpy.count, 1)
            compare(numberSpy.signalArguments[0][0], true)
            compare(b.toolTipText, "Показать значение мощности")
            verify(Qt.colorEqual(b.icon.color, b.highlightedTextColor))
            mouseClick(b)
            compare(numberSpy.signalArguments[1][0], false)
            compare(b.toolTipText, "Скрыть значение мощности")
        }

        function test_chart_toggle() {
            const bar = make()
            chartSpy.target = bar
            chartSpy.clear()
            const b = findChild(bar, "buttonChart")
            compare(b.toolTipText, "Развернуть график мощности")
            mouseClick(b)
            compare(chartSpy.signalArguments[0][0], true)
            compare(b.toolTipText, "Свернуть график мощности")
            verify(Qt.colorEqual(b.icon.color, b.accentColor))
            mouseClick(b)
            compare(chartSpy.signalArguments[1][0], false)
            compare(b.toolTipText, "Развернуть график мощности")
        }
    }
}
