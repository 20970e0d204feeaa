import QtQuick
import QtTest
import "qrc:/"

// The device group: the meter list, connecting, the converter switch and the frequency field.
Item {
    id: stage
    width: 500
    height: 400

    QtObject {
        id: box
        property string text: ""
        property int opened: 0
        function open() { opened++ }
    }

    Component {
        id: groupComponent
        DeviceSettings { width: 480; height: 360; messageBox: box }
    }

    TestCase {
        name: "Device"
        when: windowShown

        function init() {
            failOnWarning(/.?/)
            meterdeck.reset()
            rig.setDevices([])
            box.text = ""
            box.opened = 0
        }

        // The group with one meter listed, connected if asked.
        function make(connected) {
            const group = createTemporaryObject(groupComponent, stage)
            verify(group)
            waitForRendering(group)
            rig.setDevices(["T9, SN: 0001"])
            meterdeck.isStart = !!connected
            return group
        }

        function field(group) {
            const f = findChild(group, "freqField")
            verify(f, "frequency field of the listed meter")
            return f
        }

        function type(text) {
            for (const c of text) keySequence(c === " " ? "Space" : c)
        }

        function test_switch_follows_the_meter_list() {
            rig.addLog("Старая строка")
            const group = createTemporaryObject(groupComponent, stage)
            const onOff = findChild(group, "onOff")
            verify(!onOff.enabled && !onOff.checked)
            compare(box.opened, 0)
            rig.setDevices(["T9, SN: 0001"])
            const combo = findChild(group, "deviceComboBox")
            compare(combo.count, 1)
            compare(combo.currentIndex, 0)
            compare(combo.displayText, "T9, SN: 0001")
            verify(onOff.enabled)
            rig.addLog("Устройства не найдены")
            rig.setDevices([])
            verify(!onOff.enabled && !onOff.checked)
            compare(box.text, "Устройства не найдены")
            compare(box.opened, 1)
            // An empty last line opens nothing.
            rig.setDevices(["T9, SN: 0001"])
            rig.addLog("")
            rig.setDevices([])
            compare(box.opened, 1)
        }

        function test_every_error_shows_last_log() {
            make()
            rig.addLog("Ошибка подключения")
            meterdeck.error = 1
            compare(box.text, "Ошибка подключения")
            rig.addLog("")
            meterdeck.error = 1
            compare(box.text, "")
            compare(box.opened, 2)
        }

        function test_connect_switch_writes_opposite_and_follows_controller() {
            const group = make()
            const onOff = findChild(group, "onOff")
            const idle = "" + group.borderColor
            compare(onOff.toolTipText, "Подключиться к устройству")
            meterdeck.clearWrites()
            mouseClick(onOff)
            compare(meterdeck.writes, ["isStart=1"])
            verify(onOff.checked)
            compare(onOff.toolTipText, "Отключиться от устройства")
            verify("" + group.borderColor !== idle)
            mouseClick(onOff)
            compare(meterdeck.writes, ["isStart=1", "isStart=0"])
            verify(!onOff.checked)
            compare("" + group.borderColor, idle)
            mouseClick(onOff)
            meterdeck.isStart = false  // the controller lost the meter
            verify(!onOff.checked)
        }

        function test_device_controls_enabled_only_while_connected() {
            const group = make()
            const att = findChild(group, "attOnOff")
            const f = field(group)
            verify(!att.enabled && !f.enabled)
            compare(f.text, "3 000.000")
            compare(f.placeholderText, "Частота, кГц")
            meterdeck.isStart = true
            verify(att.enabled && f.enabled)
            compare(att.text, "Преобразователь масштабный")
            meterdeck.clearWrites()
            mouseClick(att)
            mouseClick(att)
            compare(meterdeck.writes, ["att=1", "att=0"])
        }

        function test_enter_applies_frequency_and_shows_kept_value_data() {
            return [
                { tag: "typed", cursor: -1, typed: "1500,25", write: "freq=1500.25", shown: "1 500.250" },
                { tag: "grouped text edited", cursor: 1, typed: "5", write: "freq=35000", shown: "35 000.000" },
                { tag: "below the limit", cursor: -1, typed: "5", write: "freq=5", shown: "300.000" },
            ]
        }

        function test_enter_applies_frequency_and_shows_kept_value(data) {
            const f = field(make(true))
            f.forceActiveFocus()
            if (data.cursor < 0)
                f.selectAll()
            else
                f.cursorPosition = data.cursor  // after "3" of "3 000.000"
            type(data.typed)
            meterdeck.clearWrites()
            keyClick(Qt.Key_Return)
            compare(meterdeck.writes, [data.write])
            compare(f.text, data.shown)
        }

        function test_unapplied_value_pulses_until_enter() {
            const f = field(make(true))
            meterdeck.freq = 3000
            f.forceActiveFocus()
            f.focus = false
            verify(!f.pulseTimer.running)  // nothing to apply
            f.forceActiveFocus()
            f.selectAll()
            type("2000")
            f.focus = false
            verify(f.pulseTimer.running)
            // Unmistakable until Enter: outlined, and its tool tip says so.
            verify(f.pending && f.attention)
            compare(f.toolTipText, "Не применено: Enter — установить частоту")
            compare(f.pulseTimer.interval, 500)
            tryCompare(f.font, "pixelSize", 19, 1500)
            tryCompare(f.font, "pixelSize", 18, 1500)
            f.forceActiveFocus()
            keyClick(Qt.Key_Enter)
            verify(!f.pulseTimer.running)
            verify(!f.pending && !f.attention)
            compare(f.toolTipText, "Частота от 300 до 3 200 000 кГц; Enter — применить")
            compare(f.font.pixelSize, 18)
            compare(meterdeck.freq, 2000)
        }
    }
}
