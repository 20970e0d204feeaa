// The measuring connection's protocol: the identity check, the power poll and the replies.
#include "metersession.h"

#include "meterprotocol.h"

#include <utility>

using Kind = LineLedger::Kind;

Kind MeterSession::kindOf(int cmd) {
    return cmd == NameCmd ? Kind::Name : cmd == SerialCmd ? Kind::Serial : Kind::Power;
}

MeterSession::Events MeterSession::take() {
    ended = false;
    return std::exchange(out, {});
}

void MeterSession::emitEvent(Event::Type type, const QByteArray& bytes) {
    out.append(Event{type, bytes});
    if (type == Event::Closed || type == Event::WrongMeter)
        ended = true;
}

MeterSession::Events MeterSession::open(const QString& identification, const LineLedger& ledger,
                                        const Now& now) {
    at = now;
    expectedId = identification;
    line = ledger;
    // Until the line has answered, the identification tells its halves apart.
    const qsizetype cut = identification.indexOf(QStringLiteral(", SN: "));
    line.know(Kind::Name, identification.left(cut).toUtf8());
    line.know(Kind::Serial, identification.mid(cut + 6).toUtf8());
    verifyIdentity();
    return take();
}

MeterSession::Events MeterSession::reopened(const Now& now) {
    at = now;
    // What came before the line closed answers nothing asked from now on.
    cmdIndex = NoCmd;
    rxBuffer.clear();
    verifyIdentity();
    return take();
}

LineLedger MeterSession::close() {
    cmdIndex = NoCmd;
    cmdQueue.clear();
    rxBuffer.clear();
    expectedId.clear();
    verified = false;
    resyncing = false;
    idMismatches = 0;
    out.clear();
    ended = false;
    return std::exchange(line, LineLedger());
}

void MeterSession::verifyIdentity() {
    // Another device may have taken the port name since the pass that listed the meter: no
    // reading is asked for until the line has answered with the meter's identification.
    verified = false;
    idName.clear();
    cmdQueue = {NameCmd};
    proc();
}

MeterSession::Events MeterSession::poll(const Now& now) {
    at = now;
    if (cmdIndex != NoCmd) {
        // A command written within this interval (the second half of the identity check, or a
        // request sent when a resync ended) has until the next poll.
        if (at.ms - writtenAt < pollMs * 3 / 4)
            return take();
        // No reply before the next poll: the command is lost. Its answer may still come; the
        // ledger keeps the question, so that answer is never taken for a later one's.
        cmdIndex = NoCmd;
        emitEvent(Event::Lost);
    }
    queueNext();
    proc();
    return take();
}

MeterSession::Events MeterSession::pump(const Now& now) {
    at = now;
    proc();
    return take();
}

void MeterSession::queueNext() {
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
    cmdQueue = {resyncing ? (marker == Kind::Name ? NameCmd : SerialCmd) : PowerCmd};
}

void MeterSession::proc() {
    if (cmdIndex != NoCmd || cmdQueue.isEmpty())
        return;
    if (at.line == Line::Missing) {
        emitEvent(Event::Missing);
        return;
    }
    if (at.line == Line::Closed) {
        emitEvent(Event::Closed);  // closed under the driver (a pulled cable)
        return;
    }
    sendCommand(cmdQueue.takeFirst());
}

void MeterSession::sendCommand(int cmd) {
    cmdIndex = cmd;
    writtenAt = at.ms;
    LineLedger::Question question{kindOf(cmd)};
    QByteArray command;
    switch (cmd) {
        case NameCmd:
            command = MeterProtocol::nameQuery();
            break;
        case SerialCmd:
            command = MeterProtocol::serialQuery();
            break;
        default:
            // The reading will carry what was asked, not what is set when it comes.
            question.freqKHz = at.freqKHz;
            question.att = at.att;
            command = MeterProtocol::powerRequest(question.freqKHz, question.att);
            break;
    }
    line.asked(question);
    emitEvent(Event::Write, command);
}

MeterSession::Events MeterSession::received(const QByteArray& bytes, const Now& now) {
    at = now;
    // Replies stay in the buffer until whole, whatever waits: a reply that began before a command
    // was written is still framed as one.
    rxBuffer += bytes;
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
        if (ended)
            return take();  // the line is reopened or given up: the rest answers nothing
    }
    if (rxBuffer.size() > MeterProtocol::MaxReplyBytes) {
        // No reply is this long: drop it, and the command with it.
        const QByteArray head = rxBuffer.trimmed().left(64);
        rxBuffer.clear();
        unusable(head);
    }
    return take();
}

void MeterSession::unusable(const QByteArray& raw) {
    if (cmdIndex == NoCmd || (verified && cmdIndex != PowerCmd))
        return;
    // The request's answer may yet come after the garbage: it stays pending, and the next poll
    // resyncs first. An identity check starts again at the next poll.
    if (cmdIndex == PowerCmd)
        emitEvent(Event::Unusable, raw);
    cmdIndex = NoCmd;
}

void MeterSession::answered(const QByteArray& text, const QJsonObject& reply,
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
        emitEvent(Event::Answered);
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
        if (const auto value = MeterProtocol::reading(reply))
            out.append(Event{Event::Reading, {}, *value, q->freqKHz, q->att});
        else
            emitEvent(Event::Unusable, raw);
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
        emitEvent(Event::Resynced);
        cmdQueue = {PowerCmd};
        proc();
    }
}

void MeterSession::checkIdentity(Kind kind, const QByteArray& text) {
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

void MeterSession::identityMismatch() {
    // Once may be a stray reply; twice is another device.
    if (++idMismatches >= 2) {
        emitEvent(Event::WrongMeter);
        return;
    }
    verified = false;
    cmdIndex = NoCmd;
    cmdQueue.clear();  // the check starts again at the next poll
}
