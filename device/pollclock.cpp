#include "pollclock.h"

#include <QTimer>

#include <algorithm>

PollClock::PollClock(int intervalMs, QObject* parent)
    : QObject(parent), intervalMs(intervalMs), timer(new QTimer(this)) {
    timer->setInterval(intervalMs);
    timer->setTimerType(Qt::PreciseTimer);  // the poll is also the reply deadline
    connect(timer, &QTimer::timeout, this, &PollClock::tick);
}

PollClock::~PollClock() = default;

bool PollClock::isActive() const {
    return timer->isActive();
}

bool PollClock::isSubscribed(const QObject* receiver) const {
    return std::any_of(subs.cbegin(), subs.cend(),
                       [receiver](const Subscriber& s) { return s.receiver == receiver; });
}

void PollClock::subscribe(QObject* receiver, const char* slot) {
    if (!receiver || isSubscribed(receiver))
        return;
    subs.append(Subscriber{receiver, QByteArray(slot)});
    // A meter joining a running measurement keeps its phase: the others' cadence is not moved.
    if (!timer->isActive())
        timer->start();
}

void PollClock::unsubscribe(const QObject* receiver) {
    subs.erase(std::remove_if(subs.begin(), subs.end(),
                              [receiver](const Subscriber& s) { return s.receiver == receiver; }),
               subs.end());
    if (subs.isEmpty())
        timer->stop();
}

void PollClock::tick() {
    // By name, as the drivers' own calls into their workers: the hand-over stays inside Qt's queue.
    for (const Subscriber& s : std::as_const(subs))
        QMetaObject::invokeMethod(s.receiver, s.slot.constData(), Qt::QueuedConnection);
    emit ticked();
}
