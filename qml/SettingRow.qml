import QtQuick
import QtQuick.Layouts

// A settings row: its label, centred, then the control given as the row's child. The control
// sets its own share of the width (Layout.fillWidth, Layout.preferredWidth).
RowLayout {
    id: row

    property alias text: label.text
    // Label and control share the width evenly (the control with Layout.preferredWidth: 1 as
    // well); false: the label takes what it needs and the control the rest.
    property bool halves: true

    Layout.fillWidth: true

    FitLabel {
        id: label
        Layout.fillWidth: row.halves
        Layout.preferredWidth: row.halves ? 1 : -1
        horizontalAlignment: Text.AlignHCenter
    }
}
