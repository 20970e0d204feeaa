#include <QtTest>

#include "powerdatamodel.h"
#include "powerunits.h"
#include "statistics.h"

namespace {

PowerData reading(int secs, double power) {
    return PowerData(QDateTime(QDate(2026, 12, 5), QTime(14, 0)).addSecs(secs), power,
                     QStringLiteral("дБм"), 3000.0, QStringLiteral("кГц"));
}

}  // namespace

class TestModels : public QObject {
    Q_OBJECT
private slots:
    // The range follows the finite powers (NaN, or an overflowing power read from a file, neither
    // sets nor blocks it) and outlasts a clear; the series keeps the newest 1000 records, and a
    // dropped one keeps its part in the range; a loaded file replaces the series whole.
    void powerModelKeepsNewestRecordsAndTheirRange() {
        PowerDataModel m;
        auto bounds = [&m] { return std::pair(m.powerMin(), m.powerMax()); };
        m.append(reading(0, -42.5));
        m.clear();
        QCOMPARE(bounds(), std::pair(-42.5, -42.5));
        for (double p : {qQNaN(), -20.0, qInf(), -10.0, -qInf(), -30.0, -15.0})
            m.append(reading(0, p));
        QCOMPARE(bounds(), std::pair(-30.0, -10.0));

        m.clear();
        for (int i = 0; i < 1000; ++i)
            m.append(reading(i, i == 0 ? 5.0 : -20.0 + (i % 7)));
        // Views are told of the new rows and of the new bounds (the four come together).
        QSignalSpy resets(&m, &QAbstractItemModel::modelReset);
        QSignalSpy moved(&m, &PowerDataModel::timeMinChanged);
        m.append(reading(1000, -30.0));
        QVERIFY(!resets.isEmpty() && !moved.isEmpty());
        QCOMPARE(m.rowCount(), 1000);
        QCOMPARE(m.timeMin(), reading(1, 0).time());
        QCOMPARE(m.timeMax(), reading(1000, 0).time());
        QCOMPARE(bounds(), std::pair(-30.0, 5.0));
        QVERIFY(!m.data(m.index(1000, m.edBm())).isValid());

        std::deque<PowerData> file;
        for (int i = 0; i < 2500; ++i)
            file.push_back(reading(i, i == 7 ? qInf() : -i));
        resets.clear();
        moved.clear();
        m.replaceAll(file);
        QVERIFY(!resets.isEmpty() && !moved.isEmpty());
        QCOMPARE(m.rowCount(), 2500);
        QCOMPARE(m.data(m.index(2499, m.edBm())).toDouble(), -2499.0);
        QCOMPARE(bounds(), std::pair(-2499.0, 0.0));
    }

    // Hand-computed: the mean is that of the powers in mW, the spread the sample deviation in dB;
    // the running figures stay exact over a long run near one level (no loss to cancellation).
    void statistics_data() {
        QTest::addColumn<QList<double>>("readings");
        QTest::addColumn<QList<double>>("expected");  // count, min, max, mean, deviation
        const double nan = qQNaN(), inf = qInf();
        QTest::newRow("none") << QList<double>{nan} << QList<double>{0, nan, nan, nan, nan};
        QTest::newRow("one") << QList<double>{-20} << QList<double>{1, -20, -20, -20, 0};
        // (1 + 0.1 + 0.01) / 3 mW = 0.37 mW
        QTest::newRow("non-finite skipped") << QList<double>{0, -10, nan, inf, -inf, -20}
                                            << QList<double>{3, -20, 0, 10 * std::log10(0.37), 10};
        QList<double> level;
        for (int i = 0; i < 1000000; ++i)
            level << -100.0 + (i % 2 ? 0.001 : -0.001);
        QTest::newRow("a million near one level")
            << level << QList<double>{1e6, -100.001, -99.999, -100, 0.001};
    }
    void statistics() {
        QFETCH(QList<double>, readings);
        QFETCH(QList<double>, expected);
        Statistics s;
        for (double r : readings)
            s.add(r);
        const QList<double> got = {double(s.count()), s.min(), s.max(), s.mean(), s.stdDev()};
        for (int i = 0; i < got.size(); ++i)
            QVERIFY2(std::isnan(expected[i]) ? std::isnan(got[i])
                                             : std::abs(got[i] - expected[i]) < 1e-6,
                     qPrintable(QString::number(i) + ": " + QString::number(got[i], 'g', 10)));
    }

    // Every unit text the program writes, and the Latin spellings of an edited file, read back to
    // the same dBm; anything else is no unit. The shown prefix never says 1000 of the one below.
    void unitsRoundTripAndFormat() {
        using namespace PowerUnits;
        for (Family f : {Family::Watt, Family::Volt})
            for (int step = MinStep; step <= MaxStep; ++step) {
                const Unit u{f, step};
                QCOMPARE(parse(text(u)), std::optional<Unit>(u));
                const double dBm = -40.0 + 10.0 * step;
                QVERIFY(std::abs(toDbm(fromDbm(dBm, u), u) - dBm) < 1e-9);
            }
        QCOMPARE(parse(u"dBm"), std::optional<Unit>(Unit{}));
        QCOMPARE(parse(u" uW"), std::optional<Unit>(Unit{Family::Watt, -2}));
        QCOMPARE(parse(u"µW"), parse(u"мкВт"));
        QCOMPARE(parse(u"MV"), std::optional<Unit>(Unit{Family::Volt, 2}));
        QCOMPARE(parse(u"mV"), std::optional<Unit>(Unit{Family::Volt, -1}));
        QCOMPARE(parse(u"Ватт"), std::optional<Unit>(Unit{Family::Watt, 0}));
        for (const char16_t* bad : {u"", u"xВт", u"дБ", u"мВтт", u"kk W"})
            QVERIFY2(!parse(bad), qPrintable(QString::fromUtf16(bad)));
        QCOMPARE(fromDbm(0.0, Unit{Family::Watt, -1}), 1.0);  // 0 dBm = 1 mW
        QVERIFY(std::abs(fromDbm(10.0, Unit{Family::Volt, 0}) - std::sqrt(0.5)) < 1e-12);
        QCOMPARE(convert(1000.0, Unit{Family::Watt, -3}, Unit{Family::Watt, -2}), 1.0);
        QCOMPARE(format(-30.0, Family::Watt), QStringLiteral("1.000 мкВт"));
        QCOMPARE(format(-30.00001, Family::Watt), QStringLiteral("1.000 мкВт"));
        QCOMPARE(format(-20.5123, Family::Dbm), QStringLiteral("-20.51 дБм"));
        QCOMPARE(format(-90.0, Family::Volt), QStringLiteral("7.071 мкВ"));
        QCOMPARE(format(qQNaN(), Family::Watt), QStringLiteral("—"));
        QCOMPARE(displayUnit(-200.0, Family::Watt), (Unit{Family::Watt, MinDisplayStep}));
    }
};

QTEST_GUILESS_MAIN(TestModels)
#include "tst_models.moc"
