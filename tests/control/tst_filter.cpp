#include <QTest>
#include <cmath>
#include <limits>

#include "averagingfilter.h"

class FilterTest : public QObject {
    Q_OBJECT
private slots:
    void rounds_data() {
        QTest::addColumn<double>("in");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("out");
        QTest::newRow("1: -12.345") << -12.345 << 1 << -12.3;
        QTest::newRow("1: -12.35 half away") << -12.35 << 1 << -12.4;
        QTest::newRow("1: -12.25 half away") << -12.25 << 1 << -12.3;
        QTest::newRow("0: -12.5") << -12.5 << 0 << -13.0;
        QTest::newRow("0: 2.5") << 2.5 << 0 << 3.0;
        QTest::newRow("0: -12.4") << -12.4 << 0 << -12.0;
        QTest::newRow("2: 1.234") << 1.234 << 2 << 1.23;
        QTest::newRow("3: -7.0004") << -7.0004 << 3 << -7.0;
        QTest::newRow("3: -7.0005") << -7.0005 << 3 << -7.001;
        QTest::newRow("huge stays") << 1e300 << 3 << 1e300;
    }
    void rounds() {
        QFETCH(double, in);
        QFETCH(int, decimals);
        QFETCH(double, out);
        AveragingFilter f(in, decimals);
        QCOMPARE(f.getValue(), out);
    }

    void nonFiniteStaysAsIs() {
        QVERIFY(std::isnan(AveragingFilter(std::numeric_limits<double>::quiet_NaN(), 2).getValue()));
        QCOMPARE(AveragingFilter(-std::numeric_limits<double>::infinity(), 1).getValue(),
                 -std::numeric_limits<double>::infinity());
    }

    void readingsAreIndependent() {
        QCOMPARE(AveragingFilter(-3.14159, 2).getValue(), AveragingFilter(-3.14159, 2).getValue());
        AveragingFilter(99.9, 0);
        QCOMPARE(AveragingFilter(-3.14159, 2).getValue(), -3.14);
    }
};

int runFilterTests(int argc, char** argv) {
    FilterTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_filter.moc"
