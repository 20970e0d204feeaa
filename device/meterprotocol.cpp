#include "meterprotocol.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QLocale>
#include <QSerialPort>

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
    bool ok = false;
    const QByteArray text = okText(reply);
    // Qt takes a text of blanks alone for 0; a blank reply is no reading.
    const double value = text.trimmed().isEmpty() ? 0.0 : text.toDouble(&ok);
    // "nan"/"inf" texts are no decimal readings either.
    if (!ok || !std::isfinite(value) || std::fabs(value) > MaxReadingDbm)
        return std::nullopt;
    return value;
}

}  // namespace MeterProtocol
