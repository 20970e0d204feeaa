// Several meters over real serial I/O: each reading reaches its own meter's series, log line and
// record file only; A−B comes from replies of one poll cycle; one meter unplugged and plugged
// back is taken back while the others measure on.
#include <QDir>
#include <QRegularExpression>
#include <QUrl>
#include <QtTest>
#include <array>
#include <atomic>
#include <deque>

#include "../support/lines.h"
#include "live.h"
#include "pollclock.h"

namespace {
constexpr int kPoll = 50;

// Meter k answers -60 + 20·k dBm plus a thousandth of a dB per reply: every reply of every meter
// is a value no other reply carries.
double level(int k, int n) {
    return -60.0 + 20.0 * k + 0.001 * n;
}
}  // namespace

class TestSeveral : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void threeMetersEachToItsOwn() {
        std::deque<StableMeterLine> lines;  // each its own folder: the link has one name
        std::array<std::atomic<int>, 3> counters{};
        for (int k = 0; k < 3; ++k) {
            QDir().mkpath(dir.filePath(QString::number(k)));
            SimMeter& meter = lines.emplace_back(dir.filePath(QString::number(k))).meter;
            meter.setIdentity(QStringLiteral("T9-SIM"), QStringLiteral("0000%1").arg(k));
            meter.setReadingFunction([k, &n = counters[k]](double, bool) { return level(k, n++); });
        }
        DriverSettings settings = fastSettings(
            [&lines] {
                QStringList all;
                for (auto& l : lines)
                    all += l.enumeration()();
                return all;
            },
            kPoll);
        settings.pollClock = std::make_shared<PollClock>(kPoll);
        Bench bench(settings);
        Meterdeck& deck = *bench.deck;
        deck.setFurtherDevices(Meterdeck::furtherMeters(settings));
        FurtherMeters& further = *deck.traces();
        further.setRetryInterval(150);
        QTRY_COMPARE_WITH_TIMEOUT(deck.deviceModel()->rowCount(), 3, 5000);
        deck.setIsStart(true);
        QVERIFY(deck.isStart());
        for (int row = 0; row < 3; ++row)
            if (row != deck.selectedDevice())
                QVERIFY(deck.addMeter(row));
        QCOMPARE(further.count(), 2);
        // Which simulated meter each place measures, by serial.
        const auto lineOf = [](const QString& identification) {
            return identification.right(1).toInt();
        };
        const int a = lineOf(deck.meterName());
        const int b = lineOf(further.at(0)->identification());
        const int c = lineOf(further.at(1)->identification());

        QStringList logged;
        connect(deck.logsModel(), &QAbstractItemModel::modelReset, this,
                [&] { logged << deck.logsModel()->lastLog(); });
        const QString url = QUrl::fromLocalFile(dir.filePath("run.csv")).toString();
        deck.setFileName(url);
        deck.setNeedWrite(true);
        QVERIFY(deck.needWrite());
        const auto readingsOf = [](const PowerDataModel* m) { return int(m->rowCount()); };
        QTRY_VERIFY_WITH_TIMEOUT(
            readingsOf(further.at(0)->model()) >= 20 && readingsOf(further.at(1)->model()) >= 20,
            10000);

        // B unplugged: told once, awaited; A and C go on meanwhile.
        QSignalSpy alerts(&deck, &Meterdeck::alert);
        lines[b].unplug();
        QTRY_COMPARE_WITH_TIMEOUT(further.index(0).data(FurtherMeters::StateRole).toInt(), 2, 5000);
        const int mainBefore = readingsOf(deck.powerModel());
        const int cBefore = readingsOf(further.at(1)->model());
        QTRY_VERIFY_WITH_TIMEOUT(readingsOf(deck.powerModel()) >= mainBefore + 10 &&
                                     readingsOf(further.at(1)->model()) >= cBefore + 10,
                                 5000);
        QCOMPARE(alerts.size(), 1);
        QVERIFY(deck.isStart());
        const int bAway = readingsOf(further.at(0)->model());
        QVERIFY(lines[b].replug());
        QTRY_VERIFY_WITH_TIMEOUT(readingsOf(further.at(0)->model()) >= bAway + 10, 10000);
        QCOMPARE(further.index(0).data(FurtherMeters::StateRole).toInt(), 0);
        QVERIFY(logged.filter(QStringLiteral("восстановлена")).size() == 1);
        deck.setNeedWrite(false);
        deck.setIsStart(false);
        QCOMPARE(further.count(), 0);

        // Every value in a meter's file, and every reading logged with its serial, is one reply of
        // that meter, once, in the order asked.
        const QString base = QUrl(url).toLocalFile();
        const std::pair<int, QString> files[] = {
            {a, base},
            {b, Recorder::besideName(base, QStringLiteral("0000%1").arg(b))},
            {c, Recorder::besideName(base, QStringLiteral("0000%1").arg(c))}};
        for (const auto& [k, path] : files) {
            bool complete = false;
            const QList<QByteArray> rows = fileLines(path, &complete);
            QVERIFY2(complete && rows.size() >= 20, qPrintable(path));
            int last = -1;
            for (const QByteArray& row : rows) {
                const double dBm = QString::fromLocal8Bit(row).split(';').value(3).toDouble();
                const int n = qRound((dBm - level(k, 0)) / 0.001);
                QVERIFY2(n > last && n < counters[k] && qAbs(level(k, n) - dBm) < 1e-4,
                         qPrintable(path + ": " + row));
                last = n;
            }
            // As many lines as the log says were written for that meter (A's lines are untagged,
            // the others' and A−B's tagged "SN …: ", "A−B: ").
            const QString tag = k == a ? QString() : QStringLiteral("SN 0000%1").arg(k);
            const auto written = std::count_if(logged.begin(), logged.end(), [&](const QString& l) {
                return l.endsWith(QStringLiteral(" записана в файл.")) &&
                       (l.contains(QStringLiteral(": ")) ? l.section(QStringLiteral(": "), 0, 0)
                                                         : QString()) == tag;
            });
            QCOMPARE(rows.size(), written);
        }

        // Each A−B logged is A's reply minus B's reply to requests of one cycle: the pairs of
        // replies asked within half a poll of each other give the counts A is ahead of B by; a
        // difference across cycles would be a thousandth of a dB off every one of them.
        const auto replies = [](const SimMeter& m, int k) {
            QList<std::pair<SimMeter::Clock::time_point, int>> list;
            for (const SimMeter::Exchange& e : m.exchanges())
                if (e.written && !qIsNaN(e.reading))
                    list.append({e.asked, qRound((e.reading - level(k, 0)) / 0.001)});
            return list;
        };
        QSet<int> sameCycle;
        const auto fromA = replies(lines[a].meter, a);
        for (const auto& [askedB, nB] : replies(lines[b].meter, b))
            for (const auto& [askedA, nA] : fromA)
                if (std::chrono::abs(askedA - askedB) < std::chrono::milliseconds(kPoll / 2))
                    sameCycle.insert(nA - nB);
        const auto oneCycle = [&](double dB) {
            const double apart = (dB - (level(a, 0) - level(b, 0))) / 0.001;
            return qAbs(apart - qRound(apart)) < 0.2 && sameCycle.contains(qRound(apart));
        };
        const QRegularExpression diff(QStringLiteral(" A−B = (\\S+) дБ$"));
        int diffs = 0;
        for (const QString& l : std::as_const(logged)) {
            const auto m = diff.match(l);
            if (m.hasMatch() && ++diffs)
                QVERIFY2(oneCycle(m.captured(1).toDouble()), qPrintable(l));
        }
        // The recorded A−B values, in dB, are such values too.
        const QList<QByteArray> recorded = fileLines(Recorder::differenceName(base));
        QVERIFY(recorded.size() >= 20);
        for (const QByteArray& row : recorded) {
            const QStringList f = QString::fromLocal8Bit(row).split(';');
            QVERIFY2(f.value(4) == QStringLiteral("дБ") && oneCycle(f.value(3).toDouble()), row);
        }
        QVERIFY(diffs >= 20);
    }
};

QTEST_GUILESS_MAIN(TestSeveral)
#include "tst_several.moc"
