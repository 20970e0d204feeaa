#pragma once

#include <QObject>

class TestProtocol : public QObject {
    Q_OBJECT
private slots:
    void queriesAreByteExact();
    void powerRequest_data();
    void powerRequest();
    void frequencyFormatting_data();
    void frequencyFormatting();
    void okTextConversion_data();
    void okTextConversion();
    void readingDecoding_data();
    void readingDecoding();
    void replyRecognition();
};

class TestProbe : public QObject {
    Q_OBJECT
private slots:
    void meterAnswersBoth();
    void serialReplyInChunks();
    void numericSerial();
    void repliesWithoutOk();
    void silentPortReportsOnceAfterTimeout();
    void unopenablePortWarnsAndReportsEmpty();
    void nameWithoutSerialIsEmpty();
    void garbageIsNotIdentified();
    void streamingGarbageIsBounded();
    void releaseClosesPort();
};

class TestDiscovery : public QObject {
    Q_OBJECT
private slots:
    void productDefaults();
    void noPortsReportsAtOnce();
    void oneReportAfterAllProbes();
    void listIsStableAcrossPasses();
    void severalMetersInAnswerOrder();
    void slowPortDelaysOnlyItself();
    void connectWhileProbeHoldsPort();
    void noDiscoveryWhileMeasuring();
    void portWithoutRightsIsReported();
};

class TestMeasuring : public QObject {
    Q_OBJECT
private slots:
    void timersAtConstruction();
    void startFailsWithoutPort();
    void startSwitchesTimersBeforeReturn();
    void stopWithoutConnection();
    void stopResumesDiscovery();
    void failedStartKeepsDiscovering();
    void requestsCarryFrequencyAndFlag();
    void onePollPerInterval();
    void oneCommandOutstanding();
    void decodesReplies_data();
    void decodesReplies();
    void unusableRepliesGiveNoReading_data();
    void unusableRepliesGiveNoReading();
    void badReplyIsDropped();
    void lostReplyDoesNotFreeze();
    void queueHoldsOneRequest();
    void slowRepliesWithinThePollAllArrive_data();
    void slowRepliesWithinThePollAllArrive();
    void replyLaterThanThePollNeverAnswersTheNext();
    void identityCheckedBeforeReading();
    void slowEnumerationNeverBlocksCaller();
    void streamingGarbageIsBounded();
    void unplugRaisesDeviceMissing();
    void destructionStopsThread();
};

class TestFacade : public QObject {
    Q_OBJECT
private slots:
    void metaCasts();
    void freshFacade();
    void stopAlwaysTrue();
    void startWithoutMeterFails();
    void readingsReachGuiThread();
    void readingInFlightAtStopIsDropped();
    void deviceListForwarded();
    void deviceMissingForwarded();
    void ortixDoesNothing();
};
