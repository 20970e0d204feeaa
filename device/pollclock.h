#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>

class QTimer;

// One poll for every meter of a measurement: each tick is posted, queued, to every subscriber's
// poll slot, so the meters are asked at the same moment instead of each at its own timer's phase.
// Runs while it has a subscriber.
//
// Lives in the thread that creates the drivers (the GUI thread); subscribe() and unsubscribe()
// are called there. A subscriber must unsubscribe before it is deleted.
class PollClock : public QObject {
    Q_OBJECT

public:
    explicit PollClock(int intervalMs = 1000, QObject* parent = nullptr);
    ~PollClock() override;

    int interval() const { return intervalMs; }
    bool isActive() const;
    int subscribers() const { return int(subs.size()); }
    bool isSubscribed(const QObject* receiver) const;

    // Each tick invokes receiver's slot by name (e.g. "getPow"), queued into its thread. A second
    // subscription of the same receiver changes nothing.
    void subscribe(QObject* receiver, const char* slot);
    // Harmless for a receiver that is not subscribed.
    void unsubscribe(const QObject* receiver);

signals:
    // After a tick was posted to every subscriber (tests, benchmarks).
    void ticked();

private:
    void tick();

    struct Subscriber {
        QObject* receiver;
        QByteArray slot;
    };
    const int intervalMs;
    QTimer* timer;
    QList<Subscriber> subs;
};
