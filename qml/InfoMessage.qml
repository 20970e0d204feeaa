import QtQuick
import Qt.labs.platform

// Modal message box; callers set the text and open it.
MessageDialog {
    modality: Qt.ApplicationModal
}
