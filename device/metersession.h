#pragma once

#include "lineledger.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class QJsonObject;

// The measuring connection's protocol with no port and no timers: fed what the line brought and
// the ticks of the poll and the pump, it says what to write and what it concluded. It first
// checks that the line still carries the meter it was chosen as, then asks for one reading per
// poll, one command outstanding at a time. Which request a reply answers follows from the order
// of questions and replies alone (LineLedger): after a lost reply the next command is the resync
// query, and no reading is taken until its answer came.
//
// Nothing in it waits or reads a clock: every call carries the moment and the line's state, so a
// test drives it on a made-up clock.
class MeterSession {
public:
    enum class Line { Ready, Missing, Closed };  // Missing: the port left the enumeration

    // What holds when the session is fed.
    struct Now {
        qint64 ms = 0;       // a monotonic clock
        double freqKHz = 0;  // what a power request written now asks
        bool att = false;
        Line line = Line::Ready;
    };

    struct Event {
        enum Type {
            Write,       // bytes: a command to write, now
            Answered,    // the command written last got its reply
            Reading,     // value, freqKHz, att: a power reading and the request it answers
            Lost,        // the command waiting got no complete reply before the next poll
            Unusable,    // bytes: a reply's head; it carried no usable reading
            Resynced,    // everything asked before the resync query is done with
            Missing,     // a command waits, but the port is out of the enumeration
            Closed,      // a command waits on a closed line: reopen it and call reopened()
            WrongMeter,  // the line answers as another device: give the connection up
        };
        Type type;
        QByteArray bytes;
        double value = 0;
        double freqKHz = 0;
        bool att = false;
    };
    using Events = QList<Event>;  // nothing follows Closed or WrongMeter in one call's events

    // The poll interval is also a reply's deadline.
    explicit MeterSession(int pollMs = 1000) : pollMs(pollMs) {}

    // A line opened for the meter with this identification ("<name>, SN: <serial>"), with what
    // the port may still answer from earlier questions.
    Events open(const QString& identification, const LineLedger& ledger, const Now& now);
    // The line came back after Closed: the identity is checked again.
    Events reopened(const Now& now);
    // Ends the session; what the port may still answer goes to its next user.
    LineLedger close();

    Events poll(const Now& now);  // the poll's tick
    Events pump(const Now& now);  // the pump's tick: a command left waiting
    Events received(const QByteArray& bytes, const Now& now);

    bool awaiting() const { return cmdIndex != NoCmd; }
    bool isVerified() const { return verified; }
    qsizetype bufferedBytes() const { return rxBuffer.size(); }
    int queuedCommands() const { return int(cmdQueue.size()); }

private:
    enum Command { NoCmd = 0, NameCmd = 1, SerialCmd = 2, PowerCmd = 6 };

    static LineLedger::Kind kindOf(int cmd);
    Events take();
    void emitEvent(Event::Type type, const QByteArray& bytes = {});
    void verifyIdentity();
    void queueNext();
    void proc();
    void sendCommand(int cmd);
    void answered(const QByteArray& text, const QJsonObject& reply, const QByteArray& raw);
    void checkIdentity(LineLedger::Kind kind, const QByteArray& text);
    void identityMismatch();
    void unusable(const QByteArray& raw);

    const int pollMs;
    int cmdIndex = NoCmd;  // the command waiting for its reply
    QList<int> cmdQueue;
    QByteArray rxBuffer;
    QString expectedId;           // identification the line must answer with
    QByteArray idName, idSerial;  // halves of the identification, as the line answered
    bool verified = false;
    int idMismatches = 0;
    LineLedger line;                             // the port's questions
    LineLedger::Kind marker = LineLedger::Name;  // the resync query, once verified
    bool resyncing = false;                      // no reading until the resync query is answered
    qint64 writtenAt = 0;                        // when the command waiting was written

    Now at;              // the call under way
    bool ended = false;  // Closed or WrongMeter: the call is over
    Events out;
};
