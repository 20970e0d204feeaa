#pragma once

#include <QString>
#include <iterator>

// Colours of the traces beside the main curve: apart from it (the accent colour) and from each
// other, on the light and the dark plot.
inline QString traceColor(int index) {
    static const char* const palette[] = {"#ff9800", "#4caf50", "#e040fb", "#00bcd4",
                                          "#ffeb3b", "#ff5252", "#8d6e63", "#90a4ae"};
    const int n = int(std::size(palette));
    return QString::fromLatin1(palette[((index % n) + n) % n]);
}
