// libFuzzer target for the meter reply decoder: any bytes as what the port has buffered so far.
#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1String>
#include <QString>

#include <cmath>
#include <cstdint>
#include <optional>

#include "fuzz_check.h"
#include "meterprotocol.h"

namespace {

using MeterProtocol::Reply;

const QByteArray kBom = QByteArrayLiteral("\xEF\xBB\xBF");

void checkValue(const QJsonObject& reply) {
    const QJsonValue ok = reply.value(QLatin1String("OK"));
    const QByteArray text = MeterProtocol::okText(reply);
    const std::optional<double> value = MeterProtocol::reading(reply);
    if (value) {
        FUZZ_CHECK(std::isfinite(*value));
        FUZZ_CHECK(std::fabs(*value) <= MeterProtocol::MaxReadingDbm);
    }
    switch (ok.type()) {
        case QJsonValue::Double: {
            // Shortest round-trip text: read back it is the same double, nothing rounded away.
            bool parsed = false;
            FUZZ_CHECK(text.toDouble(&parsed) == ok.toDouble() && parsed);
            FUZZ_CHECK(value.has_value() ==
                       (std::fabs(ok.toDouble()) <= MeterProtocol::MaxReadingDbm));
            FUZZ_CHECK(!value || *value == ok.toDouble());
            break;
        }
        case QJsonValue::String: {
            FUZZ_CHECK(text == ok.toString().toUtf8());
            // A reading sent as text is that text's number, with nothing cut off.
            if (value) {
                bool parsed = false;
                const double number = ok.toString().toDouble(&parsed);
                FUZZ_CHECK(parsed && number == *value);
            }
            break;
        }
        case QJsonValue::Bool:
            FUZZ_CHECK(text == (ok.toBool() ? "true" : "false"));
            FUZZ_CHECK(!value);
            break;
        default:
            FUZZ_CHECK(text.isEmpty());
            FUZZ_CHECK(!value);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quietQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray buffer(reinterpret_cast<const char*>(data), qsizetype(size));
    const bool brace = buffer.contains('}');

    QJsonObject object;
    const Reply strict = MeterProtocol::recognise(buffer, true, &object);
    const Reply lenient = MeterProtocol::recognise(buffer, false);
    FUZZ_CHECK(lenient != Reply::Bad);
    FUZZ_CHECK(strict != Reply::Complete || brace);
    if (lenient != Reply::Complete) {
        FUZZ_CHECK(strict == (brace ? Reply::Bad : Reply::Incomplete));
        return 0;
    }
    FUZZ_CHECK(strict == Reply::Complete);

    // The meter ends replies with CR LF and the port may deliver blanks before them. A leading
    // byte-order mark is only one at the very start, so nothing goes in front of it.
    QByteArray padded = buffer + " \r\n";
    if (!buffer.startsWith(kBom))
        padded.prepend("\r\n\t ");
    QJsonObject paddedObject;
    FUZZ_CHECK(MeterProtocol::recognise(padded, true, &paddedObject) == Reply::Complete);
    FUZZ_CHECK(paddedObject == object);

    checkValue(object);
    return 0;
}
