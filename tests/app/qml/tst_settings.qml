import QtQuick
import QtTest
import "qrc:/"

// The settings column: what its controls write to the controller.
Item {
    id: stage
    width: 600
    height: 700

    Component {
        id: columnComponent
        MeasurementSettings { width: 400; height: 600 }
    }

    TestCase {
        name: "Settings"
        when: windowShown

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

        function type(text) {
            for (const c of text) keySequence(c)
        }

        function test_start_writes_index_zero_once() {
            make()
            compare(meterdeck.writes.sort(), ["aver=0", "unit=0"])
        }

        function test_averaging_switch_writes_one_then_zero() {
            const sw = findChild(make(), "averSwitch")
            compare(sw.text, "Выкл.")
            meterdeck.clearWrites()
            mouseClick(sw)
            compare(sw.text, "Вкл.")
            mouseClick(sw)
            compare(meterdeck.writes, ["averEn=1", "averEn=0"])
            compare(sw.text, "Выкл.")
        }

        function test_combo_writes_index_data() {
            return [
                { tag: "averaging", combo: "averCombo", index: 3, write: "aver=3",
                  texts: ["авто 1 дБ", "авто 0.1 дБ", "авто 0.01 дБ", "авто 0.001 дБ"] },
                { tag: "unit", combo: "unitCombo", index: 2, write: "unit=2",
                  texts: ["дБм", "Ватт", "Вольт"] },
            ]
        }

        function test_combo_writes_index(data) {
            const combo = findChild(make(), data.combo)
            compare(combo.count, data.texts.length)
            for (let i = 0; i < combo.count; ++i) compare(combo.textAt(i), data.texts[i])
            meterdeck.clearWrites()
            combo.currentIndex = data.index
            compare(meterdeck.writes, [data.write])
        }

        function test_unit_combo_picks_from_popup() {
            const combo = findChild(make(), "unitCombo")
            meterdeck.clearWrites()
            mouseClick(combo)
            tryCompare(combo.popup, "opened", true)
            mouseClick(combo.popup.contentItem.itemAtIndex(1))
            tryCompare(combo.popup, "visible", false)
            compare(meterdeck.writes, ["unit=1"])
        }

        function test_attenuator_switch_writes_offset_before_enable() {
            const column = make()
            const field = findChild(column, "offsetField")
            const sw = findChild(column, "offsetSwitch")
            compare(field.text, "0.000")
            field.forceActiveFocus()
            field.selectAll()
            type("3,5")
            meterdeck.clearWrites()
            mouseClick(sw)
            compare(meterdeck.writes, ["offset_dB=3.5", "offsetEn=1"])
            compare(field.text, "3.500")  // the controller's value, three decimals
            mouseClick(sw)
            compare(meterdeck.writes, ["offset_dB=3.5", "offsetEn=1", "offset_dB=3.5", "offsetEn=0"])
        }

        // Letters are refused as typed; a text without a leading number is written as NaN.
        function test_offset_field_applies_typed_number_data() {
            return [
                { tag: "comma", typed: "-2,25", shown: "-2,25", key: Qt.Key_Return,
                  write: "offset_dB=-2.25", after: "-2.250" },
                { tag: "letters refused", typed: "1xe3", shown: "1e3", key: Qt.Key_Enter,
                  write: "offset_dB=1000" },
                { tag: "empty", typed: "", shown: "", key: Qt.Key_Return, write: "offset_dB=nan" },
            ]
        }

        function test_offset_field_applies_typed_number(data) {
            const field = findChild(make(), "offsetField")
            field.forceActiveFocus()
            field.selectAll()
            keyClick(Qt.Key_Backspace)
            type(data.typed)
            compare(field.text, data.shown)
            meterdeck.clearWrites()
            keyClick(data.key)
            compare(meterdeck.writes, [data.write])
            if (data.after)
                compare(field.text, data.after)
        }
    }
}
