// libFuzzer target for the meter reply decoder: any bytes as what the port has buffered so far.
#include <QJsonValue>

#include <cmath>
#include <cstdint>

#include "fuzz_check.h"
#include "meterprotocol.h"

using MeterProtocol::MaxReadingDbm;
using MeterProtocol::Reply;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray buffer(reinterpret_cast<const char*>(data), qsizetype(size));
    const bool brace = buffer.contains('}');
    QJsonObject object;
    const Reply strict = MeterProtocol::recognise(buffer, true, &object);
    const Reply lenient = MeterProtocol::recognise(buffer, false);
    FUZZ_CHECK(lenient != Reply::Bad);
    FUZZ_CHECK(strict != Reply::Complete || brace);

    // The input twice, as a late reply and the next one, taken off a reply at a time: every step
    // but the last takes something, and the last leaves the rest as it was.
    QByteArray stream = buffer + buffer;
    QJsonObject first;
    const Reply framed = MeterProtocol::takeReply(stream, &first, nullptr);
    for (Reply r = framed; r != Reply::Incomplete;) {
        const qsizetype left = stream.size();
        r = MeterProtocol::takeReply(stream, nullptr, nullptr);
        FUZZ_CHECK(r == Reply::Incomplete ? stream.size() == left : stream.size() < left);
    }
    FUZZ_CHECK(framed != Reply::Incomplete || stream == buffer + buffer);
    if (lenient != Reply::Complete) {
        FUZZ_CHECK(strict == (brace ? Reply::Bad : Reply::Incomplete));
        return 0;
    }
    FUZZ_CHECK(strict == Reply::Complete);
    // One object alone comes out whole (a line end in an object may part it where one nests).
    FUZZ_CHECK((framed == Reply::Complete && first == object) || buffer.contains('\n'));

    // The meter ends replies with CR LF and the port may deliver blanks before them. A leading
    // byte-order mark is only one at the very start, so nothing goes in front of it.
    const QByteArray padded =
        (buffer.startsWith("\xEF\xBB\xBF") ? "" : "\r\n\t ") + buffer + " \r\n";
    QJsonObject paddedObject;
    FUZZ_CHECK(MeterProtocol::recognise(padded, true, &paddedObject) == Reply::Complete);
    FUZZ_CHECK(paddedObject == object);

    const QJsonValue ok = object.value(QLatin1String("OK"));
    const QByteArray text = MeterProtocol::okText(object);
    const std::optional<double> value = MeterProtocol::reading(object);
    FUZZ_CHECK(!value || (std::isfinite(*value) && std::fabs(*value) <= MaxReadingDbm));
    FUZZ_CHECK(!value || !object.contains(QLatin1String("ERR")));  // an error object reads nothing
    bool parsed = false;
    if (ok.isDouble()) {
        // Shortest round-trip text: read back it is the same double, nothing rounded away.
        FUZZ_CHECK(text.toDouble(&parsed) == ok.toDouble() && parsed);
        FUZZ_CHECK(value.has_value() == (std::fabs(ok.toDouble()) <= MaxReadingDbm &&
                                         !object.contains(QLatin1String("ERR"))));
        FUZZ_CHECK(!value || *value == ok.toDouble());
    } else if (ok.isString()) {
        FUZZ_CHECK(text == ok.toString().toUtf8());
        // A reading sent as text is that text's number, with nothing cut off.
        FUZZ_CHECK(!value || (ok.toString().toDouble(&parsed) == *value && parsed));
    } else {
        FUZZ_CHECK(text == (ok.isBool() ? (ok.toBool() ? "true" : "false") : ""));
        FUZZ_CHECK(!value);
    }
    return 0;
}
