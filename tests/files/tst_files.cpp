#include <sys/resource.h>
#include <sys/stat.h>
#include <QtTest>
#include <csignal>
#include <ctime>

#include "chartbuilder.h"
#include "csvwriter.h"
#include "powerdatamodel.h"
#include "recordformat.h"

namespace {

const QDateTime kT0(QDate(2026, 5, 1), QTime(10, 0, 0));

PowerData rec(const QDateTime& t, double power, double freq = 3000.0) {
    return PowerData(t, power, QStringLiteral("дБм"), freq, QStringLiteral("кГц"));
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeRaw(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// n record lines at one a second from kT0, powers -i/1000.
QByteArray lines(int n, int from = 0) {
    QByteArray out;
    for (int i = from; i < from + n; ++i)
        out += CsvWriter::formatLine(rec(kT0.addSecs(i), -i / 1000.0)).toUtf8();
    return out;
}

// Moments and powers, to compare whole readings at once.
template <class Records>
QList<std::pair<qint64, double>> readings(const Records& records) {
    QList<std::pair<qint64, double>> out;
    for (const PowerData& r : records)
        out.append({r.time().toSecsSinceEpoch(), r.power()});
    return out;
}

// TZ for one scope; the zone before comes back however the scope is left (QFAIL included).
struct Zone {
    const QByteArray old = qgetenv("TZ");
    explicit Zone(const char* tz) { qputenv("TZ", tz), tzset(); }
    ~Zone() { old.isEmpty() ? qunsetenv("TZ") : qputenv("TZ", old), tzset(); }
};

}  // namespace

class TestFiles : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    // Whole lines in any locale; a write that fits only in part is taken back, or the next
    // reading would be glued to its half.
    void writerAppendsWholeLinesOnly() {
        QLocale::setDefault(QLocale(QLocale::German));
        CsvWriter w;
        const QString p = path("format.csv");
        writeRaw(p, "earlier run\n");
        QVERIFY(w.write(p, rec(QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9)), -12.3456789, 1e6)));
        const QByteArray written = "earlier run\n05.12.2026 14::05::09;1e+06;кГц;-12.3457;дБм\n";
        QCOMPARE(QString::fromUtf8(readAll(p)), QString::fromUtf8(written));
        // A file-size limit a few bytes past the end: the next line fits only in part.
        std::signal(SIGXFSZ, SIG_IGN);  // a failed write, not the end of the test
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit tight{rlim_t(written.size() + 10), saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &tight);
        const bool ok = w.write(p, rec(kT0, 0));
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!ok);
        QCOMPARE(readAll(p), written);
        QVERIFY(w.write(p, rec(kT0, 0)));
        QCOMPARE(readAll(p), written + lines(1));
    }

    void readerLineRules_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<double>>("powers");
        // A header, extra fields, CR LF, blanks and junk in the number, a one-digit day, a number
        // too large for a double.
        QTest::newRow("rules") << QByteArray(
                                      "time;f;u;p;u\r\n"
                                      "05.12.2026 14::05::09;1e+06;x;-12.5;y;extra;more\r\n"
                                      "05.12.2026 14::05::10;1;x; -3.5 ;y\n"
                                      "05.12.2026 14::05::11;1;x;abc;y\n"
                                      "5.12.2026 14::05::12;1;x;1e+03;y\n"
                                      "05.12.2026 14::05::13;1;x;-1e400;y\n")
                               << QList<double>{0, -12.5, -3.5, 0, 1000, -qInf()};
        // Zeros without line ends (a disk image) are not gathered into one line in memory.
        QTest::newRow("no-line-ends") << lines(3) + QByteArray(3 * CsvParser::MaxLineBytes, '\0')
                                      << QList<double>{0, -0.001, -0.002};
    }

    void readerLineRules() {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<double>, powers);
        QLocale::setDefault(QLocale(QLocale::German));
        writeRaw(path("rules.csv"), bytes + "\n" + lines(1, 5));  // a blank line ends the reading
        CsvParser parser;
        QTest::ignoreMessage(QtDebugMsg, "CsvParser: Структура файла не поддерживается");
        QVERIFY(parser.parse(path("rules.csv")));
        QList<double> got;
        for (const auto& [time, power] : readings(parser.getData()))
            got << power;
        QCOMPARE(got, powers);
    }

    // The fast time conversion gives what QDateTime::fromString gives, also across daylight-saving
    // changes, in gaps and repeated hours, with half-hour shifts and changes at midnight.
    void readerTimesMatchTheGeneralConversion() {
        // Havana's autumn change repeats the hour from midnight: only a probe hours away tells.
        for (const char* row : {"Europe/Berlin 2026-03-29", "Europe/Berlin 2026-10-25",
                                "Australia/Lord_Howe 2026-04-05", "America/Havana 2026-11-01"}) {
            const QList<QByteArray> zoneAndDay = QByteArray(row).split(' ');
            const Zone zone(zoneAndDay[0].constData());
            const QDate day = QDate::fromString(QString::fromLatin1(zoneAndDay[1]), Qt::ISODate);
            CsvParser parser;
            // Every 13 s across the day before, the day itself and the day after (malformed times
            // are in the fuzz corpus, replayed by tst_fuzz_reader_replay).
            for (int s = -86400; s < 2 * 86400; s += 13) {
                const QDateTime t = QDateTime(day, QTime(0, 0), Qt::UTC).addSecs(s);
                const QByteArray text = t.toString(RecordFormat::TimePattern).toLatin1();
                // Fast first: the system resolves an ambiguous local time by its last look-up.
                const QDateTime fast = parser.parseTime(text.constData(), text.size());
                QVERIFY2(fast == QDateTime::fromString(text, RecordFormat::TimePattern),
                         qPrintable(row + QString(": ") + text));
            }
        }
    }

    // Local-time offsets learnt in one reading are not trusted in the next (the zone may change);
    // a byte-order mark (UTF-16, as spreadsheet programs write) is taken.
    void readerFollowsZoneChangesAndByteOrderMarks() {
        const QByteArray plain = lines(30000);  // over a piece in UTF-16
        CsvParser parser;
        const Zone zone("UTC");
        parser.parseBytes(plain);
        auto want = readings(parser.getData());
        QCOMPARE(want.size(), 30000);
        for (auto& reading : want)
            reading.first -= 9 * 3600;
        parser.parseBytes(lines(1));  // the first hour's offset learnt in UTC
        const Zone tokyo("Asia/Tokyo");
        writeRaw(path("bom.csv"), "\xFF\xFE" + QByteArray(QStringEncoder(QStringConverter::Utf16LE)(
                                                   QString::fromUtf8(plain))));
        QVERIFY(parser.parse(path("bom.csv")));
        QCOMPARE(readings(parser.getData()), want);
    }

    // Nothing but a regular file is opened, within a bound: a pipe would block for ever, a device
    // never end; a file over the limit is refused and the writer makes no folder. What cannot be
    // shown is reported and the chart kept. A big file is read in a thread of its own and put on
    // the chart in one step, with progress; one cut short while read ends at its new end.
    void builderRefusesOrLoadsFiles() {
        QCOMPARE(::mkfifo(QFile::encodeName(path("pipe.csv")).constData(), 0600), 0);
        QFile sparse(path("sparse.csv"));  // no disk space taken
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(CsvParser::MaxFileBytes + 1));
        using O = CsvParser::Outcome;
        const std::tuple<QString, O, QString> refused[] = {
            {path("pipe.csv"), O::NotRegular, "это не обычный файл (устройство, канал или папка)."},
            {path("sparse.csv"), O::TooLarge, "файл слишком велик (256 МБ, допустимо до 256 МБ)."},
            {path("no/such/dir/run.csv"), O::Missing, "файл не найден."}};
        PowerDataModel model;
        model.append(rec(kT0, -99));
        ChartBuilder builder(&model);
        QSignalSpy progress(&builder, &ChartBuilder::loadProgressChanged);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QStringList failed, expected;
        connect(&builder, &ChartBuilder::failed, [&](const QString& text) { failed << text; });
        CsvParser parser;
        for (const auto& [p, outcome, why] : refused) {
            QElapsedTimer t;
            t.start();
            std::deque<PowerData> out;
            QCOMPARE(int(CsvParser::check(p)), int(outcome));
            QCOMPARE(int(parser.read(p, out)), int(outcome));
            QVERIFY(outcome == O::TooLarge || !CsvWriter().write(p, rec(kT0, 1)));
            builder.setFilePath(p);  // a plain path, as a typed name comes
            expected << "Не удалось открыть запись " + p + ": " + why;
            QVERIFY2(t.elapsed() < 5000, qPrintable(p));  // not a wait for a reader or writer
        }
        QVERIFY(!QFile::exists(path("no")));
        writeRaw(path("empty.csv"), "");
        QTest::ignoreMessage(QtDebugMsg, "CsvParser: File close, data size = 0");
        builder.setFilePath(path("empty.csv"));
        expected << "Не удалось открыть запись " + path("empty.csv") +
                        ": в нём нет ни одной записи измерения.";
        QCOMPARE(failed, expected);
        QCOMPARE(model.rowCount(), 1);
        QVERIFY(!builder.loading() && resets.isEmpty());

        // A small file, read at once, and the unit shown: tst_e2e and the window's test.
        const QString big = path("big.csv");
        const QByteArray bigBytes = lines(100000);  // 5 MB
        writeRaw(big, bigBytes);
        parser.parseBytes(bigBytes);
        const auto all = readings(parser.getData());
        builder.setFilePath(big);
        QVERIFY(builder.loading());
        QCOMPARE(model.rowCount(), 1);  // the chart keeps what it shows meanwhile
        QTRY_VERIFY(!builder.loading());
        QCOMPARE(readings(model.series()), all);
        QCOMPARE(std::pair(model.powerMin(), model.powerMax()), std::pair(-99.999, 0.0));
        QCOMPARE(builder.shownFile(), QStringLiteral("big.csv"));
        QVERIFY(progress.count() >= 2);
        QCOMPARE(resets.count(), 2);  // emptied, then filled: no half-read file shown
        // A live reading replaces the recording: it is no longer named.
        model.append(rec(kT0, -7));
        QVERIFY(builder.shownFile().isEmpty() && builder.shownUnit().isEmpty());

        // Overtaken by readings of a new connection, or destroyed while reading (a cancel: the
        // window's test): nothing more changes.
        builder.setFilePath(QUrl::fromLocalFile(big).toString());  // the same file, named anew
        QVERIFY(builder.loading());
        model.clear();
        model.append(rec(kT0, -3));
        QVERIFY(!builder.loading());
        {
            ChartBuilder other(&model);
            other.setFilePath(big);
            QVERIFY(other.loading());
        }
        QCoreApplication::sendPostedEvents();  // the threads' last notes
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(failed.size(), 4);

        // Cut short after the first piece: complete records only, up to the new end.
        std::deque<PowerData> out;
        const qint64 cutAt = CsvParser::ChunkBytes + 100;
        const auto cut = [&](qint64, qint64) { return QFile::resize(big, cutAt); };
        QCOMPARE(int(parser.read(big, out, cut)), int(O::Read));
        const qsizetype kept = bigBytes.left(cutAt).count('\n');
        QVERIFY(qsizetype(out.size()) >= kept && qsizetype(out.size()) <= kept + 1);
        QCOMPARE(out.back().time(), kT0.addSecs(qsizetype(out.size()) - 1));
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
