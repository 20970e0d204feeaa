import QtQuick
import QtQuick.Controls

// A switch without the touch-size margins above and below it: the settings have to fit the
// smallest window.
Switch {
    id: control
    topPadding: 0
    bottomPadding: 0
    // Reached by Tab only: a mouse click leaves Space to the chart's pause.
    focusPolicy: Qt.TabFocus
    // Return and Enter toggle it as Space does, as an operator at the bench expects.
    Keys.onReturnPressed: { control.toggle(); control.toggled() }
    Keys.onEnterPressed: { control.toggle(); control.toggled() }
}
