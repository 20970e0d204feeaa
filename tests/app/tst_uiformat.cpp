#include <QtTest>
#include <cmath>

#include "uiformat.h"

class TestUiFormat : public QObject {
    Q_OBJECT
private slots:
    void numberEntry_data();
    void numberEntry();
    void numberEntryWithoutNumberIsNan_data();
    void numberEntryWithoutNumberIsNan();
    void frequencyIgnoresBlanks();
    void grouping_data();
    void grouping();
    void groupedTextReadsBack();
    void fileUrl();
};

void TestUiFormat::numberEntry_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("comma is the decimal point") << "3,5" << 3.5;
    QTest::newRow("point") << "433.92" << 433.92;
    QTest::newRow("comma with fraction") << "433,92" << 433.92;
    QTest::newRow("sign") << "-2,25" << -2.25;
    QTest::newRow("plus") << "+7" << 7.0;
    QTest::newRow("leading blanks") << "  12" << 12.0;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("negative exponent") << "25E-1" << 2.5;
    QTest::newRow("fraction only") << ".5" << 0.5;
    QTest::newRow("trailing point") << "5." << 5.0;
    QTest::newRow("rest ignored") << "12abc" << 12.0;
    QTest::newRow("unit after blank ignored") << "10 dB" << 10.0;
    QTest::newRow("dangling exponent ignored") << "4e" << 4.0;
    QTest::newRow("second comma ends the number") << "1,5,7" << 1.5;
}

void TestUiFormat::numberEntry() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(UiFormat::toNumber(text), value);
}

void TestUiFormat::numberEntryWithoutNumberIsNan_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("blank") << "   ";
    QTest::newRow("letters") << "abc";
    QTest::newRow("sign only") << "-";
    QTest::newRow("exponent only") << "e5";
    QTest::newRow("point only") << ".";
}

void TestUiFormat::numberEntryWithoutNumberIsNan() {
    QFETCH(QString, text);
    QVERIFY(std::isnan(UiFormat::toNumber(text)));
}

void TestUiFormat::frequencyIgnoresBlanks() {
    QCOMPARE(UiFormat::frequencyFromText("3 000.000"), 3000.0);
    QCOMPARE(UiFormat::frequencyFromText("1 234 567,5"), 1234567.5);
    QCOMPARE(UiFormat::frequencyFromText("1500,25"), 1500.25);
    QVERIFY(std::isnan(UiFormat::frequencyFromText(" ")));
    // Only blanks go; other text still ends the number.
    QCOMPARE(UiFormat::frequencyFromText("12 kHz"), 12.0);
}

void TestUiFormat::grouping_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("3000") << 3000.0 << "3 000.000";
    QTest::newRow("1234567.5") << 1234567.5 << "1 234 567.500";
    QTest::newRow("below a thousand") << 300.0 << "300.000";
    QTest::newRow("upper limit") << 3200000.0 << "3 200 000.000";
    QTest::newRow("fraction untouched") << 1000.1234 << "1 000.123";
    QTest::newRow("negative") << -12345.0 << "-12 345.000";
    QTest::newRow("zero") << 0.0 << "0.000";
}

void TestUiFormat::grouping() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(UiFormat::groupedFixed(value), text);
}

void TestUiFormat::groupedTextReadsBack() {
    for (double v : {300.0, 3000.0, 433920.125, 3200000.0})
        QCOMPARE(UiFormat::frequencyFromText(UiFormat::groupedFixed(v)), v);
}

void TestUiFormat::fileUrl() {
    QCOMPARE(UiFormat::fileUrl("/tmp/a b.csv"), QString("file:///tmp/a%20b.csv"));
    QCOMPARE(UiFormat::fileUrl(QString()), QString());
}

QTEST_GUILESS_MAIN(TestUiFormat)
#include "tst_uiformat.moc"
