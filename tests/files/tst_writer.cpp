#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <QtTest>
#include <csignal>
#include <random>

#include "csvwriter.h"
#include "recordformat.h"
#include "records.h"

namespace {

// The line the writer adds for the n-th reading from kT0.
QByteArray line(int n) {
    return CsvWriter::formatLine(rec(kT0.addSecs(n), -n)).toUtf8();
}

QByteArray local(const QString& path) {
    return QFile::encodeName(path);
}

// Whether this process holds the file open (Linux: its descriptors link to the file).
bool heldOpen(const QString& path) {
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (QFile::symLinkTarget(fds.filePath(fd)) == target)
            return true;
    return false;
}

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

    // Between two lines the name may come to lead elsewhere: a file put in its place, the file
    // renamed away or deleted, the operator's choice of another name, a folder. Each line goes to
    // what the name leads to then, and a file left behind gets nothing more.
    void linesFollowTheName() {
        CsvWriter w;
        const QString p = path("follow.csv");
        QVERIFY(w.write(p, rec(kT0, 0)));

        QFile::rename(p, path("away.csv"));  // the operator moves it while recording
        QVERIFY(w.write(p, rec(kT0.addSecs(1), -1)));
        QCOMPARE(readAll(path("away.csv")), line(0));
        QCOMPARE(readAll(p), line(1));

        {  // another file saved over the name, as an editor saves
            QFile other(path("other.csv"));
            QVERIFY(other.open(QIODevice::WriteOnly) && other.write("edited\n") == 7);
        }
        QVERIFY(::rename(local(path("other.csv")), local(p)) == 0);
        QVERIFY(w.write(p, rec(kT0.addSecs(2), -2)));
        QCOMPARE(readAll(p), "edited\n" + line(2));

        QVERIFY(QFile::remove(p));
        QVERIFY(w.write(p, rec(kT0.addSecs(3), -3)));
        QCOMPARE(readAll(p), line(3));

        // Another name chosen, and the first one again.
        QVERIFY(w.write(path("second.csv"), rec(kT0.addSecs(4), -4)));
        QVERIFY(w.write(p, rec(kT0.addSecs(5), -5)));
        QCOMPARE(readAll(path("second.csv")), line(4));
        QCOMPARE(readAll(p), line(3) + line(5));

        // A folder in place of the file is refused (a pipe: pipeSwappedInIsRefusedAtOnce).
        QVERIFY(QFile::rename(p, path("before-folder.csv")) && QDir().mkdir(p));
        QVERIFY(!w.write(p, rec(kT0.addSecs(7), -7)));
        QCOMPARE(readAll(path("before-folder.csv")), line(3) + line(5));
        QVERIFY(QDir().rmdir(p));
        QVERIFY(w.write(p, rec(kT0.addSecs(8), -8)));
        QCOMPARE(readAll(p), line(8));
    }

    // A file edited by hand while it is being recorded to, in place, may lose its last line feed
    // (cut short, or its last byte changed at the same size): the next record starts a line of
    // its own. One that still ends in a line feed gets no blank line.
    void handEditsBetweenLines() {
        CsvWriter w;
        const QString p = path("edited.csv");
        QVERIFY(w.write(p, rec(kT0, 0)));
        QVERIFY(::truncate(local(p), line(0).size() - 1) == 0);
        QVERIFY(w.write(p, rec(kT0.addSecs(1), -1)));
        QByteArray want = line(0) + line(1);
        QCOMPARE(readAll(p), want);

        const int fd = ::open(local(p), O_WRONLY);
        QCOMPARE(::pwrite(fd, "x", 1, want.size() - 1), ssize_t(1));
        ::close(fd);
        want.back() = 'x';
        QVERIFY(w.write(p, rec(kT0.addSecs(2), -2)));
        QCOMPARE(readAll(p), want + '\n' + line(2));

        QFile f(p);
        QVERIFY(f.open(QIODevice::Append) && f.write("note\n") == 5);
        f.close();
        QVERIFY(w.write(p, rec(kT0.addSecs(3), -3)));
        QCOMPARE(readAll(p), want + '\n' + line(2) + "note\n" + line(3));
    }

    // A stopped recording lets go of its file (a stick can be taken out); the next line opens it
    // again and goes on at its end.
    void releasedWhenStopped() {
        CsvWriter w;
        w.setSyncEnabled(false);
        const QString p = path("released.csv");
        QVERIFY(w.write(p, rec(kT0, 0)));
        QVERIFY(heldOpen(p));
        w.release();
        QVERIFY(!heldOpen(p));
        QVERIFY(w.write(p, rec(kT0.addSecs(1), -1)));
        QCOMPARE(readAll(p), line(0) + line(1));
    }

    // A line that fits only in part into a file already being written is taken back with all it
    // added (the line feed a hand edit took away included), or the next reading would be glued to
    // its half; the next one is whole. So with the durability flush on or off.
    void failedLineIsTakenBack() {
        std::signal(SIGXFSZ, SIG_IGN);  // a failed write, not the end of the test
        for (bool sync : {true, false}) {
            CsvWriter w;
            w.setSyncEnabled(sync);
            const QString p = path(sync ? "full-sync.csv" : "full.csv");
            QVERIFY(w.write(p, rec(kT0, 0)));
            QVERIFY(::truncate(local(p), line(0).size() - 1) == 0);
            rlimit saved{};
            getrlimit(RLIMIT_FSIZE, &saved);
            const rlimit tight{rlim_t(line(0).size() + 10), saved.rlim_max};
            setrlimit(RLIMIT_FSIZE, &tight);
            const bool ok = w.write(p, rec(kT0.addSecs(1), -1));
            setrlimit(RLIMIT_FSIZE, &saved);
            QVERIFY(!ok);
            QCOMPARE(readAll(p), line(0).chopped(1));
            QVERIFY(w.write(p, rec(kT0.addSecs(2), -2)));
            QCOMPARE(readAll(p), line(0) + line(2));
        }
    }
};

int runWriterTests(int argc, char** argv) {
    TestWriter t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_writer.moc"
