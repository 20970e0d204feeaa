#pragma once

#include <QString>

// The record file's line: five fields separated by ';', ended by a line feed, for example
//   05.12.2026 14::05::09;3000;кГц;-12.3457;дБм
// Writer, reader and their tests take the layout from here.
namespace RecordFormat {

// Local time with doubled colons between hours, minutes and seconds.
inline const QString TimePattern = QStringLiteral("dd.MM.yyyy HH::mm::ss");
constexpr int TimeLength = 21;  // "05.12.2026 14::05::09"

constexpr char Separator = ';';
constexpr int FieldCount = 5;
enum Field { Time = 0, Freq = 1, FreqUnit = 2, Power = 3, PowerUnit = 4 };

// Numbers are written with this many significant digits.
constexpr int Digits = 6;

}  // namespace RecordFormat
