#include "powerdata.h"

#include <QMutex>
#include <atomic>

namespace {

// Unit texts are only ever added, never changed: a reader sees entries below the published
// count without a lock.
constexpr int kMaxUnits = 1024;

struct UnitTable {
    QString texts[kMaxUnits];
    std::atomic<int> count{1};  // entry 0 is the empty text
    QMutex adding;
};

UnitTable& table() {
    static UnitTable t;
    return t;
}

}  // namespace

quint16 PowerData::unitId(const QString& text) {
    if (text.isEmpty())
        return 0;
    UnitTable& t = table();
    int n = t.count.load(std::memory_order_acquire);
    for (int i = 1; i < n; ++i)
        if (t.texts[i] == text)
            return quint16(i);
    QMutexLocker lock(&t.adding);
    n = t.count.load(std::memory_order_relaxed);
    for (int i = 1; i < n; ++i)
        if (t.texts[i] == text)
            return quint16(i);
    // The program knows some twenty unit names (its prefixes and units); a thousand distinct
    // texts cannot come from it, and the table must not grow without bound.
    if (n == kMaxUnits)
        return 0;
    t.texts[n] = text;
    t.count.store(n + 1, std::memory_order_release);
    return quint16(n);
}

QString PowerData::unitText(quint16 id) {
    UnitTable& t = table();
    return id < t.count.load(std::memory_order_acquire) ? t.texts[id] : QString();
}

PowerData::PowerData(const QDateTime& time, double power, const QString& powerUnit, double freq,
                     const QString& freqUnit)
    : m_msecs(time.isValid() ? time.toMSecsSinceEpoch() : NoTime),
      m_power(power),
      m_freq(freq),
      m_powerUnit(unitId(powerUnit)),
      m_freqUnit(unitId(freqUnit)) {}

// An opened recording holds millions of records: keep them this small.
static_assert(sizeof(PowerData) <= 32, "a record grew past 32 bytes");
