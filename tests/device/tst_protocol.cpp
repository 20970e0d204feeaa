#include "tst_device.h"

#include "meterprotocol.h"

#include <QJsonDocument>
#include <QLocale>
#include <QTest>

using namespace MeterProtocol;

namespace {
QJsonObject obj(const char* json) {
    return QJsonDocument::fromJson(json).object();
}
}  // namespace

void TestProtocol::queriesAreByteExact() {
    QCOMPARE(nameQuery(), QByteArray("info.name\r\n"));
    QCOMPARE(serialQuery(), QByteArray("info.sn\r\n"));
}

void TestProtocol::powerRequest_data() {
    QTest::addColumn<double>("freq");
    QTest::addColumn<bool>("att");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("start values") << 300.0 << false
                                  << QByteArray(
                                         "info.power {\"Freq\":300.000000, \"Att\":false }\r\n");
    QTest::newRow("att on") << 1500.25 << true
                            << QByteArray("info.power {\"Freq\":1500.250000, \"Att\":true }\r\n");
    QTest::newRow("no grouping") << 3200000.0 << false
                                 << QByteArray(
                                        "info.power {\"Freq\":3200000.000000, \"Att\":false }\r\n");
}

void TestProtocol::powerRequest() {
    QFETCH(double, freq);
    QFETCH(bool, att);
    QFETCH(QByteArray, bytes);
    QCOMPARE(MeterProtocol::powerRequest(freq, att), bytes);
}

void TestProtocol::frequencyFormatting_data() {
    QTest::addColumn<double>("freq");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("1234.5") << 1234.5 << QByteArray("1234.500000");
    QTest::newRow("tiny") << 0.0000004 << QByteArray("0.000000");
    QTest::newRow("negative") << -1.0 << QByteArray("-1.000000");
    QTest::newRow("rounds") << 0.0000006 << QByteArray("0.000001");
}

void TestProtocol::frequencyFormatting() {
    QFETCH(double, freq);
    QFETCH(QByteArray, text);
    // The decimal point stays a point whatever the locale says.
    QLocale::setDefault(QLocale(QLocale::German));
    const QByteArray req = MeterProtocol::powerRequest(freq, false);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(req, "info.power {\"Freq\":" + text + ", \"Att\":false }\r\n");
}

void TestProtocol::okTextConversion_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("string") << QByteArray("{\"OK\":\"T9 rev6\"}") << QByteArray("T9 rev6");
    QTest::newRow("utf8 string") << QByteArray("{\"OK\":\"Ортикс\"}") << QString("Ортикс").toUtf8();
    QTest::newRow("integer") << QByteArray("{\"OK\":12}") << QByteArray("12");
    QTest::newRow("fraction") << QByteArray("{\"OK\":-20.5}") << QByteArray("-20.5");
    QTest::newRow("shortest") << QByteArray("{\"OK\":0.1}") << QByteArray("0.1");
    QTest::newRow("true") << QByteArray("{\"OK\":true}") << QByteArray("true");
    QTest::newRow("false") << QByteArray("{\"OK\":false}") << QByteArray("false");
    QTest::newRow("missing") << QByteArray("{\"ERR\":1}") << QByteArray();
    QTest::newRow("null") << QByteArray("{\"OK\":null}") << QByteArray();
    QTest::newRow("array") << QByteArray("{\"OK\":[1]}") << QByteArray();
    QTest::newRow("object") << QByteArray("{\"OK\":{\"a\":1}}") << QByteArray();
}

void TestProtocol::okTextConversion() {
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, text);
    QCOMPARE(okText(obj(reply.constData())), text);
}

void TestProtocol::readingDecoding_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<double>("value");  // NaN: no reading at all
    const double none = qQNaN();
    QTest::newRow("number") << QByteArray("{\"OK\":-20.5}") << -20.5;
    QTest::newRow("string") << QByteArray("{\"OK\":\"-7.25\"}") << -7.25;
    QTest::newRow("spaces") << QByteArray("{\"OK\":\"  3.5 \"}") << 3.5;
    QTest::newRow("exponent") << QByteArray("{\"OK\":\"-1e1\"}") << -10.0;
    QTest::newRow("bound") << QByteArray("{\"OK\":-200}") << -200.0;
    QTest::newRow("n/a") << QByteArray("{\"OK\":\"n/a\"}") << none;
    QTest::newRow("blank") << QByteArray("{\"OK\":\" \\r\\t\"}") << none;
    QTest::newRow("no OK") << QByteArray("{\"ERR\":1}") << none;
    QTest::newRow("null") << QByteArray("{\"OK\":null}") << none;
    QTest::newRow("comma") << QByteArray("{\"OK\":\"-7,25\"}") << none;
    QTest::newRow("hex") << QByteArray("{\"OK\":\"0x10\"}") << none;
    QTest::newRow("nan text") << QByteArray("{\"OK\":\"NaN\"}") << none;
    QTest::newRow("inf text") << QByteArray("{\"OK\":\"-inf\"}") << none;
    QTest::newRow("overflow") << QByteArray("{\"OK\":\"1e400\"}") << none;
    QTest::newRow("1e308") << QByteArray("{\"OK\":1e308}") << none;
    QTest::newRow("past bound") << QByteArray("{\"OK\":200.5}") << none;
}

void TestProtocol::readingDecoding() {
    QFETCH(QByteArray, reply);
    QFETCH(double, value);
    QLocale::setDefault(QLocale(QLocale::German));
    const std::optional<double> got = reading(obj(reply.constData()));
    QLocale::setDefault(QLocale::c());
    QCOMPARE(got.has_value(), !qIsNaN(value));
    if (got)
        QCOMPARE(*got, value);
}

void TestProtocol::replyRecognition() {
    QJsonObject o;
    QCOMPARE(recognise("{\"OK\":1}\r\n", true, &o), Reply::Complete);
    QCOMPARE(o.value("OK").toInt(), 1);
    QCOMPARE(recognise("{\"OK\"", true), Reply::Incomplete);
    QCOMPARE(recognise("", true), Reply::Incomplete);
    QCOMPARE(recognise("xx}", true), Reply::Bad);
    QCOMPARE(recognise("{\"OK\":1}{", true), Reply::Bad);
    QCOMPARE(recognise("{\"OK\":1}}", true), Reply::Bad);
    // The probe has no bad-reply rule: it waits for its time-out instead.
    QCOMPARE(recognise("xx}", false), Reply::Incomplete);
    // An array is no reply.
    QCOMPARE(recognise("[1]", true), Reply::Incomplete);
    QCOMPARE(recognise("[{}]", true), Reply::Bad);
}
