// A−B of two meters from readings of the same poll cycle only.
#include <QtTest>

#include "meterdifference.h"

namespace {
constexpr qint64 kPoll = 1000;
constexpr qint64 kT0 = 1765180800000;  // a moment on 8 December 2025
}  // namespace

class TestDifference : public QObject {
    Q_OBJECT
private slots:
    // Readings of one cycle pair whichever comes first; the value is A−B, stamped with the later.
    void sameCyclePairs() {
        MeterDifference d(kPoll);
        QVERIFY(!d.readingA(kT0, -10.0));
        const auto v = d.readingB(kT0 + 7, -25.5);
        QVERIFY(v);
        QCOMPARE(v->dB, 15.5);
        QCOMPARE(v->ms, kT0 + 7);
        QVERIFY(!d.readingB(kT0 + kPoll, -30.0));
        const auto w = d.readingA(kT0 + kPoll + 3, -40.0);
        QVERIFY(w);
        QCOMPARE(w->dB, -10.0);  // B above A: negative
        QCOMPARE(w->ms, kT0 + kPoll + 3);
    }

    // No value from readings further apart than a poll, from a reading without a value, or twice
    // from one reading.
    void otherwiseNoValue() {
        MeterDifference d(kPoll);
        d.readingA(kT0, -10.0);
        QVERIFY(!d.readingB(kT0 + kPoll + 1, -20.0));  // A's reading is a cycle old
        QVERIFY(d.readingA(kT0 + kPoll + 5, -11.0));   // ... but B's new one pairs with the next A
        QVERIFY(!d.readingB(kT0 + kPoll + 8, -21.0));  // that A is used: B waits for the next
        QVERIFY(!d.readingA(kT0 + 2 * kPoll, qQNaN()));  // A without a value: none this cycle
        QVERIFY(!d.readingB(kT0 + 2 * kPoll + 4, -22.0));
        QVERIFY(d.readingA(kT0 + 2 * kPoll + 6, -12.0));  // the next A of the same cycle pairs
        d.readingA(kT0 + 3 * kPoll, -13.0);
        d.reset();
        QVERIFY(!d.readingB(kT0 + 3 * kPoll + 2, -23.0));  // forgotten
        QVERIFY(!d.readingA(kT0 + 3 * kPoll + 3, std::numeric_limits<double>::infinity()));
        QVERIFY(!d.readingB(kT0 + 3 * kPoll + 4, -24.0));  // the infinite A cleared nothing of B's
        QVERIFY(d.readingA(kT0 + 3 * kPoll + 9, -14.0));
    }
};

int runDifferenceTests(int argc, char** argv) {
    TestDifference t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_difference.moc"
