#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <optional>

class QSerialPort;

// The meter's text command protocol: commands end in CR LF, every reply is one JSON object with
// its result under "OK".
namespace MeterProtocol {

constexpr int PowerCmd = 6;  // command code of the power request; 0 = nothing waiting

// A peer that streams bytes without ever completing a reply must not exhaust memory.
constexpr int MaxReplyBytes = 4096;

QByteArray nameQuery();    // "info.name\r\n"
QByteArray serialQuery();  // "info.sn\r\n"
// "info.power {\"Freq\":<f, 6 decimals>, \"Att\":true }\r\n" (or "false }\r\n")
QByteArray powerRequest(double freqKHz, bool att);

// 115200 8N1, no flow control.
void applyLineSettings(QSerialPort& port);

enum class Reply { Incomplete, Complete, Bad };
// Complete when the buffer is one JSON object (surrounding whitespace allowed). With badRule, a
// buffer that is no object but holds a '}' is Bad; otherwise it stays Incomplete.
Reply recognise(const QByteArray& buffer, bool badRule, QJsonObject* object = nullptr);

// Takes the next reply off the front of a stream that may hold several, or part of one: the first
// JSON object, with the blanks before it (Complete when it parses, else Bad), or the bytes before
// a '{' that belong to none (Bad, when a '{' or '}' follows them). Incomplete leaves the buffer as
// it is. Braces inside strings count for nothing; a line end inside a string ends it as Bad, and
// one after a nested '{' in an unfinished object makes what stands before that '{' Bad.
Reply takeReply(QByteArray& buffer, QJsonObject* object, QByteArray* taken);

// The "OK" value as text: strings as UTF-8, numbers in shortest round-trip form, booleans as
// "true"/"false", anything else (missing, null, array, object) empty.
QByteArray okText(const QJsonObject& reply);

// Readings outside this range are no measurement of any meter (+200 dBm is 10^17 W).
constexpr double MaxReadingDbm = 200.0;

// The reading of a power reply in dBm. None when the reply carries no "OK", or one that is no
// decimal number, not finite or outside ±MaxReadingDbm, or when it is an error object (has "ERR",
// whatever else it holds): such a reply is no reading at all.
std::optional<double> reading(const QJsonObject& reply);
// The same test for an "OK" value as text.
std::optional<double> readingOfText(const QByteArray& text);

}  // namespace MeterProtocol
