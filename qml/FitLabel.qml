import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A label on at most two lines, broken between words only: where its longest word is wider than
// the label, the font shrinks until that word fits (down to minimumPixelSize) instead of breaking
// it in the middle.
Label {
    id: label

    // The style's text size (Material's body text).
    property int basePixelSize: 14
    property int minimumPixelSize: 10
    readonly property string longestWord: text.split(/\s+/).reduce(
        (a, b) => b.length > a.length ? b : a, "")
    readonly property real room: width - leftPadding - rightPadding

    TextMetrics {
        id: word
        font.family: label.font.family
        font.bold: label.font.bold
        font.pixelSize: label.basePixelSize
        text: label.longestWord
    }

    font.pixelSize: room <= 0 || word.advanceWidth <= room
                    ? basePixelSize
                    : Math.max(minimumPixelSize, Math.floor(basePixelSize * room / word.advanceWidth))
    // The row's height: a second line needs no relayout of the row.
    Layout.fillHeight: true
    verticalAlignment: Text.AlignVCenter
    wrapMode: Text.WordWrap
    maximumLineCount: 2
    elide: Text.ElideRight
}
