#include "tst_device.h"

#include "meterprotocol.h"

#include <QJsonDocument>
#include <QLocale>
#include <QScopeGuard>
#include <QTest>

using namespace MeterProtocol;

namespace {
// The decimal point stays a point whatever the locale says.
auto germanLocale() {
    QLocale::setDefault(QLocale(QLocale::German));
    return qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
}
}  // namespace

void TestDevice::powerRequest() {
    const auto german = germanLocale();
    const auto expected = [](const char* freq, const char* att) {
        return "info.power {\"Freq\":" + QByteArray(freq) + ", \"Att\":" + att + " }\r\n";
    };
    QCOMPARE(MeterProtocol::powerRequest(300, false), expected("300.000000", "false"));
    QCOMPARE(MeterProtocol::powerRequest(1500.25, true), expected("1500.250000", "true"));
    QCOMPARE(MeterProtocol::powerRequest(3200000, false), expected("3200000.000000", "false"));
    QCOMPARE(MeterProtocol::powerRequest(0.0000006, false), expected("0.000001", "false"));
}

void TestDevice::replyDecoding_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("text");  // as a part of the identification
    QTest::addColumn<double>("value");     // NaN: no reading at all
    const auto row = [](const char* name, const char* reply, const char* text, double value) {
        QTest::newRow(name) << QByteArray(reply) << QByteArray(text) << value;
    };
    const double none = qQNaN();
    row("number", R"({"OK":-20.5})", "-20.5", -20.5);
    row("integer", R"({"OK":12})", "12", 12);
    row("string", R"({"OK":"-7.25"})", "-7.25", -7.25);
    row("spaces", R"({"OK":"  3.5 "})", "  3.5 ", 3.5);
    row("exponent", R"({"OK":"-1e1"})", "-1e1", -10);
    row("bound", R"({"OK":-200})", "-200", -200);
    row("utf8", R"({"OK":"Ортикс"})", "Ортикс", none);
    row("true", R"({"OK":true})", "true", none);
    row("false", R"({"OK":false})", "false", none);
    row("no OK", R"({"ERR":1})", "", none);
    row("object", R"({"OK":{"a":1}})", "", none);
    row("blank", R"({"OK":" \r\t"})", " \r\t", none);
    row("n/a", R"({"OK":"n/a"})", "n/a", none);
    row("comma", R"({"OK":"-7,25"})", "-7,25", none);
    row("hex", R"({"OK":"0x10"})", "0x10", none);
    row("nan text", R"({"OK":"NaN"})", "NaN", none);
    row("inf text", R"({"OK":"-inf"})", "-inf", none);
    row("overflow", R"({"OK":"1e400"})", "1e400", none);
    row("past bound", R"({"OK":200.5})", "200.5", none);
}

void TestDevice::replyDecoding() {
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, text);
    QFETCH(double, value);
    const auto german = germanLocale();
    const QJsonObject object = QJsonDocument::fromJson(reply).object();
    QCOMPARE(okText(object), text);
    const std::optional<double> got = reading(object);
    QCOMPARE(got.has_value(), !qIsNaN(value));
    if (got)
        QCOMPARE(*got, value);
}

void TestDevice::replyRecognition() {
    QJsonObject o;
    QCOMPARE(recognise("{\"OK\":1}\r\n", true, &o), Reply::Complete);
    QCOMPARE(o.value("OK").toInt(), 1);
    QCOMPARE(recognise("xx}", true), Reply::Bad);
    QCOMPARE(recognise("{\"OK\":1}{", true), Reply::Bad);
    QCOMPARE(recognise("{\"OK\":1}}", true), Reply::Bad);
    // The probe has no bad-reply rule: it waits for its time-out instead.
    QCOMPARE(recognise("xx}", false), Reply::Incomplete);
    // An array is no reply.
    QCOMPARE(recognise("[1]", true), Reply::Incomplete);
    QCOMPARE(recognise("[{}]", true), Reply::Bad);
}
