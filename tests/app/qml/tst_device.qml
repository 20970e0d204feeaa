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

        function make() {
            const group = createTemporaryObject(groupComponent, stage)
            verify(group)
            waitForRendering(group)
            return group
        }

        function listMeter() {
            rig.setDevices(["T9, SN: 0001"])
        }

        function field(group) {
            const f = findChild(group, "freqField")
            verify(f, "frequency field of the listed meter")
            return f
        }

        function test_switch_disabled_until_meters_are_listed() {
            const group = make()
            const onOff = findChild(group, "onOff")
            verify(!onOff.enabled)
            verify(!onOff.checked)
            listMeter()
            const combo = findChild(group, "deviceComboBox")
            compare(combo.count, 1)
            compare(combo.currentIndex, 0)
            compare(combo.displayText, "T9, SN: 0001")
            verify(onOff.enabled)
        }

        function test_empty_list_disables_switch_and_shows_last_log() {
            const group = make()
            listMeter()
            const onOff = findChild(group, "onOff")
            rig.addLog("Устройства не найдены")
            rig.setDevices([])
            verify(!onOff.enabled)
            verify(!onOff.checked)
            compare(box.text, "Устройства не найдены")
            compare(box.opened, 1)
        }

        function test_creation_opens_nothing() {
            rig.addLog("Старая строка")
            make()
            compare(box.opened, 0)
        }

        function test_empty_list_with_empty_last_log_opens_nothing() {
            make()
            listMeter()
            rig.addLog("")
            rig.setDevices([])
            compare(box.text, "")
            compare(box.opened, 0)
        }

        function test_connect_switch_writes_opposite_and_tooltip_follows() {
            const group = make()
            listMeter()
            const onOff = findChild(group, "onOff")
            compare(onOff.toolTipText, "Подключиться к устройству")
            meterdeck.clearWrites()
            mouseClick(onOff)
            compare(meterdeck.writes, ["isStart=1"])
            verify(onOff.checked)
            compare(onOff.toolTipText, "Отключиться от устройства")
            mouseClick(onOff)
            compare(meterdeck.writes, ["isStart=1", "isStart=0"])
            verify(!onOff.checked)
        }

        function test_switch_shows_a_lost_connection() {
            const group = make()
            listMeter()
            const onOff = findChild(group, "onOff")
            mouseClick(onOff)
            verify(onOff.checked)
            meterdeck.isStart = false  // the controller lost the meter
            verify(!onOff.checked)
        }

        function test_every_error_shows_last_log() {
            make()
            rig.addLog("Ошибка подключения")
            meterdeck.error = 1
            compare(box.text, "Ошибка подключения")
            compare(box.opened, 1)
            rig.addLog("")
            meterdeck.error = 1
            compare(box.text, "")
            compare(box.opened, 2)
        }

        function test_border_follows_connection() {
            const group = make()
            const idle = "" + group.borderColor
            meterdeck.isStart = true
            verify("" + group.borderColor !== idle)
            meterdeck.isStart = false
            compare("" + group.borderColor, idle)
        }

        function test_device_controls_enabled_only_while_connected() {
            const group = make()
            listMeter()
            const att = findChild(group, "attOnOff")
            verify(!att.enabled)
            verify(!field(group).enabled)
            meterdeck.isStart = true
            verify(att.enabled)
            verify(field(group).enabled)
        }

        function test_converter_switch_writes_one_then_zero() {
            const group = make()
            listMeter()
            meterdeck.isStart = true
            const att = findChild(group, "attOnOff")
            compare(att.text, "Преобразователь масштабный")
            meterdeck.clearWrites()
            mouseClick(att)
            mouseClick(att)
            compare(meterdeck.writes, ["att=1", "att=0"])
        }

        function test_frequency_shown_grouped() {
            const group = make()
            listMeter()
            const f = field(group)
            compare(f.text, "3 000.000")
            compare(f.placeholderText, "Частота, кГц")
            compare(f.font.pixelSize, 18)
        }

        function type(text) {
            for (let i = 0; i < text.length; ++i) keySequence(text[i] === " " ? "Space" : text[i])
        }

        function test_enter_applies_frequency_and_writes_back_kept_value() {
            const group = make()
            listMeter()
            meterdeck.isStart = true
            const f = field(group)
            f.forceActiveFocus()
            f.selectAll()
            type("1500,25")
            meterdeck.clearWrites()
            keyClick(Qt.Key_Return)
            compare(meterdeck.writes, ["freq=1500.25"])
            compare(f.text, "1 500.250")
            // Below the controller's limit: the field shows what the controller kept.
            f.selectAll()
            type("5")
            keyClick(Qt.Key_Enter)
            compare(meterdeck.freq, 300)
            compare(f.text, "300.000")
        }

        function test_grouped_text_can_be_edited_and_applied() {
            const group = make()
            listMeter()
            meterdeck.isStart = true
            const f = field(group)
            f.forceActiveFocus()
            f.cursorPosition = 1  // after "3" of "3 000.000"
            keySequence("5")
            compare(f.text, "35 000.000")
            meterdeck.clearWrites()
            keyClick(Qt.Key_Return)
            compare(meterdeck.writes, ["freq=35000"])
            compare(f.text, "35 000.000")
        }

        function test_unapplied_value_pulses_until_enter() {
            const group = make()
            listMeter()
            meterdeck.isStart = true
            const f = field(group)
            f.forceActiveFocus()
            f.selectAll()
            type("2000")
            f.focus = false
            verify(f.pulseTimer.running)
            compare(f.pulseTimer.interval, 500)
            tryCompare(f.font, "pixelSize", 19, 1500)
            tryCompare(f.font, "pixelSize", 18, 1500)
            f.forceActiveFocus()
            keyClick(Qt.Key_Return)
            verify(!f.pulseTimer.running)
            compare(f.font.pixelSize, 18)
            compare(meterdeck.freq, 2000)
        }

        function test_leaving_with_applied_value_does_not_pulse() {
            const group = make()
            listMeter()
            meterdeck.isStart = true
            meterdeck.freq = 3000
            const f = field(group)
            f.forceActiveFocus()
            f.focus = false
            verify(!f.pulseTimer.running)
        }
    }
}
