#pragma once

#include <QObject>

class TestDevice : public QObject {
    Q_OBJECT
private slots:
    // The meter's protocol: requests and replies as bytes.
    void powerRequest();
    void replyDecoding_data();
    void replyDecoding();
    void replyRecognition();

    // One port probe.
    void probe_data();
    void probe();
    void probeUnopenableOrDeleted();

    // Discovery passes.
    void discovery();
    void connectWhileProbeHoldsPort();

    // The measuring connection of the driver.
    void connectAndStop();
    void pollCycle_data();
    void pollCycle();
    void unusableReplies_data();
    void unusableReplies();
    void lostAndLateReplies();
    void queueHoldsOneRequest();
    void slowEnumerationNeverBlocksCaller();
    void destructionStopsThreads();

    // The facade in the GUI thread.
    void facade();
};
