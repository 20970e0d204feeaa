// The measuring connection of the main family's driver: the port and the timers' ticks fed to
// the session, and what it concludes carried out. Every function runs in the worker thread.
#include "t9rev6_driver.h"

#include "portdiscovery.h"

#include <QSerialPort>

MeterSession::Now T9Rev6_driver::now() const {
    MeterSession::Now n;
    n.ms = clock.elapsed();
    n.freqKHz = freq.load();
    n.att = att.load();
    if (!portPresent())
        n.line = MeterSession::Line::Missing;
    else if (!port->isOpen())
        n.line = MeterSession::Line::Closed;
    return n;
}

bool T9Rev6_driver::portPresent() const {
    return discovery->isPresent(portName);
}

void T9Rev6_driver::handle(const MeterSession::Events& events) {
    for (const MeterSession::Event& e : events) {
        if (!port)
            return;  // given up on the way
        switch (e.type) {
            case MeterSession::Event::Write:
                port->write(e.bytes);
                emit update_delay(cfg.delayInterval);
                break;
            case MeterSession::Event::Answered:
                emit stop_delay();
                break;
            case MeterSession::Event::Reading:
                emit power(e.value);
                emit reading(e.value, e.freqKHz, e.att);
                break;
            case MeterSession::Event::Lost:
                emit replyLost();
                break;
            case MeterSession::Event::Unusable:
                emit replyUnusable(e.bytes);
                break;
            case MeterSession::Event::Resynced:
                break;
            case MeterSession::Event::Missing:
                emit deviceMissing();
                break;
            case MeterSession::Event::Closed:
                // Closed under the driver (a pulled cable): the line is reopened, or the meter is
                // lost.
                reopenPort();
                break;
            case MeterSession::Event::WrongMeter:
                lostPort();
                break;
        }
    }
}

void T9Rev6_driver::getPow() {
    discovery->requestEnumeration();  // keeps the presence check of the pump current
    if (!port)
        return;
    // A shared clock ticks at any moment of the interval: the command written when the line
    // opened keeps a whole interval for its reply, as under a timer of its own started then.
    if (cfg.pollClock && session.awaiting() && clock.elapsed() - openedAt < cfg.powInterval)
        return;
    handle(session.poll(now()));
}

void T9Rev6_driver::proc() {
    if (port)
        handle(session.pump(now()));
}

void T9Rev6_driver::read() {
    if (port)
        handle(session.received(port->readAll(), now()));
}

void T9Rev6_driver::timerT9() {
    // Only a port closed under the driver needs the watchdog; a slow reply has until the next
    // poll.
    if (!port || !session.awaiting() || port->isOpen())
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
    handle(session.reopened(now()));
}
