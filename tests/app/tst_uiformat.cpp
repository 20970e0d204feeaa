// The window's text rules: numbers, frequencies, grouped digits, shortcuts, file URLs.
#include <QDir>
#include <QtTest>

#include "uiformat.h"

class TestUiFormat : public QObject {
    Q_OBJECT
private slots:
    // A number field reads the number at the start (a comma is the decimal point); the frequency
    // field the whole text, blanks between digits too, in kHz by default and also in Hz, MHz and
    // GHz, in Russian or Latin letters, whole or by the first letter.
    void entry_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("number");
        QTest::addColumn<double>("kHz");
        QTest::addColumn<QString>("unit");
        const auto row = [](const char* text, double number, double kHz, const char* unit = "кГц") {
            QTest::newRow(text) << QString::fromUtf8(text) << number << kHz
                                << QString::fromUtf8(unit);
        };
        const double nan = qQNaN();
        row("-2,25", -2.25, -2.25);
        row("+7", 7, 7);
        row("  12", 12, 12);
        row("25E-1", 2.5, 2.5);
        row(".5", 0.5, 0.5);
        row("5.", 5, 5);
        row("4e", 4, 4);         // dangling exponent ignored
        row("1,5,7", 1.5, 1.5);  // the second comma ends the number
        row("10 dB", 10, 10);    // not a unit
        row(".", nan, nan);
        row("1 234 567,5", 1, 1234567.5);
        row("433,92к", 433.92, 433.92);
        row("1.5 ГГц", 1.5, 1.5e6, "ГГц");
        row("915 МГц", 915, 915e3, "МГц");
        row("2.4G", 2.4, 2.4e6, "ГГц");
        row("1 500 000 Гц", 1, 1500, "Гц");
        row("300000 Hz", 300000, 300, "Гц");
        row("1e3 M", 1000, 1e6, "МГц");
        row("ГГц", nan, nan, "ГГц");
    }
    void entry() {
        QFETCH(QString, text);
        QFETCH(double, number);
        QFETCH(double, kHz);
        QFETCH(QString, unit);
        QCOMPARE(UiFormat::toNumber(text), number);
        QCOMPARE(UiFormat::frequencyFromText(text), kHz);
        QCOMPARE(UiFormat::frequencyUnit(text), unit);
    }

    // The frequency field groups digits by blanks and reads its own text back.
    void grouping() {
        for (const auto& [value, text] : {std::pair(1234567.5, "1 234 567.500"),
                                          {300.0, "300.000"},
                                          {-12345.0, "-12 345.000"}}) {
            QCOMPARE(UiFormat::groupedFixed(value), QString(text));
            QCOMPARE(UiFormat::frequencyFromText(text), value);
        }
    }

    // Every shortcut the window binds is listed, one a line, in the About box's text.
    void shortcutsListed() {
        const QString text = UiFormat::shortcutsText();
        QCOMPARE(text.count('\n'), UiFormat::shortcuts().size() - 1);
        QVERIFY(text.contains("Пробел — пауза графика"));
    }

    void readoutHasNoNaNAndFileUrls() {
        QCOMPARE(UiFormat::readout(-12.3456, 2), QString("-12.35"));
        QCOMPARE(UiFormat::readout(1.0, 3), QString("1.000"));
        for (double none : {qQNaN(), qInf(), -qInf()})
            QCOMPARE(UiFormat::readout(none, 2), QString("—"));
        // File URLs for the dialogs: a relative name is the working folder's.
        QCOMPARE(UiFormat::fileUrl("/tmp/a b.csv"), QString("file:///tmp/a%20b.csv"));
        QCOMPARE(UiFormat::fileUrl(QString()), QString());
        QCOMPARE(UiFormat::fileUrl("run 1.csv"),
                 QUrl::fromLocalFile(QDir::current().filePath("run 1.csv"))
                     .toString(QUrl::FullyEncoded));
    }
};

QTEST_GUILESS_MAIN(TestUiFormat)
#include "tst_uiformat.moc"
