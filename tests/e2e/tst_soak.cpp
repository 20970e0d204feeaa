// A few hundred readings against a meter that drops, delays, splits and garbles replies and is
// unplugged and plugged in again at random. Seeded; the seed is printed (MD_SOAK_SEED repeats a
// run). Every reading shown while recording is in the file once and whole; memory stays flat.
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include "../support/lines.h"
#include "live.h"

namespace {

// Resident memory; 0 where it cannot be read, and under a sanitizer, whose quarantine and shadow
// memory grow it by themselves (leaks there are the sanitizer's own report).
long residentKiB() {
    if (qEnvironmentVariableIsSet("ASAN_OPTIONS") || qEnvironmentVariableIsSet("TSAN_OPTIONS"))
        return 0;
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& l : f.readAll().split('\n'))
        if (l.startsWith("VmRSS:"))
            return l.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

}  // namespace

class TestSoak : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void faultyMeterNeverLosesOrDuplicatesARecordedReading() {
        const quint32 seed = qEnvironmentVariableIsSet("MD_SOAK_SEED")
                                 ? qgetenv("MD_SOAK_SEED").toUInt()  // seeds above INT_MAX too
                                 : QRandomGenerator::global()->generate();
        qInfo("soak seed %u (MD_SOAK_SEED=%u repeats this run)", seed, seed);
        QRandomGenerator rng(seed);

        StableMeterLine line(dir.path());
        std::atomic<int> n{0};
        line.meter.setReadingFunction([&n](double, bool) { return -40.0 + 0.001 * (n++ % 5000); });
        Bench bench(fastSettings(line.enumeration(), 20));
        Meterdeck& deck = *bench.deck;
        const QString rec = dir.filePath(QStringLiteral("soak.csv"));
        const QString url = QUrl::fromLocalFile(rec).toString();

        QList<double> shown;
        connect(&deck, &Meterdeck::powerUpdated, this, [&] {
            if (deck.needWrite() && deck.isStart() && !qIsNaN(deck.power()))
                shown << deck.power();
        });
        auto connectAndRecord = [&] {
            deck.setIsStart(true);
            if (!deck.isStart())
                return false;
            deck.setFileName(url);  // a new connection picks a fresh name; keep one file
            deck.setNeedWrite(true);
            return true;
        };

        // Fault schedule: every 40 ms pick how the meter behaves next.
        int unplugs = 0;
        QTimer faults;
        faults.setInterval(40);
        connect(&faults, &QTimer::timeout, this, [&] {
            SimMeter& m = line.meter;
            if (!m.isPlugged()) {
                if (rng.bounded(4) == 0)
                    line.replug();
                return;
            }
            m.setReplyDelay(0);
            m.setChunks(1, 0);
            m.setPowerReply({});
            const quint32 pick = rng.bounded(20);
            if (pick == 0)
                m.dropReplies(1);
            else if (pick == 1)
                m.setReplyDelay(int(rng.bounded(150)));
            else if (pick <= 3)
                m.setChunks(2 + int(rng.bounded(4)), int(rng.bounded(5)));
            else if (pick == 4)
                m.send("\x07garbage}");
            else if (pick == 5)
                m.send("{\"OK\":");
            else if (pick == 6)
                m.setPowerReply("{\"ERR\":1}");
            else if (pick == 7 && shown.size() > 20 && rng.bounded(3) == 0) {
                line.unplug();
                ++unplugs;
            }
        });

        QVERIFY(bench.listed());
        QVERIFY(connectAndRecord());
        faults.start();
        long rssAt100 = 0;
        QElapsedTimer clock;
        clock.start();
        while (shown.size() < 400 && clock.elapsed() < 120000) {
            QTest::qWait(20);
            if (!rssAt100 && shown.size() >= 100)
                rssAt100 = residentKiB();
            if (!deck.isStart() && line.meter.isPlugged())
                connectAndRecord();
        }
        faults.stop();
        deck.setNeedWrite(false);
        qInfo("soak: %lld readings recorded, %d unplugs, %lld ms", qlonglong(shown.size()), unplugs,
              qlonglong(clock.elapsed()));
        QVERIFY2(shown.size() >= 400, "the measurement stalled");

        bool complete = false;
        const QList<QByteArray> lines = fileLines(rec, &complete);
        QVERIFY(complete);
        QCOMPARE(lines.size(), shown.size());
        for (int i = 0; i < lines.size(); ++i) {
            const QList<QByteArray> f = lines[i].split(';');
            QCOMPARE(f.size(), 5);
            QCOMPARE(QString::fromLatin1(f[3]), QString::number(shown[i], 'g', 6));
        }

        // Memory stays flat once the models are full of their bounded share.
        const long rssEnd = residentKiB();
        qInfo("soak: resident %ld KiB after 100 readings, %ld KiB at the end", rssAt100, rssEnd);
        QVERIFY2(rssEnd - rssAt100 < 16 * 1024, "resident memory grew by more than 16 MiB");
    }
};

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
