#include "meterprotocol.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QLocale>
#include <QSerialPort>

#include <cctype>
#include <cmath>

namespace MeterProtocol {

QByteArray nameQuery() {
    return QByteArrayLiteral("info.name\r\n");
}

QByteArray serialQuery() {
    return QByteArrayLiteral("info.sn\r\n");
}

QByteArray powerRequest(double freqKHz, bool att) {
    QByteArray cmd("info.power {\"Freq\":");
    cmd += QByteArray::number(freqKHz, 'f', 6);
    cmd += ", \"Att\":";
    cmd += att ? "true }\r\n" : "false }\r\n";
    return cmd;
}

void applyLineSettings(QSerialPort& port) {
    port.setBaudRate(QSerialPort::Baud115200, QSerialPort::AllDirections);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
}

Reply recognise(const QByteArray& buffer, bool badRule, QJsonObject* object) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(buffer, &error);
    if (error.error == QJsonParseError::NoError && doc.isObject()) {
        if (object)
            *object = doc.object();
        return Reply::Complete;
    }
    if (badRule && buffer.contains('}'))
        return Reply::Bad;
    return Reply::Incomplete;
}

Reply takeReply(QByteArray& buffer, QJsonObject* object, QByteArray* taken) {
    const auto take = [&](qsizetype n, Reply kind) {
        if (taken)
            *taken = buffer.left(n).trimmed();
        buffer.remove(0, n);
        return kind;
    };
    qsizetype start = 0;
    while (start < buffer.size() && std::isspace(static_cast<unsigned char>(buffer[start])))
        ++start;
    // A byte-order mark may stand before the object, as the whole-buffer rule accepts it.
    if (buffer.mid(start, 3) == "\xEF\xBB\xBF")
        start += 3;
    if (start < buffer.size() && buffer[start] != '{') {
        const qsizetype open = buffer.indexOf('{', start);
        const qsizetype close = buffer.indexOf('}', start);
        if (close >= 0 && (open < 0 || close < open))
            return take(close + 1, Reply::Bad);
        return open < 0 ? Reply::Incomplete : take(open, Reply::Bad);
    }
    int depth = 0;
    bool inString = false;
    qsizetype lastOpen = start;
    for (qsizetype i = start; i < buffer.size(); ++i) {
        const char c = buffer[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            else if (c == '\n')
                return take(i + 1, Reply::Bad);
        } else if (c == '"') {
            inString = true;
        } else if (c == '{') {
            ++depth;
            lastOpen = i;
        } else if (c == '\n' && lastOpen > start) {
            // The head of a reply that never ended (cut short, or noise) with a reply after it: the
            // meter ends each reply with a line end and nests no object in one.
            return take(lastOpen, Reply::Bad);
        } else if (c == '}' && --depth == 0) {
            const Reply kind = recognise(buffer.left(i + 1), true, object);
            return take(i + 1, kind == Reply::Complete ? Reply::Complete : Reply::Bad);
        }
    }
    return Reply::Incomplete;
}

QByteArray okText(const QJsonObject& reply) {
    const QJsonValue ok = reply.value(QLatin1String("OK"));
    switch (ok.type()) {
        case QJsonValue::String:
            return ok.toString().toUtf8();
        case QJsonValue::Double:
            return QByteArray::number(ok.toDouble(), 'g', QLocale::FloatingPointShortest);
        case QJsonValue::Bool:
            return ok.toBool() ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
        default:
            return {};
    }
}

std::optional<double> reading(const QJsonObject& reply) {
    if (reply.contains(QLatin1String("ERR")))
        return std::nullopt;
    return readingOfText(okText(reply));
}

std::optional<double> readingOfText(const QByteArray& text) {
    bool ok = false;
    // Qt takes a text of blanks alone for 0; a blank reply is no reading.
    const double value = text.trimmed().isEmpty() ? 0.0 : text.toDouble(&ok);
    // "nan"/"inf" texts are no decimal readings either.
    if (!ok || !std::isfinite(value) || std::fabs(value) > MaxReadingDbm)
        return std::nullopt;
    return value;
}

}  // namespace MeterProtocol
