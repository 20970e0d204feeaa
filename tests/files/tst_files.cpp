#include <sys/resource.h>
#include <sys/stat.h>
#include <QFileInfo>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <ctime>

#include "chartbuilder.h"
#include "csvparser.h"
#include "csvwriter.h"
#include "powerdatamodel.h"
#include "recordformat.h"

namespace {

const QString kFmt = RecordFormat::TimePattern;

QDateTime at(int y, int mo, int d, int h, int mi, int s) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
}

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

void setZone(const char* tz) {
    qputenv("TZ", tz);
    tzset();
}

// n record lines at one a second from 01.05.2026 10:00:00, powers -i/1000.
QByteArray lines(int n, int from = 0) {
    QByteArray out;
    out.reserve(qsizetype(n) * 50);
    const QDateTime t0 = QDateTime(QDate(2026, 5, 1), QTime(10, 0, 0));
    for (int i = from; i < from + n; ++i)
        out += CsvWriter::formatLine(rec(t0.addSecs(i), -i / 1000.0)).toUtf8();
    return out;
}

}  // namespace

class TestFiles : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    // --- writer ---
    void writerLineFormatIsExact() {
        QLocale::setDefault(QLocale(QLocale::German));  // decimal comma locale must not leak in
        CsvWriter w;
        const QString p = path("format.csv");
        QVERIFY(w.write(p, rec(at(2026, 12, 5, 14, 5, 9), -12.3456789, 1000000)));
        QVERIFY(w.write(p, rec(at(2025, 1, 1, 0, 0, 7), -0.5, 3200000)));
        QVERIFY(w.write(p, rec(at(2025, 1, 1, 0, 0, 8), 0.0, 433.92)));
        QVERIFY(
            w.write(p, PowerData(at(2025, 1, 1, 23, 59, 59), 0.000012, "мкВт", 1234567, "кГц")));
        QCOMPARE(QString::fromUtf8(readAll(p)),
                 QStringLiteral("05.12.2026 14::05::09;1e+06;кГц;-12.3457;дБм\n"
                                "01.01.2025 00::00::07;3.2e+06;кГц;-0.5;дБм\n"
                                "01.01.2025 00::00::08;433.92;кГц;0;дБм\n"
                                "01.01.2025 23::59::59;1.23457e+06;кГц;1.2e-05;мкВт\n"));
        QVERIFY(!readAll(p).contains('\r'));
    }

    void writerOnlyAppends() {
        CsvWriter w;
        const QString p = path("append.csv");
        writeRaw(p, "earlier run\n");
        QVERIFY(w.write(p, rec(at(2026, 1, 2, 3, 4, 5), -1)));
        QVERIFY(w.write(p, rec(at(2026, 1, 2, 3, 4, 6), -2)));
        const QList<QByteArray> lines = readAll(p).split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QByteArray("earlier run"));
        QVERIFY(lines[1].startsWith("02.01.2026 03::04::05;"));
        QVERIFY(lines[2].startsWith("02.01.2026 03::04::06;"));
    }

    void writerRefusesWhatItCannotOpen() {
        CsvWriter w;
        QVERIFY(!w.write(QString(), rec(QDateTime::currentDateTime(), 1)));
        const QString missing = path("no/such/dir/run.csv");
        QVERIFY(!w.write(missing, rec(QDateTime::currentDateTime(), 1)));
        QVERIFY(!QFileInfo::exists(missing));
        QVERIFY(!QFileInfo::exists(path("no")));
        QVERIFY(!w.write(dir.path(), rec(QDateTime::currentDateTime(), 1)));  // a directory
        // A pipe put where the file was: refused at once, not an open() waiting for a reader.
        const QString fifo = path("record-pipe.csv");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(!w.write(fifo, rec(QDateTime::currentDateTime(), 1)));
    }

    void writerReportsDiskFull() {
        if (!QFileInfo::exists("/dev/full"))
            QSKIP("no /dev/full here");
        CsvWriter w;
        QVERIFY(!w.write(QStringLiteral("/dev/full"), rec(QDateTime::currentDateTime(), -3)));
        w.setSyncEnabled(false);
        QVERIFY(!w.write(QStringLiteral("/dev/full"), rec(QDateTime::currentDateTime(), -3)));
    }

    void writerLeavesNoHalfLineWhenSpaceRunsOut() {
        // A file-size limit a few bytes past the current end: the next line fits only in part.
        CsvWriter w;
        const QString p = path("limit.csv");
        QVERIFY(w.write(p, rec(at(2026, 2, 3, 4, 5, 6), -10)));
        const QByteArray before = readAll(p);

        struct sigaction ignore {
        }, old{};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &old);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit tight = saved;
        tight.rlim_cur = rlim_t(before.size() + 10);
        setrlimit(RLIMIT_FSIZE, &tight);
        const bool ok = w.write(p, rec(at(2026, 2, 3, 4, 5, 7), -11));
        setrlimit(RLIMIT_FSIZE, &saved);
        sigaction(SIGXFSZ, &old, nullptr);

        QVERIFY(!ok);
        QCOMPARE(readAll(p), before);
        QVERIFY(w.write(p, rec(at(2026, 2, 3, 4, 5, 8), -12)));
        QCOMPARE(readAll(p).count('\n'), 2);
    }

    // --- reader ---
    void readerRoundTripsWhatTheWriterWrote() {
        CsvWriter w;
        const QString p = path("roundtrip.csv");
        QList<PowerData> written;
        for (int i = 0; i < 50; ++i) {
            written << rec(at(2026, 10, 25, 1, 50, 0).addSecs(i * 97), -40.0 + i * 1.23456789);
            QVERIFY(w.write(p, written.last()));
        }
        CsvParser parser;
        QVERIFY(parser.parse(p));
        const QList<PowerData>& got = parser.getData();
        QCOMPARE(got.size(), written.size());
        for (int i = 0; i < got.size(); ++i) {
            QCOMPARE(got[i].time(), written[i].time());
            QCOMPARE(got[i].power(), QString::number(written[i].power(), 'g', 6).toDouble());
            QCOMPARE(got[i].freq(), 0.0);
            QVERIFY(got[i].powerUnit().isEmpty());
            QVERIFY(got[i].freqUnit().isEmpty());
        }
    }

    void readerLineRules() {
        CsvParser parser;
        const QString p = path("rules.csv");

        writeRaw(p, "");
        QTest::ignoreMessage(QtDebugMsg, "CsvParser: File close, data size = 0");
        QVERIFY(parser.parse(p));
        QCOMPARE(parser.getData().size(), 0);

        // A header, a line with extra fields, CR LF ends, blanks and junk in the number.
        writeRaw(p,
                 "time;f;u;p;u\r\n"
                 "05.12.2026 14::05::09;1e+06;x;-12.5;y;extra;more\r\n"
                 "05.12.2026 14::05::10;1;x; -3.5 ;y\n"
                 "05.12.2026 14::05::11;1;x;abc;y\n"
                 "5.12.2026 14::05::12;1;x;1e+03;y");
        QLocale::setDefault(QLocale(QLocale::German));
        QVERIFY(parser.parse(p));
        const QList<PowerData>& d = parser.getData();
        QCOMPARE(d.size(), 5);
        QVERIFY(!d[0].time().isValid());
        QCOMPARE(d[0].power(), 0.0);
        QCOMPARE(d[1].time(), at(2026, 12, 5, 14, 5, 9));
        QCOMPARE(d[1].power(), -12.5);
        QCOMPARE(d[2].power(), -3.5);
        QCOMPARE(d[3].power(), 0.0);
        QCOMPARE(d[4].time(), QDateTime::fromString("5.12.2026 14::05::12", kFmt));
        QCOMPARE(d[4].power(), 1000.0);
    }

    void readerStopsAtAShortLine() {
        CsvParser parser;
        const QString p = path("short.csv");
        writeRaw(p,
                 "05.12.2026 14::05::09;1;x;-1;y\n"
                 "05.12.2026 14::05::10;1;x;-2;y\n"
                 "\n"
                 "05.12.2026 14::05::11;1;x;-3;y\n");
        QTest::ignoreMessage(QtDebugMsg, "CsvParser: Структура файла не поддерживается");
        QVERIFY(parser.parse(p));
        QCOMPARE(parser.getData().size(), 2);
        writeRaw(p, "05.12.2026 14::05::09;1;x;-1\n05.12.2026 14::05::10;1;x;-2;y\n");
        QVERIFY(parser.parse(p));
        QCOMPARE(parser.getData().size(), 0);
    }

    void readerEmptiesItsArrayOnAFailedParse() {
        CsvParser parser;
        const QString p = path("good.csv");
        writeRaw(p, "05.12.2026 14::05::09;1;x;-1;y\n");
        QVERIFY(parser.parse(p));
        QCOMPARE(parser.getData().size(), 1);
        QTest::ignoreMessage(QtDebugMsg, "CsvParser: File not exists");
        QVERIFY(!parser.parse(path("missing.csv")));
        QCOMPARE(parser.getData().size(), 0);
    }

    // The reader's fast time conversion must give what QDateTime::fromString gives, also across
    // daylight-saving changes, in gaps and in repeated hours.
    void readerTimesMatchTheGeneralConversion_data() {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDate>("day");
        QTest::newRow("utc") << QByteArray("UTC") << QDate(2026, 3, 29);
        QTest::newRow("berlin-spring") << QByteArray("Europe/Berlin") << QDate(2026, 3, 29);
        QTest::newRow("berlin-autumn") << QByteArray("Europe/Berlin") << QDate(2026, 10, 25);
        QTest::newRow("moscow") << QByteArray("Europe/Moscow") << QDate(2026, 3, 29);
        QTest::newRow("newyork-spring") << QByteArray("America/New_York") << QDate(2026, 3, 8);
        QTest::newRow("newyork-autumn") << QByteArray("America/New_York") << QDate(2026, 11, 1);
        QTest::newRow("lordhowe-half-hour")
            << QByteArray("Australia/Lord_Howe") << QDate(2026, 4, 5);
        QTest::newRow("havana-midnight") << QByteArray("America/Havana") << QDate(2026, 3, 8);
        QTest::newRow("havana-midnight-back") << QByteArray("America/Havana") << QDate(2026, 11, 1);
    }

    void readerTimesMatchTheGeneralConversion() {
        QFETCH(QByteArray, zone);
        QFETCH(QDate, day);
        const QByteArray oldTz = qgetenv("TZ");
        setZone(zone.constData());
        CsvParser parser;
        int checked = 0;
        // Every 13 s across the day before, the day itself and the day after.
        for (qint64 s = -86400; s < 2 * 86400; s += 13) {
            const QDate d = day.addDays(s < 0 ? -1 : s / 86400);
            const int sec = int(((s % 86400) + 86400) % 86400);
            const QString text = QStringLiteral("%1 %2::%3::%4")
                                     .arg(d.toString("dd.MM.yyyy"))
                                     .arg(sec / 3600, 2, 10, QLatin1Char('0'))
                                     .arg(sec / 60 % 60, 2, 10, QLatin1Char('0'))
                                     .arg(sec % 60, 2, 10, QLatin1Char('0'));
            const QByteArray bytes = text.toLatin1();
            const QDateTime fast = parser.parseTime(bytes.constData(), bytes.size());
            const QDateTime slow = QDateTime::fromString(text, kFmt);
            // The same moment, reading the same on the local clock.
            if (fast != slow || fast.isValid() != slow.isValid() ||
                fast.toLocalTime().toString(kFmt) != slow.toString(kFmt) ||
                fast.toLocalTime().offsetFromUtc() != slow.offsetFromUtc()) {
                const QString msg = QStringLiteral("%1: fast %2 (%3), slow %4 (%5)")
                                        .arg(text, fast.toString(Qt::ISODate))
                                        .arg(fast.offsetFromUtc())
                                        .arg(slow.toString(Qt::ISODate))
                                        .arg(slow.offsetFromUtc());
                setZone(oldTz.isEmpty() ? "" : oldTz.constData());
                QFAIL(qPrintable(msg));
            }
            ++checked;
        }
        if (oldTz.isEmpty()) {
            qunsetenv("TZ");
            tzset();
        } else {
            setZone(oldTz.constData());
        }
        QVERIFY(checked > 19000);
    }

    void readerTimeEdgeTextsMatchTheGeneralConversion() {
        CsvParser parser;
        for (const char* t :
             {"31.02.2026 10::00::00", "05.12.2026 24::00::00", "05.12.2026 10::60::00",
              "05.12.2026 10:00:00", "05.12.2026 10::00::0x", "29.02.2024 23::59::59",
              "01.01.0001 00::00::00", " 05.12.2026 10::00::00", ""}) {
            const QByteArray b(t);
            QCOMPARE(parser.parseTime(b.constData(), b.size()),
                     QDateTime::fromString(QString::fromLatin1(t), kFmt));
        }
    }

    // --- reading files that misbehave ---

    // The file shrinks after the first piece was read: the reading ends at its new end, with
    // complete records only.
    void readerStopsCleanlyAtAFileCutShortWhileRead() {
        const QString p = path("shrinking.csv");
        const QByteArray all = lines(60000);  // about 3 MB: several pieces
        writeRaw(p, all);
        CsvParser parser;
        std::deque<PowerData> out;
        int calls = 0;
        const auto outcome = parser.read(p, out, [&](qint64, qint64) {
            if (++calls == 1)
                QFile::resize(p, CsvParser::ChunkBytes + 100);
            return true;
        });
        QCOMPARE(int(outcome), int(CsvParser::Outcome::Read));
        const qsizetype kept = all.left(CsvParser::ChunkBytes + 100).count('\n');
        QVERIFY(qsizetype(out.size()) >= kept && qsizetype(out.size()) <= kept + 1);
        QCOMPARE(out.back().time(), QDateTime(QDate(2026, 5, 1), QTime(10, 0, 0))
                                        .addSecs(kept - 1)
                                        .addSecs(qsizetype(out.size()) - kept));
    }

    // Nothing but a regular file is opened: a pipe would block for ever, a device never end;
    // a file over the limit is refused before it is read.
    void readerRefusesWhatIsNoRegularFileOrTooBig() {
        const QString fifo = path("pipe.csv");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString big = path("sparse.csv");
        {
            QFile f(big);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(CsvParser::MaxFileBytes + 1));  // sparse: no disk space taken
        }
        const struct {
            QString path;
            CsvParser::Outcome outcome;
        } cases[] = {{fifo, CsvParser::Outcome::NotRegular},
                     {"/dev/zero", CsvParser::Outcome::NotRegular},
                     {dir.path(), CsvParser::Outcome::NotRegular},
                     {big, CsvParser::Outcome::TooLarge},
                     {path("none.csv"), CsvParser::Outcome::Missing}};
        CsvParser parser;
        for (const auto& c : cases) {
            QCOMPARE(int(CsvParser::check(c.path)), int(c.outcome));
            std::deque<PowerData> out;
            QElapsedTimer t;
            t.start();
            QCOMPARE(int(parser.read(c.path, out)), int(c.outcome));
            QVERIFY(!parser.parse(c.path) || c.outcome == CsvParser::Outcome::TooLarge);
            QVERIFY2(t.elapsed() < 5000, qPrintable(c.path));  // not a wait for a writer
        }

        PowerDataModel model;
        model.append(rec(QDateTime::currentDateTime(), -5));
        ChartBuilder builder(&model);
        QSignalSpy failed(&builder, &ChartBuilder::failed);
        builder.setFilePath(QUrl::fromLocalFile(fifo).toString());
        builder.setFilePath(QUrl::fromLocalFile(big).toString());
        QCOMPARE(failed.count(), 2);
        QVERIFY(failed.at(0).at(0).toString().endsWith(
            "это не обычный файл (устройство, канал или папка)."));
        QVERIFY(failed.at(1).at(0).toString().endsWith(
            "файл слишком велик (256 МБ, допустимо до 256 МБ)."));
        QCOMPARE(model.rowCount(), 1);
        QVERIFY(!builder.loading());
    }

    // A file without line ends (zeros, a disk image) is not gathered into one line in memory.
    void readerStopsAtALineNoRecordCanBe() {
        const QString p = path("zeros.csv");
        QByteArray bytes = lines(3);
        bytes += QByteArray(3 * CsvParser::MaxLineBytes, '\0');
        bytes += lines(3, 3);
        writeRaw(p, bytes);
        CsvParser parser;
        QVERIFY(parser.parse(p));
        QCOMPARE(parser.getData().size(), 3);
    }

    // The local-time offsets learnt in one reading are not trusted in the next: the zone may
    // have changed in between.
    void readerTimesFollowAZoneChangeBetweenReadings() {
        const QByteArray oldTz = qgetenv("TZ");
        const QString p = path("zone.csv");
        writeRaw(p, "05.12.2026 14::05::09;3000;kHz;-1;dBm\n");
        CsvParser parser;
        setZone("UTC");
        QVERIFY(parser.parse(p));
        const qint64 inUtc = parser.getData().at(0).time().toSecsSinceEpoch();
        setZone("Asia/Tokyo");
        QVERIFY(parser.parse(p));
        const qint64 inTokyo = parser.getData().at(0).time().toSecsSinceEpoch();
        if (oldTz.isEmpty()) {
            qunsetenv("TZ");
            tzset();
        } else {
            setZone(oldTz.constData());
        }
        QCOMPARE(inUtc - inTokyo, 9 * 3600);
    }

    // Files as spreadsheet programs save them: with a byte-order mark, in UTF-8 or UTF-16; and a
    // number too large for a double is an infinity, as the text conversion reads it.
    void readerTakesByteOrderMarksAndOverflow() {
        const QByteArray plain = lines(30000);  // over a piece in UTF-16
        CsvParser parser;
        parser.parseBytes(plain);
        const QList<PowerData> expected = parser.getData();
        QCOMPARE(expected.size(), 30000);
        const QString text = QString::fromUtf8(plain);
        const struct {
            const char* name;
            QByteArray bytes;
        } files[] = {
            {"utf8", "\xEF\xBB\xBF" + plain},
            {"utf16le", "\xFF\xFE" + QByteArray(QStringEncoder(QStringConverter::Utf16LE)(text))},
            {"utf16be", "\xFE\xFF" + QByteArray(QStringEncoder(QStringConverter::Utf16BE)(text))}};
        for (const auto& f : files) {
            writeRaw(path(f.name), f.bytes);
            QVERIFY2(parser.parse(path(f.name)), f.name);
            const QList<PowerData>& got = parser.getData();
            QCOMPARE(got.size(), expected.size());
            for (qsizetype i : {qsizetype(0), qsizetype(12345), got.size() - 1}) {
                QCOMPARE(got[i].time(), expected[i].time());
                QCOMPARE(got[i].power(), expected[i].power());
            }
        }
        parser.parseBytes(
            "05.12.2026 14::05::09;3000;kHz;1e400;dBm\n"
            "05.12.2026 14::05::10;3000;kHz;-1e400;dBm\n"
            "05.12.2026 14::05::11;3000;kHz;1e-400;dBm\n");
        QCOMPARE(parser.getData().size(), 3);
        QCOMPARE(parser.getData()[0].power(), qInf());
        QCOMPARE(parser.getData()[1].power(), -qInf());
        QCOMPARE(parser.getData()[2].power(), 0.0);
        // The chart's bounds stay finite.
        PowerDataModel model;
        model.replaceAll(std::deque<PowerData>(parser.getData().cbegin(), parser.getData().cend()));
        QCOMPARE(model.powerMax(), 0.0);
    }

    // --- chart builder ---

    // A big file is read in a thread of its own and put on the chart in one step; the window
    // learns how far it is and can cancel it.
    void builderLoadsBigFilesInTheBackground() {
        const QString p = path("big.csv");
        writeRaw(p, lines(100000));  // 5 MB
        QVERIFY(QFileInfo(p).size() > ChartBuilder::AsyncBytes);
        PowerDataModel model;
        model.append(rec(QDateTime::currentDateTime(), -5));
        ChartBuilder builder(&model);
        QSignalSpy progress(&builder, &ChartBuilder::loadProgressChanged);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        builder.setFilePath(QUrl::fromLocalFile(p).toString());
        QVERIFY(builder.loading());
        QCOMPARE(model.rowCount(), 1);  // the chart keeps what it shows meanwhile
        QTRY_VERIFY(!builder.loading());
        QCOMPARE(model.rowCount(), 100000);
        QCOMPARE(model.series().back().power(), -99.999);
        QCOMPARE(builder.shownFile(), QStringLiteral("big.csv"));
        QCOMPARE(builder.loadProgress(), 1.0);
        QVERIFY(progress.count() >= 2);
        QCOMPARE(resets.count(), 2);  // emptied, then filled: no half-read file shown

        // Cancelled: nothing changes, nothing is reported.
        model.append(rec(QDateTime::currentDateTime(), -7));
        const int rows = model.rowCount();
        QSignalSpy failed(&builder, &ChartBuilder::failed);
        builder.setFilePath(QUrl::fromLocalFile(p).toString() + "?again");
        QVERIFY(builder.loading());
        builder.cancelLoad();
        QVERIFY(!builder.loading());
        QTest::qWait(50);
        QCOMPARE(model.rowCount(), rows);
        QCOMPARE(failed.count(), 0);

        // Readings arriving while a file is read (a connection) win: the reading is dropped.
        builder.setFilePath(QUrl::fromLocalFile(p).toString());
        QVERIFY(builder.loading());
        model.clear();
        model.append(rec(QDateTime::currentDateTime(), -3));
        QVERIFY(!builder.loading());
        QTest::qWait(50);
        QCOMPARE(model.rowCount(), 1);

        // Destroyed while reading: waits for its thread, nothing left behind.
        {
            ChartBuilder other(&model);
            other.setFilePath(QUrl::fromLocalFile(p).toString());
            QVERIFY(other.loading());
        }
        QCOMPARE(model.rowCount(), 1);
    }
    void builderLoadsAFileIntoTheModel() {
        CsvWriter w;
        const QString p = path("two-runs.csv");
        for (int i = 0; i < 3; ++i)
            QVERIFY(w.write(p, rec(at(2026, 5, 1, 10, 0, i), -10 - i)));
        for (int i = 0; i < 2; ++i)
            QVERIFY(w.write(p, rec(at(2026, 5, 1, 11, 0, i), 5 + i)));

        PowerDataModel model;
        model.append(rec(QDateTime::currentDateTime(), -99));
        ChartBuilder builder(&model);
        QSignalSpy need(&builder, &ChartBuilder::needUpdateChanged);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QVERIFY(!builder.needUpdate());
        builder.setFilePath(QUrl::fromLocalFile(p).toString());
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.timeMin(), at(2026, 5, 1, 10, 0, 0));
        QCOMPARE(model.timeMax(), at(2026, 5, 1, 11, 0, 1));
        QCOMPARE(model.powerMin(), -12.0);
        QCOMPARE(model.powerMax(), 6.0);
        QVERIFY(builder.needUpdate());
        QCOMPARE(need.count(), 1);
        QVERIFY(resets.count() >= 1);

        // The same text again is ignored, even though the file changed on disk.
        QVERIFY(w.write(p, rec(at(2026, 5, 1, 12, 0, 0), 0)));
        builder.setFilePath(QUrl::fromLocalFile(p).toString());
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(need.count(), 1);

        // An explicit reload reads the file again; the file and its unit are named.
        QSignalSpy failed(&builder, &ChartBuilder::failed);
        builder.createSeries();
        QCOMPARE(model.rowCount(), 6);
        QCOMPARE(builder.shownFile(), QFileInfo(p).fileName());
        QCOMPARE(builder.shownUnit(), QStringLiteral("дБм"));
        // A file without records, or none at all, leaves the chart as it was and says why.
        writeRaw(path("empty.csv"), "");
        builder.setFilePath(QUrl::fromLocalFile(path("empty.csv")).toString());
        QCOMPARE(model.rowCount(), 6);
        builder.setFilePath(path("missing.csv"));  // a plain path, as a typed name comes
        QCOMPARE(model.rowCount(), 6);
        QCOMPARE(failed.count(), 2);
        QCOMPARE(failed.at(0).at(0).toString(), "Не удалось открыть запись " + path("empty.csv") +
                                                    ": в нём нет ни одной записи измерения.");
        QCOMPARE(failed.at(1).at(0).toString(),
                 "Не удалось открыть запись " + path("missing.csv") + ": файл не найден.");
        QCOMPARE(need.count(), 2);
        // A live reading replaces the recording: it is no longer named.
        model.append(rec(QDateTime::currentDateTime(), -1));
        QVERIFY(builder.shownFile().isEmpty() && builder.shownUnit().isEmpty());
    }

    void builderNeedUpdateSetterAlwaysSignals() {
        PowerDataModel model;
        ChartBuilder builder(&model);
        QSignalSpy need(&builder, &ChartBuilder::needUpdateChanged);
        builder.setNeedUpdate(false);
        builder.setNeedUpdate(false);
        QCOMPARE(need.count(), 2);
        QSignalSpy path(&builder, &ChartBuilder::filePathChanged);
        builder.setFilePath(QString());
        QCOMPARE(path.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
