#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>

// A power meter simulated on a pseudo-terminal. The host opens portName() as a serial line; the
// meter answers "info.name", "info.sn" and the power request with one JSON object and CR LF.
// It runs its own I/O thread; every member may be called from any thread.
class SimMeter {
public:
    using Clock = std::chrono::steady_clock;
    // Reading in dBm for a power request with this frequency (kHz) and attenuator flag.
    using ReadingFunction = std::function<double(double freqKHz, bool att)>;
    // Called in the meter's I/O thread after a reply's last piece was written; writtenAt is the
    // moment that piece was handed to the line (the host may have read it before the call).
    using ReplyHook = std::function<void(const QByteArray& command, const QByteArray& reply,
                                         Clock::time_point writtenAt)>;
    // Milliseconds before the first byte of a reply, asked once for each reply. This and the
    // reading function run in the meter's thread under its lock: they must not call the meter.
    using DelayFunction = std::function<int()>;

    // One command as the meter got it and what became of its reply: the record a test traces
    // the host's readings back to.
    struct Exchange {
        QByteArray command;                                         // without CR LF
        double freqKHz = std::numeric_limits<double>::quiet_NaN();  // a readable power request's
        bool att = false;
        QByteArray reply;  // body without CR LF; empty: none made
        double reading = std::numeric_limits<double>::quiet_NaN();  // the dBm it carried
        Clock::time_point asked;                                    // its line had come in whole
        std::optional<Clock::time_point> written;  // the reply's last piece went out
    };

    // Plugged in at once, answering as name "T9", serial "0001", reading -20.0 dBm.
    SimMeter();
    ~SimMeter();
    SimMeter(const SimMeter&) = delete;
    SimMeter& operator=(const SimMeter&) = delete;

    // --- the line ---
    QString portName() const;  // "/dev/pts/N"; empty while unplugged
    bool isPlugged() const;
    void unplug();  // closes the meter's side: the host's line hangs up
    bool replug();  // a fresh pseudo-terminal (the path may differ)

    // --- what it answers ---
    void setIdentity(const QString& name, const QString& serial);  // {"OK":"<name>"} ...
    void setNameReply(const QByteArray& body);  // whole reply body, CR LF is added
    void setSerialReply(const QByteArray& body);
    void setReading(double dBm);                  // {"OK":<dBm>}
    void setReadingFunction(ReadingFunction fn);  // overrides setReading
    void setPowerReply(const QByteArray& body);   // fixed body; empty: back to the reading

    // --- how it answers ---
    void setReplyDelay(int ms);  // before the first byte of each reply
    // Overrides setReplyDelay. Replies still leave in the order asked, as a real meter's do: one
    // due sooner waits for the reply before it.
    void setDelayFunction(DelayFunction fn);
    void setChunks(int count, int gapMs);  // each reply in this many pieces, gapMs apart
    void setSilent(bool silent);           // answers nothing at all
    void dropReplies(int count);           // leaves the next count commands unanswered
    void send(const QByteArray& bytes);    // writes bytes now, unasked
    void setReplyHook(ReplyHook hook);

    // --- what it got (bounded: at least the newest 1 MiB and 20 000 lines) ---
    static constexpr qsizetype kTranscriptBytes = 2 * 1024 * 1024;
    static constexpr qsizetype kTranscriptLines = 40000;
    QByteArray received() const;         // every byte, in order
    QList<QByteArray> commands() const;  // complete lines, without CR LF
    int commandCount(const QByteArray& prefix) const;
    // Every command with its reply, in order of arrival; a dropped reply, or one still due at an
    // unplug, is never written.
    QList<Exchange> exchanges() const;
    void clearReceived();

    // "info.power {...}" → frequency and flag; false when it is no valid power request.
    static bool parsePowerRequest(const QByteArray& line, double* freqKHz, bool* att);

private:
    struct Pending {
        Clock::time_point due;
        QByteArray bytes;
        bool last = false;
        QByteArray command;
        QByteArray reply;
        qint64 exchange = -1;  // its number among all exchanges ever made
    };

    bool openLine();
    void closeLine();
    void run();
    void handle(const QByteArray& line);
    void writeAll(const QByteArray& bytes);
    void wake();

    mutable std::mutex mutex;
    int master = -1;
    int slave = -1;  // kept open so the master never sees a hang-up between host sessions
    int wakeFds[2] = {-1, -1};
    bool stopping = false;
    std::thread io;
    QString path;

    QByteArray nameReply;
    QByteArray serialReply;
    double fixedReading = -20.0;
    ReadingFunction readingFn;
    QByteArray powerReply;
    int delayMs = 0;
    DelayFunction delayFn;
    int chunkCount = 1;
    int chunkGapMs = 0;
    bool silent = false;
    int toDrop = 0;
    ReplyHook hook;

    QByteArray rx;
    QByteArray lineBuffer;
    QList<QByteArray> lines;
    QList<Exchange> exchangeList;
    qint64 exchangesDropped = 0;  // trimmed from the front of exchangeList
    std::deque<Pending> pending;
};

// Port names of the plugged meters, in the given order, then the extra names (ports that are no
// meter: silent lines, names that cannot be opened).
QStringList simPortNames(const QList<const SimMeter*>& meters, const QStringList& extra = {});

// The same, as a port enumeration for a driver; the meters must outlive its users.
std::function<QStringList()> simPortEnumeration(QList<const SimMeter*> meters,
                                                QStringList extra = {});
