#pragma once

#include <QDateTime>
#include <QFile>
#include <QTest>
#include <ctime>

#include "powerdata.h"

// What the record file suites share: readings from one moment, whole files, a time zone.

inline const QDateTime kT0(QDate(2026, 5, 1), QTime(10, 0, 0));

inline PowerData rec(const QDateTime& t, double power, double freq = 3000.0) {
    return PowerData(t, power, QStringLiteral("дБм"), freq, QStringLiteral("кГц"));
}

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeRaw(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// TZ for one scope; the zone before comes back however the scope is left (QFAIL included).
struct Zone {
    const QByteArray old = qgetenv("TZ");
    explicit Zone(const char* tz) { qputenv("TZ", tz), tzset(); }
    ~Zone() { old.isEmpty() ? qunsetenv("TZ") : qputenv("TZ", old), tzset(); }
};
