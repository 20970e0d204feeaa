// The measuring session's protocol on a made-up clock and line: no port, no waiting.
#include "meterprotocol.h"
#include "metersession.h"

#include <QLocale>
#include <QTest>

using Event = MeterSession::Event;

namespace {
// A session at a 1 s poll, run by steps separated by ';': "open [<identification>]", "verify"
// (open, and the meter's answers), "poll [<ms>]" (1000 ms on), "pump", "reopen", "ready",
// "missing" or "closed" (the line), or a reply: its "OK" value when it starts with a digit, '-' or
// '"', else the bytes as they come, with CR LF unless they end in "...". Each session call's
// events come back in words, joined by " | ", "-" for none: "name?", "sn?" and "power?" for
// writes, "<value>@<kHz>" ("+": converter on) for readings, the conclusions by name.
struct Session {
    MeterSession s{1000};
    MeterSession::Now now;
    QByteArray written, unusable;  // the last write, the last unusable reply's head
    QString id = QStringLiteral("T9, SN: 0001");

    QString step(const MeterSession::Events& events) {
        static const QStringList names =
            QString(",,,lost,unusable,resync,missing,closed,wrong").split(',');
        QStringList words;
        for (const Event& e : events) {
            if (e.type == Event::Write || e.type == Event::Unusable)
                (e.type == Event::Write ? written : unusable) = e.bytes;
            words << (e.type == Event::Write ? e.bytes == MeterProtocol::nameQuery()     ? "name?"
                                               : e.bytes == MeterProtocol::serialQuery() ? "sn?"
                                                                                         : "power?"
                      : e.type == Event::Reading
                          ? QString::number(e.value) + '@' + QString::number(e.freqKHz) +
                                (e.att ? "+" : "")
                          : names.at(e.type));
        }
        words.removeAll({});  // Answered: the watchdog's business
        return words.isEmpty() ? QStringLiteral("-") : words.join(' ');
    }
    QString reply(QByteArray r) {
        r = QByteArray("-\"0123456789").contains(r.front()) ? "{\"OK\":" + r + "}" : r;
        return step(s.received(r.endsWith("...") ? r.chopped(3) : r + "\r\n", now));
    }
    QString run(const QString& script) {
        QStringList out;
        for (const QString& text : script.split(';')) {
            const QString w = text.trimmed().section(' ', 0, 0),
                          arg = text.trimmed().section(' ', 1);
            if (w == "open" || w == "verify") {
                id = arg.isEmpty() ? id : arg;
                out << step(s.open(id, {}, now));
                for (int half = 0; w == "verify" && half < 2; ++half)
                    out.last() +=
                        ' ' + reply('"' + id.section(", SN: ", half, half).toUtf8() + '"');
            } else if (w == "poll") {
                now.ms += arg.isEmpty() ? 1000 : arg.toInt();
                out << step(s.poll(now));
            } else if (w == "pump" || w == "reopen") {
                out << step(w == "pump" ? s.pump(now) : s.reopened(now));
            } else if (const int line = QStringList{"ready", "missing", "closed"}.indexOf(w);
                       line >= 0) {
                now.line = MeterSession::Line(line);
            } else {
                out << reply(text.trimmed().toUtf8());
            }
        }
        return out.join(" | ");
    }
};
}  // namespace

class TestMeterSession : public QObject {
    Q_OBJECT

private slots:
    // The product's decimal-comma locale: numbers on the line must keep their point.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian)); }

    // The identity first, then the first request at once, written with what is set; its reading,
    // in pieces, carries what it asked even when the setting changed meanwhile.
    void identityFirstThenAReadingOfTheRequest() {
        Session t;
        t.now = {0, 1500.25, true};
        QCOMPARE(t.run("open; \"T9\"; \"0001\""), "name? | sn? | power?");
        t.now.freqKHz = 10.5;
        QCOMPARE(t.run("{\"OK\":-20...; .5}; poll"), "- | -20.5@1500.25+ | power?");
        QCOMPARE(t.written, "info.power {\"Freq\":10.500000, \"Att\":true }\r\n");
    }

    // One command outstanding: the pump adds none, and a command has until the poll after the
    // next one when that comes within three quarters of a poll.
    void oneCommandAtATimeUntilTheNextPoll() {
        QCOMPARE(Session().run("verify; pump; -20; poll"), "name? sn? power? | - | -20@0 | power?");
        QCOMPARE(Session().run("open; poll 700; poll"), "name? | - | lost name?");
    }

    // After lost replies the resync query goes out; the late reading and the resync answers give
    // no reading, the request after them does.
    void lostRepliesAreResyncedBeforeTheNextReading() {
        QCOMPARE(Session().run("verify; poll; poll; -1; \"T9\"; \"T9\"; -2"),
                 "name? sn? power? | lost name? | lost name? | - | resync power? | - | -2@0");
    }

    // A numeric identity: a late reading that reads like the name is not the resync answer; a
    // name that reads as a number (and a serial that does not) resyncs by the serial.
    void aNumericIdentityIsToldFromReadingsByOrder() {
        QCOMPARE(Session().run("verify 7, SN: 12; poll; 7; 7; 7"),
                 "name? sn? power? | lost name? | - | resync power? | 7@0");
        QCOMPARE(Session().run("verify 7, SN: A; poll; \"A\""),
                 "name? sn? power? | lost sn? | resync power?");
    }

    // Replies that are and are not readings, one report each; the next poll resyncs when the
    // request may still be answered. An endless reply is dropped at the bound.
    void replies() {
        const QString v = "name? sn? power? | ";
        QCOMPARE(Session().run(R"(verify; {"OK":" -7.25 "}; poll)"), v + "-7.25@0 | power?");
        QCOMPARE(Session().run(R"(verify; {"OK":" \r\t"}; poll)"), v + "unusable | power?");
        QCOMPARE(Session().run(R"(verify; {"OK":"-7,25"}; poll)"), v + "unusable | power?");
        QCOMPARE(Session().run(R"(verify; {"ERR":1,"OK":-3}; poll)"), v + "unusable | power?");
        Session t;
        QCOMPARE(t.run("verify; \x07garbage}; poll"), v + "unusable | name?");
        QCOMPARE(t.unusable, "\x07garbage}");
        t.run("\"T9\"; " + QString(64 * 1024, '[') + "...");
        QCOMPARE(t.unusable, QByteArray(64, '['));
        QCOMPARE_LE(t.s.bufferedBytes(), MeterProtocol::MaxReplyBytes);
    }

    // A port out of the enumeration holds one request: no burst when it is back.
    void aMissingPortHoldsOneRequest() {
        Session t;
        QCOMPARE(t.run("verify; -20; missing; poll; poll"),
                 "name? sn? power? | -20@0 | missing | missing");
        QCOMPARE(t.s.queuedCommands(), 1);
        QCOMPARE(t.run("ready; pump; pump"), "power? | -");
    }

    void aClosedLineIsCheckedAgainOnceReopened() {
        QCOMPARE(Session().run("verify; -20; closed; poll; ready; reopen; \"T9\"; \"0001\""),
                 "name? sn? power? | -20@0 | closed | name? | sn? | power?");
    }

    // Once may be a stray reply; twice is another device.
    void anotherDeviceIsGivenUpOnTheSecondMismatch() {
        QCOMPARE(Session().run("open; \"T8\"; poll; \"T8\""), "name? | - | name? | wrong");
    }
};

QTEST_GUILESS_MAIN(TestMeterSession)
#include "tst_metersession.moc"
