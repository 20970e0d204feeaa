#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QtTest>
#include <thread>

#include "chartbuilder.h"
#include "csvwriter.h"
#include "powerdatamodel.h"
#include "powerunits.h"
#include "recordfile.h"
#include "recordformat.h"
#include "recordingoverlays.h"
#include "records.h"

namespace {

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

}  // namespace

class TestFiles : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    // The record's fields in any locale (a line that fits only in part, a file edited by hand:
    // tst_writer). In any unit and prefix, what is written reads back as the same power.
    void writerAppendsWholeLinesOnly() {
        QLocale::setDefault(QLocale(QLocale::German));
        CsvWriter w;
        const QString p = path("format.csv");
        QVERIFY(w.write(p, rec(QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9)), -12.3456789, 1e6)));
        QCOMPARE(QString::fromUtf8(readAll(p)),
                 QString("05.12.2026 14::05::09;1e+06;кГц;-12.3457;дБм\n"));
        using namespace PowerUnits;
        QList<Unit> units{{Family::Dbm, 0}};
        for (int step = MinStep; step <= MaxStep; ++step)
            units << Unit{Family::Watt, step} << Unit{Family::Volt, step};
        for (const Unit& unit : units)
            QVERIFY(w.write(path("units.csv"), PowerData(kT0, 123.456789, text(unit), 1, "Гц")));
        CsvParser parser;
        QVERIFY(parser.parse(path("units.csv")) && parser.getData().size() == units.size());
        for (qsizetype i = 0; i < units.size(); ++i) {
            const PowerData& r = parser.getData().at(i);
            const std::optional<Unit> unit = parse(r.powerUnit());
            const double want = toDbm(123.456789, units[i]);
            QVERIFY2(unit && qAbs(toDbm(r.power(), *unit) - want) <= 5e-6 * qAbs(want),
                     qPrintable(text(units[i]) + " read as " + r.powerUnit()));
        }
    }

    void readerLineRules_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("records");
        // A header, extra fields, CR LF, blanks, a decimal comma and junk in the number, Latin and
        // unknown units, a one-digit day, a number too large for a double, blank and short lines.
        QTest::newRow("rules") << QByteArray(
                                      "time;f;u;p;u\r\n"
                                      "05.12.2026 14::05::09;1e+06;x;-12.5;дБм;extra;more\r\n"
                                      "05.12.2026 14::05::10;1;x; -3,5 ;uW\n"
                                      "05.12.2026 14::05::11;1;x;abc;мВ\n"
                                      "\n5.12.2026 14::05::12;1;x;1e+03;W\n;;;;\n"
                                      "05.12.2026 14::05::13;1;x;-1e400;Вт\n"
                                      "05.12.2026 14::05::14;1;x; ;mV\n"
                                      "05.12.2026 14::05::15;1;x;-2;dBW\nshort;line\n")
                               << QString(
                                      "nan , -12.5 дБм, -3.5 мкВт, nan мВ, 1000 Вт, -inf Вт, "
                                      "nan мВ, nan , -0.005 дБм, read 5, skipped 5 from 1");
        // Zeros without line ends (a disk image) are not gathered into one line in memory.
        QTest::newRow("no-line-ends")
            << lines(3) + QByteArray(3 * CsvParser::MaxLineBytes, '\0')
            << QString("0 дБм, -0.001 дБм, -0.002 дБм, -0.005 дБм, read 4, skipped 1 from 4");
    }

    // Every readable line is read, each in its own unit; what is not is counted.
    void readerLineRules() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, records);
        QLocale::setDefault(QLocale(QLocale::German));
        writeRaw(path("rules.csv"), bytes + "\n" + lines(1, 5));
        CsvParser parser;
        QTest::ignoreMessage(QtDebugMsg, "CsvParser: Структура файла не поддерживается");
        QVERIFY(parser.parse(path("rules.csv")));
        QStringList got;
        for (const PowerData& r : parser.getData())
            got << QString::number(r.power()) + ' ' + r.powerUnit();
        const auto& [bytesOpened, read, skipped, first] = parser.tally();
        got << QString("read %1, skipped %2 from %3").arg(read).arg(skipped).arg(first);
        QCOMPARE(got.join(", "), records);
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

    // A pipe put in place after the check by name is opened without waiting for its other end,
    // and refused, in every mode the reader and the writer open a file (a blocked open would be
    // freed by opening the other end).
    void pipeSwappedInIsRefusedAtOnce() {
        const QString p = path("swapped.csv");
        QCOMPARE(::mkfifo(QFile::encodeName(p).constData(), 0600), 0);
        using M = QIODevice::OpenMode;
        for (M mode : {M(QIODevice::ReadOnly), QIODevice::WriteOnly | QIODevice::Append,
                       QIODevice::ReadWrite | QIODevice::Append}) {
            std::atomic<int> status{-1};
            std::thread opening([&] {
                QFile f;
                status = int(RecordFile::open(f, p, mode));
            });
            const bool returned = QTest::qWaitFor([&] { return status >= 0; }, 5000);
            const int otherEnd = returned ? -1 : ::open(QFile::encodeName(p).constData(), O_RDWR);
            opening.join();
            ::close(otherEnd);
            QVERIFY2(returned, "blocked on the pipe");
            QCOMPARE(status.load(), int(RecordFile::Status::NotRegular));
        }
    }

    // Nothing but a regular file is opened, within a bound: a pipe would block for ever, a device
    // never end; a file over the limit is refused and the writer makes no folder. What cannot be
    // shown is reported and the chart kept. A big file is read in a thread of its own and put on
    // the chart in one step, with progress; one cut short while read ends at its new end.
    void builderRefusesOrLoadsFiles() {
        QCOMPARE(::mkfifo(QFile::encodeName(path("pipe.csv")).constData(), 0600), 0);
        QCOMPARE(::symlink("loop.csv", QFile::encodeName(path("loop.csv")).constData()), 0);
        QFile sparse(path("sparse.csv"));  // no disk space taken
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(CsvParser::MaxFileBytes + 1));
        using O = CsvParser::Outcome;
        const std::tuple<QString, O, QString> refused[] = {
            {path("pipe.csv"), O::NotRegular, "это не обычный файл (устройство, канал или папка)."},
            {path("sparse.csv"), O::TooLarge,
             "файл слишком велик (268\u00a0435\u00a0457 байт, допустимо до 256 МБ — "
             "268\u00a0435\u00a0456 байт)."},
            {path("loop.csv"), O::LinkLoop, "это петля символических ссылок."},
            {path("no/such/dir/run.csv"), O::Missing, "файл не найден."}};
        PowerDataModel model;
        model.append(rec(kT0, -99));
        ChartBuilder builder(&model);
        QSignalSpy progress(&builder, &ChartBuilder::loadProgressChanged);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QStringList said, expected;
        for (auto signal : {&ChartBuilder::failed, &ChartBuilder::notice, &ChartBuilder::opened})
            connect(&builder, signal, [&](const QString& text) { said << text; });
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
        for (const auto& [name, bytes] : {std::pair("empty.csv", "\n"), {"junk.csv", "\nabc\n"}})
            writeRaw(path(name), bytes), builder.setFilePath(path(name));
        expected << "Не удалось открыть запись " + path("empty.csv") +
                        ": в нём нет ни одной записи измерения."
                 << "Не удалось открыть запись " + path("junk.csv") +
                        ": в нём нет ни одной записи измерения (пропущено строк: 1, первая "
                        "пропущенная — строка 2).";
        QCOMPARE(said, expected);
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

        // Lines not read are told once; the unit named is that of the records read (a UTF-16
        // file here). Chosen again after the chart was cleared, the file is shown again.
        const QString mixed = QString::fromUtf8(lines(2)).replace("дБм", "мкВт") + "abc\n";
        writeRaw(path("mixed.csv"), "\xFF\xFE" + QStringEncoder(QStringConverter::Utf16LE)(mixed));
        expected << "Открыта запись big.csv: показаний 100000.";
        for (int i = 0; i < 2; ++i) {
            model.clear();
            builder.setFilePath(path("mixed.csv"));
            QVERIFY(model.rowCount() == 2 && builder.shownUnit() == QStringLiteral("мкВт"));
            expected << "Открыта запись mixed.csv: показаний 2."
                     << "Запись mixed.csv: прочитано строк: 2, пропущено: 1 (первая пропущенная — "
                        "строка 3).";
        }

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
        QCOMPARE(said, expected);

        // Cut short after the first piece: complete records only, up to the new end.
        std::deque<PowerData> out;
        const qint64 cutAt = CsvParser::ChunkBytes + 100;
        const auto cut = [&](qint64, qint64) { return QFile::resize(big, cutAt); };
        QCOMPARE(int(parser.read(big, out, cut)), int(O::Read));
        const qsizetype kept = bigBytes.left(cutAt).count('\n');
        QVERIFY(qsizetype(out.size()) >= kept && qsizetype(out.size()) <= kept + 1);
        QCOMPARE(out.back().time(), kT0.addSecs(qsizetype(out.size()) - 1));
    }

    // Several recordings chosen at once: the first on the chart, the others drawn over it in the
    // order chosen (a big one read in its own thread too), in the chart's unit family; a file
    // that cannot be read is told and left out; all go when a single file is chosen or a live
    // reading takes the chart.
    void severalRecordingsOverlaid() {
        writeRaw(path("a.csv"), lines(3));
        writeRaw(path("b.csv"), lines(100000, 5));  // over a megabyte: read in its own thread
        writeRaw(path("c.csv"), QString::fromUtf8(lines(2)).replace("дБм", "мВт").toUtf8());
        PowerDataModel model;
        ChartBuilder builder(&model);
        RecordingOverlays& overlays = *builder.overlays();
        QStringList said;
        for (auto signal : {&ChartBuilder::failed, &ChartBuilder::opened})
            connect(&builder, signal, [&](const QString& text) { said << text; });
        builder.openFiles({QUrl::fromLocalFile(path("a.csv")), path("b.csv"), path("none.csv"),
                           QUrl::fromLocalFile(path("c.csv"))});
        QCOMPARE(builder.shownFile(), "a.csv");
        QTRY_COMPARE(overlays.count(), 2);
        const auto name = [&](int row) {
            return overlays.index(row).data(RecordingOverlays::NameRole).toString();
        };
        const auto series = [&](int row) {
            return qobject_cast<PowerDataModel*>(
                overlays.index(row).data(RecordingOverlays::SeriesRole).value<QObject*>());
        };
        QCOMPARE(QStringList({name(0), name(1)}), QStringList({"b.csv", "c.csv"}));
        QCOMPARE(series(0)->rowCount(), 100000);
        QCOMPARE(series(1)->unitFamily(), int(PowerUnits::Family::Dbm));  // the chart's
        QCOMPARE(model.rowCount(), 3);
        QVERIFY(overlays.index(0).data(RecordingOverlays::TraceColorRole) !=
                overlays.index(1).data(RecordingOverlays::TraceColorRole));
        QCOMPARE(said.filter("none.csv").size(), 1);
        QCOMPARE(said.filter("Открыта запись").size(), 3);
        model.setUnitFamily(int(PowerUnits::Family::Watt));
        QCOMPARE(series(1)->unitFamily(), int(PowerUnits::Family::Watt));

        builder.setFilePath(path("a.csv"));
        QCOMPARE(overlays.count(), 0);
        builder.openFiles({path("a.csv"), path("c.csv"), path("a.csv")});  // read at once
        QCOMPARE(overlays.count(), 2);
        QVERIFY(overlays.index(0).data(RecordingOverlays::TraceColorRole) !=
                overlays.index(1).data(RecordingOverlays::TraceColorRole));
        model.append(rec(kT0, -7));  // a live reading
        QCOMPARE(overlays.count(), 0);
    }
};

int runFileTests(int argc, char** argv) {
    TestFiles t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_files.moc"
