#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QtTest>
#include <csignal>
#include <ctime>
#include <random>
#include <thread>

#include "csvwriter.h"
#include "recordformat.h"

namespace {

PowerData rec(const QDateTime& t, double power) {
    return PowerData(t, power, QStringLiteral("дБм"), 3000.0, QStringLiteral("кГц"));
}

struct Zone {
    const QByteArray old = qgetenv("TZ");
    explicit Zone(const char* tz) { qputenv("TZ", tz), tzset(); }
    ~Zone() { old.isEmpty() ? qunsetenv("TZ") : qputenv("TZ", old), tzset(); }
};

}  // namespace

class TestWriter : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

private slots:
    // The time field is what QDateTime::toString gives for the record pattern, in any zone and
    // locale: across daylight-saving changes (half-hour ones and ones at midnight too), year ends,
    // any millisecond, years of other than four digits, and no time at all.
    void timeFieldMatchesTheGeneralConversion() {
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));  // digits of its own
        std::mt19937_64 random(7);
        for (const char* row : {"Europe/Berlin 2026-03-29", "Europe/Berlin 2026-10-25",
                                "Australia/Lord_Howe 2026-04-05", "America/Havana 2026-11-01",
                                "Asia/Kathmandu 2026-12-31", "Pacific/Apia 2011-12-30"}) {
            const QList<QByteArray> zoneAndDay = QByteArray(row).split(' ');
            const Zone zone(zoneAndDay[0].constData());
            const QDate day = QDate::fromString(QString::fromLatin1(zoneAndDay[1]), Qt::ISODate);
            QList<qint64> moments;
            const qint64 start = QDateTime(day, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
            for (qint64 ms = -86400000; ms < 2 * 86400000; ms += 7001)
                moments << start + ms;
            for (int year : {1000, 1969, 1970, 1999, 2037, 2038, 9999})
                moments
                    << QDateTime(QDate(year, 12, 31), QTime(23, 59, 59, 999)).toMSecsSinceEpoch()
                    << QDateTime(QDate(year, 1, 1), QTime(0, 0)).toMSecsSinceEpoch();
            const qint64 span = QDateTime(QDate(9999, 12, 31), QTime(0, 0)).toMSecsSinceEpoch();
            for (int i = 0; i < 2000; ++i)
                moments << qint64(random() % quint64(2 * span)) - span;  // years 0 … 9999 AD/BC
            for (qint64 ms : moments) {
                const PowerData d = rec(QDateTime::fromMSecsSinceEpoch(ms), 1);
                const QString want = d.time().toString(RecordFormat::TimePattern);
                QCOMPARE(CsvWriter::formatLine(d).section(';', 0, 0), want);
            }
        }
        for (const QDate& date : {QDate(999, 12, 31), QDate(10000, 1, 1), QDate(-44, 3, 15)}) {
            const PowerData d = rec(QDateTime(date, QTime(12, 0)), 1);
            QCOMPARE(CsvWriter::formatLine(d).section(';', 0, 0),
                     d.time().toString(RecordFormat::TimePattern));
        }
        QCOMPARE(CsvWriter::formatLine(rec(QDateTime(), 1)), QString(";3000;кГц;1;дБм\n"));
        QLocale::setDefault(QLocale::c());
    }
};

int runWriterTests(int argc, char** argv) {
    TestWriter t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_writer.moc"
