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

    SignalSpy { id: spy }

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

        function test_enabled_rules_and_tool_tips() {
            const bar = make()
            const open = findChild(bar, "buttonOpenFile")
            const save = findChild(bar, "buttonSaveFile")
            const rec = findChild(bar, "buttonRec")
            compare(open.toolTipText, "Открыть файл для построения графика")
            compare(save.toolTipText, "Выберите директорию для сохранения файла")
            compare(findChild(bar, "buttonAbout").toolTipText, "О программе")
            compare(rec.toolTipText, "Начать запись в файл")
            verify(open.enabled && save.enabled && !rec.enabled)
            meterdeck.isStart = true
            verify(!open.enabled && save.enabled && rec.enabled)
            meterdeck.needWrite = true
            verify(!save.enabled)
            compare(rec.toolTipText, "Остановить запись в файл")
            meterdeck.needWrite = false
            verify(save.enabled)
        }

        function test_record_button_writes_opposite_and_mirrors_controller() {
            const rec = findChild(make(), "buttonRec")
            meterdeck.isStart = true
            meterdeck.clearWrites()
            mouseClick(rec)
            verify(rec.isWrite)
            verify(String(rec.icon.source).endsWith("stop.svg"))
            verify(Qt.colorEqual(rec.icon.color, rec.accentColor))
            mouseClick(rec)
            compare(meterdeck.writes, ["needWrite=1", "needWrite=0"])
            verify(String(rec.icon.source).endsWith("play.svg"))
            verify(Qt.colorEqual(rec.icon.color, rec.highlightedTextColor))
            // Never white on the light toolbar: the icon stays visible in both colours.
            verify(!Qt.colorEqual(rec.icon.color, "white") && !Qt.colorEqual(rec.icon.color, "#ffffff"))
            meterdeck.needWrite = true
            meterdeck.needWrite = false  // the controller ended the recording
            verify(!rec.isWrite)
        }

        function test_record_icon_blinks_only_while_recording() {
            const bar = make()
            const rec = findChild(bar, "buttonRec")
            const colour = function() { bar.blinkTimer.triggered(); return "" + rec.icon.color }
            compare(bar.blinkTimer.interval, 1000)
            verify(bar.blinkTimer.running)
            const still = "" + rec.icon.color
            compare(colour(), still)
            meterdeck.needWrite = true
            const first = colour()
            verify(colour() !== first)
            compare(colour(), first)
            meterdeck.needWrite = false
            compare(colour(), first)  // stays as the last tick left it
        }

        function test_save_button_proposes_a_name_first() {
            const bar = make()
            meterdeck.clearWrites()
            // Qt Widgets' dialog says this about the offscreen platform, nothing about us.
            ignoreWarning("This plugin does not support propagateSizeHints()")
            mouseClick(findChild(bar, "buttonSaveFile"))
            compare(meterdeck.writes[0], "updateFileName=1")
            findChild(bar, "dialogSave").close()
        }

        function test_toggle_data() {
            return [
                { tag: "number", button: "buttonNumber", signal: "numberToggled", onIsAccent: false,
                  tips: ["Скрыть значение мощности", "Показать значение мощности"] },
                { tag: "chart", button: "buttonChart", signal: "chartToggled", onIsAccent: true,
                  tips: ["Развернуть график мощности", "Свернуть график мощности"] },
            ]
        }

        function test_toggle(data) {
            const bar = make()
            spy.target = bar
            spy.signalName = data.signal
            spy.clear()
            const b = findChild(bar, data.button)
            compare(b.toolTipText, data.tips[0])
            mouseClick(b)
            compare(spy.signalArguments[0][0], true)
            compare(b.toolTipText, data.tips[1])
            verify(Qt.colorEqual(b.icon.color, data.onIsAccent ? b.accentColor : b.highlightedTextColor))
            mouseClick(b)
            compare(spy.count, 2)
            compare(spy.signalArguments[1][0], false)
            compare(b.toolTipText, data.tips[0])
        }
    }
}
