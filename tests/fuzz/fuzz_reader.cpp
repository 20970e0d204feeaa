// libFuzzer target for the record reader: any bytes as the content of a record file.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>

#include "csvparser.h"
#include "fuzz_check.h"

namespace {

const QString kTimeFormat = QStringLiteral("dd.MM.yyyy HH::mm::ss");

// parseTime has a shortcut only for fields of this length; any other goes to fromString itself.
constexpr qsizetype kTimeLength = 21;

// Each checked line costs a QDateTime::fromString; more lines only slow the run down.
constexpr int kMaxTimeChecks = 64;

// Daylight-saving gaps and overlaps, a half-hour shift, a skipped day: where a cached local-time
// offset can go wrong. Picked by input size, so a saved input replays in the same zone.
const char* const kZones[] = {"UTC", "Europe/Berlin", "America/Sao_Paulo", "Australia/Lord_Howe",
                              "Pacific/Apia"};

void useZone(const char* zone) {
    static const char* current = nullptr;
    if (zone == current)
        return;
    setenv("TZ", zone, 1);
    tzset();
    current = zone;
}

bool sameRecord(const PowerData& a, const PowerData& b) {
    const bool samePower =
        a.power() == b.power() || (std::isnan(a.power()) && std::isnan(b.power()));
    return samePower && a.time() == b.time();
}

// The shortcut must give what QDateTime::fromString gives, including after other hours have
// filled its offset cache, so one parser reads every line in turn.
void checkTimes(const char* data, qsizetype size, const char* zone) {
    CsvParser parser;
    const char* p = data;
    const char* const end = data + size;
    for (int checked = 0; p < end && checked < kMaxTimeChecks;) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* lineEnd = nl ? nl : end;
        const char* sc = static_cast<const char*>(std::memchr(p, ';', size_t(lineEnd - p)));
        const qsizetype len = (sc ? sc : lineEnd) - p;
        if (len == kTimeLength) {
            ++checked;
            const QDateTime fast = parser.parseTime(p, len);
            const QDateTime slow = QDateTime::fromString(QString::fromUtf8(p, len), kTimeFormat);
            if (fast != slow) {
                std::fprintf(stderr, "time '%s' in %s: parseTime %s, fromString %s\n",
                             QByteArray(p, len).constData(), zone,
                             qPrintable(fast.toString(Qt::ISODateWithMs)),
                             qPrintable(slow.toString(Qt::ISODateWithMs)));
                std::abort();
            }
        }
        p = nl ? nl + 1 : end;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quietQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* zone = kZones[size % std::size(kZones)];
    useZone(zone);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    CsvParser parser;
    parser.parseBytes(bytes);
    const QList<PowerData> records = parser.getData();
    FUZZ_CHECK(records.size() <= bytes.count('\n') + 1);
    // Five fields take four separators.
    FUZZ_CHECK(records.size() * 4 <= bytes.count(';'));

    // A second pass starts with the offsets the first one cached and must not depend on them.
    parser.parseBytes(bytes);
    const QList<PowerData>& again = parser.getData();
    FUZZ_CHECK(again.size() == records.size());
    for (qsizetype i = 0; i < records.size(); ++i)
        FUZZ_CHECK(sameRecord(records[i], again[i]));

    checkTimes(bytes.constData(), bytes.size(), zone);
    return 0;
}
