#include <QDir>
#include <QtTest>

#include "uiformat.h"

class TestUiFormat : public QObject {
    Q_OBJECT
private slots:
    void numberEntry_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("comma is the decimal point") << "3,5" << 3.5;
        QTest::newRow("point") << "433.92" << 433.92;
        QTest::newRow("sign") << "-2,25" << -2.25;
        QTest::newRow("plus") << "+7" << 7.0;
        QTest::newRow("leading blanks") << "  12" << 12.0;
        QTest::newRow("exponent") << "1e3" << 1000.0;
        QTest::newRow("negative exponent") << "25E-1" << 2.5;
        QTest::newRow("fraction only") << ".5" << 0.5;
        QTest::newRow("trailing point") << "5." << 5.0;
        QTest::newRow("unit after blank ignored") << "10 dB" << 10.0;
        QTest::newRow("dangling exponent ignored") << "4e" << 4.0;
        QTest::newRow("second comma ends the number") << "1,5,7" << 1.5;
        QTest::newRow("empty") << "" << qQNaN();
        QTest::newRow("blank") << "   " << qQNaN();
        QTest::newRow("letters") << "abc" << qQNaN();
        QTest::newRow("sign only") << "-" << qQNaN();
        QTest::newRow("exponent only") << "e5" << qQNaN();
        QTest::newRow("point only") << "." << qQNaN();
    }
    void numberEntry() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(UiFormat::toNumber(text), value);
    }

    // The frequency field groups digits by blanks and reads its own text back.
    void grouping_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("3000") << 3000.0 << "3 000.000";
        QTest::newRow("1234567.5") << 1234567.5 << "1 234 567.500";
        QTest::newRow("below a thousand") << 300.0 << "300.000";
        QTest::newRow("fraction") << 433920.125 << "433 920.125";
        QTest::newRow("negative") << -12345.0 << "-12 345.000";
        QTest::newRow("zero") << 0.0 << "0.000";
    }
    void grouping() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(UiFormat::groupedFixed(value), text);
        QCOMPARE(UiFormat::frequencyFromText(text), value);
    }

    // kHz by default; Hz, MHz and GHz in Russian or Latin letters, whole or by first letter.
    void frequencyEntry_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("kHz");
        QTest::addColumn<QString>("unit");
        const auto row = [](const char* text, double kHz, const char* unit) {
            QTest::newRow(text) << QString::fromUtf8(text) << kHz << QString::fromUtf8(unit);
        };
        row("1 234 567,5", 1234567.5, "кГц");
        row("12 kHz", 12, "кГц");
        row("433,92к", 433.92, "кГц");
        row("1.5 ГГц", 1.5e6, "ГГц");
        row("915 МГц", 915e3, "МГц");
        row("2.4G", 2.4e6, "ГГц");
        row("2.4 GHz", 2.4e6, "ГГц");
        row("915mhz", 915e3, "МГц");
        row("1 500 000 Гц", 1500, "Гц");
        row("300000 Hz", 300, "Гц");
        row("1e3 M", 1e6, "МГц");
        row("10 dB", 10, "кГц");  // not a unit: kHz, as before
        row(" ", qQNaN(), "кГц");
        row("ГГц", qQNaN(), "ГГц");
    }
    void frequencyEntry() {
        QFETCH(QString, text);
        QFETCH(double, kHz);
        QFETCH(QString, unit);
        QCOMPARE(UiFormat::frequencyFromText(text), kHz);
        QCOMPARE(UiFormat::frequencyUnit(text), unit);
    }

    // Every shortcut the window binds is listed once in the About box's text.
    void shortcutsListed() {
        const QString text = UiFormat::shortcutsText();
        QStringList keys;
        for (const QVariant& v : UiFormat::shortcuts())
            keys << v.toMap().value("keys").toString();
        QCOMPARE(keys, QStringList({"Ctrl+O", "Ctrl+S", "Ctrl+R", "Space", "F11", "Ctrl+Shift+S",
                                    "Ctrl+Shift+C", "Ctrl+D", "Ctrl+E"}));
        QCOMPARE(text.count('\n'), keys.size() - 1);
        QVERIFY(text.contains("Пробел — пауза графика"));
    }

    void fileUrl() {
        QCOMPARE(UiFormat::fileUrl("/tmp/a b.csv"), QString("file:///tmp/a%20b.csv"));
        QCOMPARE(UiFormat::fileUrl(QString()), QString());
        QCOMPARE(UiFormat::fileUrl("run 1.csv"),
                 QUrl::fromLocalFile(QDir::current().filePath("run 1.csv"))
                     .toString(QUrl::FullyEncoded));
    }
};

QTEST_GUILESS_MAIN(TestUiFormat)
#include "tst_uiformat.moc"
