// libFuzzer target for the record reader: any bytes as the content of a record file.
#include <cmath>
#include <cstdint>
#include <ctime>
#include <iterator>

#include "csvparser.h"
#include "fuzz_check.h"
#include "powerunits.h"
#include "recordformat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Daylight-saving gaps and overlaps, a half-hour shift, a skipped day: where a cached
    // local-time offset can go wrong. Picked by input size, so a saved input replays in its zone.
    static const char* const zones[] = {"UTC", "Europe/Berlin", "America/Sao_Paulo",
                                        "Australia/Lord_Howe", "Pacific/Apia"};
    static const char* current = nullptr;
    const char* zone = zones[size % std::size(zones)];
    if (zone != current)
        setenv("TZ", current = zone, 1), tzset();

    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    CsvParser parser;
    parser.parseBytes(bytes);
    const QList<PowerData> records = parser.getData();
    FUZZ_CHECK(records.size() <= bytes.count('\n') + 1);
    FUZZ_CHECK(records.size() * 4 <= bytes.count(';'));  // five fields take four separators
    const CsvParser::Tally t = parser.tally();
    // A second pass starts with the offsets the first one cached and must not depend on them. A
    // value comes only with a unit the program knows, in its own text; a line not blank is read
    // or skipped.
    parser.parseBytes(bytes);
    FUZZ_CHECK(parser.getData().size() == records.size());
    qint64 values = 0;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const double a = records[i].power(), b = parser.getData()[i].power();
        const QString unit = records[i].powerUnit();
        FUZZ_CHECK(records[i].time() == parser.getData()[i].time() &&
                   (a == b || (std::isnan(a) && std::isnan(b))));
        FUZZ_CHECK(unit.isEmpty() ? std::isnan(a)
                                  : PowerUnits::text(*PowerUnits::parse(unit)) == unit);
        values += !std::isnan(a);
    }
    FUZZ_CHECK(t.read == values && t.read + t.skipped <= bytes.count('\n') + 1);

    // The shortcut gives what QDateTime::fromString gives, also after other hours filled its
    // offset cache, so one parser reads every line in turn; each check costs a fromString.
    CsvParser times;
    int checked = 0;
    for (const QByteArray& line : bytes.split('\n')) {
        const qsizetype sc = line.indexOf(';');
        const QByteArray field = sc < 0 ? line : line.left(sc);
        if (field.size() != RecordFormat::TimeLength)  // no shortcut for any other length
            continue;
        if (++checked > 64)
            break;
        FUZZ_CHECK(times.parseTime(field.constData(), field.size()) ==
                   QDateTime::fromString(QString::fromUtf8(field), RecordFormat::TimePattern));
    }
    return 0;
}
