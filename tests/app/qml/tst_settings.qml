import QtQuick
import QtTest
import "qrc:/"

// The settings column: what its controls write to the controller.
Item {
    id: stage
    width: 600
    height: 700

TestCase {
    id: tc
    name: "Settings"
    when: windowShown

    Component {
        id: columnComponent
        MeasurementSettings { width: 400; height: 600 }
    }

    function init() {
        failOnWarning(/.?/)
        meterdeck.reset()
    }

    function make() {
        const column = createTemporaryObject(columnComponent, stage)
        verify(column)
        waitForRendering(column)
        return column
    }

    function test_start_writes_index_zero_once() {
        make()
        compare(meterdeck.count("aver=0"), 1)
        compare(meterdeck.count("unit=0"), 1)
        compare(meterdeck.writes.length, 2, meterdeck.writes.join(", "))
    }

    function test_averaging_switch_writes_one_then_zero() {
        const column = make()
        const sw = findChild(column, "averSwitch")
        compare(sw.text, "Выкл.")
        meterdeck.clearWrites()
        mouseClick(sw)
        compare(meterdeck.writes, ["averEn=1"])
        compare(sw.text, "Вкл.")
        mouseClick(sw)
        compare(meterdeck.writes, ["averEn=1", "averEn=0"])
        compare(sw.text, "Выкл.")
    }

    function test_averaging_combo_writes_index() {
        const column = make()
        const combo = findChild(column, "averCombo")
        compare(combo.count, 4)
        compare(combo.textAt(0), "авто 1 дБ")
        compare(combo.textAt(3), "авто 0.001 дБ")
        meterdeck.clearWrites()
        combo.currentIndex = 3
        compare(meterdeck.writes, ["aver=3"])
    }

    function test_attenuator_switch_writes_offset_before_enable() {
        const column = make()
        const field = findChild(column, "offsetField")
        const sw = findChild(column, "offsetSwitch")
        compare(field.text, "0.000")
        field.forceActiveFocus()
        field.selectAll()
        keySequence("3")
        keySequence(",")
        keySequence("5")
        compare(field.text, "3,5")
        meterdeck.clearWrites()
        mouseClick(sw)
        compare(meterdeck.writes, ["offset_dB=3.5", "offsetEn=1"])
        // The field now shows the controller's value with three decimals.
        compare(field.text, "3.500")
        mouseClick(sw)
        compare(meterdeck.writes, ["offset_dB=3.5", "offsetEn=1", "offset_dB=3.5", "offsetEn=0"])
    }

    function test_offset_field_enter_applies_typed_number() {
        const column = make()
        const field = findChild(column, "offsetField")
        field.forceActiveFocus()
        field.selectAll()
        keySequence("-")
        keySequence("2")
        keySequence(",")
        keySequence("2")
        keySequence("5")
        compare(field.text, "-2,25")
        meterdeck.clearWrites()
        keyClick(Qt.Key_Return)
        compare(meterdeck.writes, ["offset_dB=-2.25"])
        compare(field.text, "-2.250")
    }

    function test_offset_field_refuses_letters() {
        const column = make()
        const field = findChild(column, "offsetField")
        field.forceActiveFocus()
        field.selectAll()
        keySequence("1")
        keySequence("x")
        keySequence("e")
        keySequence("3")
        compare(field.text, "1e3")
        meterdeck.clearWrites()
        keyClick(Qt.Key_Enter)
        compare(meterdeck.writes, ["offset_dB=1000"])
    }

    function test_offset_field_without_number_writes_nan() {
        const column = make()
        const field = findChild(column, "offsetField")
        field.forceActiveFocus()
        field.selectAll()
        keyClick(Qt.Key_Backspace)
        compare(field.text, "")
        meterdeck.clearWrites()
        keyClick(Qt.Key_Return)
        compare(meterdeck.writes, ["offset_dB=nan"])
    }

    function test_unit_combo_writes_index() {
        const column = make()
        const combo = findChild(column, "unitCombo")
        compare(combo.count, 3)
        compare(combo.textAt(0), "дБм")
        compare(combo.textAt(1), "Ватт")
        compare(combo.textAt(2), "Вольт")
        meterdeck.clearWrites()
        combo.currentIndex = 2
        compare(meterdeck.writes, ["unit=2"])
    }

    function test_unit_combo_picks_from_popup() {
        const column = make()
        const combo = findChild(column, "unitCombo")
        meterdeck.clearWrites()
        mouseClick(combo)
        tryCompare(combo.popup, "opened", true)
        const list = combo.popup.contentItem
        const third = list.itemAtIndex(1)
        verify(third)
        mouseClick(third)
        tryCompare(combo.popup, "visible", false)
        compare(meterdeck.writes, ["unit=1"])
    }
}
}
