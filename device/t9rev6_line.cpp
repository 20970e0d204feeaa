// The measuring connection of the main family's driver: the identity check, the power poll and
// the replies. Every function runs in the worker thread.
#include "t9rev6_driver.h"

#include "meterprotocol.h"

#include <QSerialPort>

using Kind = LineLedger::Kind;

Kind T9Rev6_driver::kindOf(int cmd) {
    return cmd == NameCmd ? Kind::Name : cmd == SerialCmd ? Kind::Serial : Kind::Power;
}

void T9Rev6_driver::verifyIdentity() {
    // Another device may have taken the port name since the pass that listed the meter: no
    // reading is asked for until the line has answered with the meter's identification.
    verified = false;
    idName.clear();
    cmdQueue = {NameCmd};
    proc();
}

void T9Rev6_driver::getPow() {
    requestEnumeration();  // keeps the presence check of the pump current
    if (!port)
        return;
    if (cmdIndex != NoCmd) {
        // A command written within this interval (the second half of the identity check, or a
        // request sent when a resync ended) has until the next poll.
        if (sinceWrite.elapsed() < cfg.powInterval * 3 / 4)
            return;
        // No reply before the next poll: the command is lost. Its answer may still come; the
        // ledger keeps the question, so that answer is never taken for a later one's.
        cmdIndex = NoCmd;
        emit replyLost();
    }
    queueNext();
    proc();
}

void T9Rev6_driver::queueNext() {
    // One command at most waits to be sent: a request still queued is as good as a new one.
    if (!verified) {
        idName.clear();
        cmdQueue = {NameCmd};
        return;
    }
    // While anything but the resync query may still be answered, a reply cannot be told from a
    // late one: ask the resync query instead. The meter answers in order, so once its known answer
    // is back, everything asked before it is done with.
    resyncing = line.pendingBesides(marker);
    cmdQueue = {resyncing ? (marker == Kind::Name ? NameCmd : SerialCmd) : MeterProtocol::PowerCmd};
}

void T9Rev6_driver::proc() {
    if (cmdIndex != NoCmd || cmdQueue.isEmpty() || !port)
        return;
    if (!portPresent()) {
        emit deviceMissing();
        return;
    }
    // Closed under the driver (a pulled cable): the line is reopened, or the meter is lost.
    if (!port->isOpen()) {
        reopenPort();
        return;
    }
    sendCommand(cmdQueue.takeFirst());
}

bool T9Rev6_driver::portPresent() {
    return knownPorts.contains(portName, Qt::CaseSensitive);
}

bool T9Rev6_driver::sendCommand(int cmd) {
    cmdIndex = cmd;
    sinceWrite.start();
    const bool open = port->isOpen();
    if (open) {
        LineLedger::Question question{kindOf(cmd)};
        switch (cmd) {
            case NameCmd:
                port->write(MeterProtocol::nameQuery());
                break;
            case SerialCmd:
                port->write(MeterProtocol::serialQuery());
                break;
            default:
                // The reading will carry what was asked, not what is set when it comes.
                question.freqKHz = freq.load();
                question.att = att.load();
                port->write(MeterProtocol::powerRequest(question.freqKHz, question.att));
                break;
        }
        line.asked(question);
    }
    // Armed even when the port is closed, so the watchdog can reopen it or give up.
    emit update_delay(cfg.delayInterval);
    return open;
}

void T9Rev6_driver::read() {
    if (!port)
        return;
    // Replies stay in the buffer until whole, whatever waits: a reply that began before a command
    // was written is still framed as one.
    rxBuffer += port->readAll();
    QJsonObject reply;
    QByteArray raw;
    for (;;) {
        const MeterProtocol::Reply kind = MeterProtocol::takeReply(rxBuffer, &reply, &raw);
        if (kind == MeterProtocol::Reply::Incomplete)
            break;
        if (kind == MeterProtocol::Reply::Bad)
            unusable(raw.left(64));
        else
            answered(MeterProtocol::okText(reply), reply, raw.left(64));
        if (!port)
            return;  // lost on the way
    }
    if (rxBuffer.size() > MeterProtocol::MaxReplyBytes) {
        // No reply is this long: drop it, and the command with it.
        const QByteArray head = rxBuffer.trimmed().left(64);
        rxBuffer.clear();
        unusable(head);
    }
}

void T9Rev6_driver::unusable(const QByteArray& raw) {
    if (cmdIndex == NoCmd || (verified && cmdIndex != MeterProtocol::PowerCmd))
        return;
    // The request's answer may yet come after the garbage: it stays pending, and the next poll
    // resyncs first. An identity check starts again at the next poll.
    if (cmdIndex == MeterProtocol::PowerCmd)
        emit replyUnusable(raw);
    cmdIndex = NoCmd;
}

void T9Rev6_driver::answered(const QByteArray& text, const QJsonObject& reply,
                             const QByteArray& raw) {
    const std::optional<Kind> awaited =
        cmdIndex == NoCmd ? std::nullopt : std::optional<Kind>(kindOf(cmdIndex));
    const std::optional<LineLedger::Question> q = line.answer(text, awaited);
    if (!q)
        return;  // nothing asked can have it
    // An identity answer is the same whichever of the pending queries it answers; a request
    // never has another one pending with it.
    const bool isAwaited = q->kind == awaited;
    if (isAwaited) {
        cmdIndex = NoCmd;
        emit stop_delay();
    }
    if (!verified) {
        // A late answer to a probe's or an earlier connection's question is no answer to ours.
        if (isAwaited)
            checkIdentity(q->kind, text);
        return;
    }
    if (q->kind == Kind::Power) {
        if (!isAwaited)
            return;  // late: the request was counted lost
        if (const auto value = MeterProtocol::reading(reply)) {
            emit power(*value);
            emit reading(*value, q->freqKHz, q->att);
        } else {
            emit replyUnusable(raw);
        }
        return;
    }
    if (text != (q->kind == Kind::Name ? idName : idSerial)) {
        identityMismatch();  // the line answers as another device now
        return;
    }
    if (resyncing && !line.pendingBesides(marker)) {
        // Everything asked before the resync query is answered or never will be: what comes next
        // answers what is asked next, or a resync query still pending (told apart by order).
        resyncing = false;
        cmdIndex = NoCmd;
        cmdQueue = {MeterProtocol::PowerCmd};
        proc();
    }
}

void T9Rev6_driver::checkIdentity(Kind kind, const QByteArray& text) {
    if (kind == Kind::Name) {
        if (!expectedId.startsWith(QString::fromUtf8(text + ", SN: "))) {
            identityMismatch();
            return;
        }
        idName = text;
        cmdQueue = {SerialCmd};
        proc();
        return;
    }
    if (idName.isEmpty() || QString::fromUtf8(idName + ", SN: " + text) != expectedId) {
        identityMismatch();
        return;
    }
    verified = true;
    idMismatches = 0;
    idSerial = text;
    line.know(Kind::Name, idName);
    line.know(Kind::Serial, idSerial);
    // The resync query: prefer one whose answer no power reading can read like. Either way its
    // answer is never taken for a reading.
    marker = MeterProtocol::readingOfText(idName) && !MeterProtocol::readingOfText(idSerial)
                 ? Kind::Serial
                 : Kind::Name;
    // The first reading is asked for at once, not one poll later.
    queueNext();
    proc();
}

void T9Rev6_driver::identityMismatch() {
    // Once may be a stray reply; twice is another device.
    if (++idMismatches >= 2) {
        lostPort();
        return;
    }
    verified = false;
    cmdIndex = NoCmd;
    cmdQueue.clear();  // the check starts again at the next poll
}

void T9Rev6_driver::timerT9() {
    // Only a port closed under the driver needs the watchdog; a slow reply has until the next
    // poll.
    if (!port || cmdIndex == NoCmd || port->isOpen())
        return;
    reopenPort();
}

void T9Rev6_driver::reopenPort() {
    if (!port->open(QIODevice::ReadWrite)) {
        lostPort();
        return;
    }
    port->clear(QSerialPort::Input);
    // The line came back: check that it still carries the same meter before reading on.
    cmdIndex = NoCmd;
    rxBuffer.clear();
    verifyIdentity();
}
