import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Meterdeck.Ui

// The chart's own tools, lying over its top right corner: hold the view, the whole series, the
// value range, a picture to a file or the clipboard.
Rectangle {
    id: tools

    required property ChartFeeder feeder
    // The unit of the value range fields.
    property string unit: ""

    signal saveRequested()
    signal copyRequested()

    implicitWidth: row.implicitWidth + 4
    implicitHeight: row.implicitHeight + 4
    radius: 6
    color: Qt.rgba(Material.backgroundColor.r, Material.backgroundColor.g,
                   Material.backgroundColor.b, 0.85)

    component ToolIcon: ToolButton {
        property string tip: ""
        // Larger in a tall window, as the status line.
        readonly property real sizeScale: UiFormat.sizeScale(Window.height)
        implicitWidth: Math.round(26 * sizeScale)
        implicitHeight: Math.round(26 * sizeScale)
        padding: 5
        topInset: 0
        bottomInset: 0
        icon.width: Math.round(16 * sizeScale)
        icon.height: Math.round(16 * sizeScale)
        display: AbstractButton.IconOnly
        // Reached by Tab; a mouse click leaves Space to the window's pause.
        focusPolicy: Qt.TabFocus
        ToolTip.text: tip
        ToolTip.visible: hovered && tip !== ""
        ToolTip.delay: 600
        Rectangle {
            anchors.fill: parent
            radius: 4
            visible: parent.visualFocus
            color: "transparent"
            border.width: 2
            border.color: parent.Material.accentColor
        }
    }

    Row {
        id: row
        anchors.centerIn: parent
        spacing: 0

        ToolIcon {
            objectName: "pauseButton"
            icon.source: tools.feeder.paused ? "qrc:/icons/chart-resume.svg"
                                             : "qrc:/icons/chart-pause.svg"
            checked: tools.feeder.paused
            tip: tools.feeder.paused
                 ? "Продолжить: график снова идёт за показаниями (пробел)"
                 : "Пауза: график стоит, показания и запись продолжаются (пробел)"
            onClicked: tools.feeder.paused = !tools.feeder.paused
        }
        ToolIcon {
            objectName: "resetViewButton"
            icon.source: "qrc:/icons/chart-fit.svg"
            enabled: tools.feeder.zoomed
            tip: "Весь ряд (двойной щелчок по графику). Колесо — масштаб по времени, "
                 + "рамка левой кнопкой — увеличить участок, правая кнопка или Shift + левая "
                 + "— сдвинуть"
            onClicked: tools.feeder.resetView()
        }
        ToolIcon {
            objectName: "rangeButton"
            icon.source: "qrc:/icons/chart-range.svg"
            checked: tools.feeder.fixedRange
            tip: tools.feeder.fixedRange ? "Пределы шкалы заданы: изменить или вернуть авто"
                                         : "Пределы шкалы: авто или заданные"
            onClicked: rangePopup.opened ? rangePopup.close() : rangePopup.open()
        }
        ToolIcon {
            objectName: "saveImageButton"
            icon.source: "qrc:/icons/chart-image.svg"
            tip: "Сохранить график в файл PNG (Ctrl+Shift+S)"
            onClicked: tools.saveRequested()
        }
        ToolIcon {
            objectName: "copyImageButton"
            icon.source: "qrc:/icons/chart-copy.svg"
            tip: "Копировать график в буфер обмена (Ctrl+Shift+C)"
            onClicked: tools.copyRequested()
        }
    }

    Popup {
        id: rangePopup
        objectName: "rangePopup"
        x: tools.width - width
        y: tools.height + 4
        padding: 10
        // Starts from the range in force, or from what the axis shows.
        onAboutToShow: {
            minField.text = tools.feeder.numberText(tools.feeder.fixedRange ? tools.feeder.fixedMin
                                                                           : tools.feeder.viewYMin)
            maxField.text = tools.feeder.numberText(tools.feeder.fixedRange ? tools.feeder.fixedMax
                                                                           : tools.feeder.viewYMax)
            rangeError.text = ""
        }

        function apply() {
            if (tools.feeder.setFixedRange(UiFormat.toNumber(minField.text),
                                           UiFormat.toNumber(maxField.text)))
                close()
            else
                rangeError.text = "Нужны два числа, нижний предел меньше верхнего."
        }

        ColumnLayout {
            spacing: 6
            Label {
                text: tools.unit !== "" ? "Пределы шкалы, " + tools.unit : "Пределы шкалы"
            }
            RowLayout {
                spacing: 8
                BaseTextField {
                    id: minField
                    objectName: "rangeMin"
                    Layout.preferredWidth: 110
                    placeholderText: "от"
                    validator: NumberValidator {}
                    onAccepted: rangePopup.apply()
                }
                BaseTextField {
                    id: maxField
                    objectName: "rangeMax"
                    Layout.preferredWidth: 110
                    placeholderText: "до"
                    validator: NumberValidator {}
                    onAccepted: rangePopup.apply()
                }
            }
            Label {
                id: rangeError
                Layout.fillWidth: true
                Layout.maximumWidth: 228
                visible: text !== ""
                wrapMode: Text.WordWrap
                color: Material.color(Material.Red)
            }
            RowLayout {
                Layout.alignment: Qt.AlignRight
                Button {
                    objectName: "rangeAuto"
                    text: "Авто"
                    flat: true
                    onClicked: {
                        tools.feeder.setAutoRange()
                        rangePopup.close()
                    }
                }
                Button {
                    objectName: "rangeApply"
                    text: "Задать"
                    highlighted: true
                    onClicked: rangePopup.apply()
                }
            }
        }
    }
}
