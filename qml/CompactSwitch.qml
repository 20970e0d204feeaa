import QtQuick.Controls

// A switch without the touch-size margins above and below it: the settings have to fit the
// smallest window.
Switch {
    topPadding: 0
    bottomPadding: 0
}
