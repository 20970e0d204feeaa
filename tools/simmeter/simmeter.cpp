#include "simmeter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

QByteArray okReply(const QByteArray& valueJson) {
    return "{\"OK\":" + valueJson + "}";
}

QByteArray jsonString(const QString& text) {
    // QJsonDocument escapes for us; strip the surrounding array.
    QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

}  // namespace

SimMeter::SimMeter() {
    setIdentity(QStringLiteral("T9"), QStringLiteral("0001"));
    openLine();
}

SimMeter::~SimMeter() {
    unplug();
}

bool SimMeter::openLine() {
    int m = -1;
    int s = -1;
    char name[256] = {};
    if (::openpty(&m, &s, name, nullptr, nullptr) != 0)
        return false;
    termios tio{};
    ::tcgetattr(s, &tio);
    ::cfmakeraw(&tio);  // no echo, no line editing before the host configures the line
    ::tcsetattr(s, TCSANOW, &tio);
    ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
    ::fcntl(m, F_SETFD, FD_CLOEXEC);
    ::fcntl(s, F_SETFD, FD_CLOEXEC);

    int fds[2];
    if (::pipe(fds) != 0) {
        ::close(m);
        ::close(s);
        return false;
    }
    for (int fd : fds) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }

    std::lock_guard<std::mutex> lock(mutex);
    master = m;
    slave = s;
    wakeFds[0] = fds[0];
    wakeFds[1] = fds[1];
    path = QString::fromLocal8Bit(name);
    stopping = false;
    lineBuffer.clear();
    pending.clear();
    io = std::thread([this] { run(); });
    return true;
}

void SimMeter::closeLine() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (master < 0)
            return;
        stopping = true;
    }
    wake();
    io.join();
    std::lock_guard<std::mutex> lock(mutex);
    ::close(master);
    ::close(slave);
    ::close(wakeFds[0]);
    ::close(wakeFds[1]);
    master = slave = -1;
    wakeFds[0] = wakeFds[1] = -1;
    path.clear();
    pending.clear();
    lineBuffer.clear();
}

void SimMeter::wake() {
    std::lock_guard<std::mutex> lock(mutex);
    if (wakeFds[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeFds[1], &c, 1);
    }
}

QString SimMeter::portName() const {
    std::lock_guard<std::mutex> lock(mutex);
    return path;
}

bool SimMeter::isPlugged() const {
    std::lock_guard<std::mutex> lock(mutex);
    return master >= 0;
}

void SimMeter::unplug() {
    closeLine();
}

bool SimMeter::replug() {
    if (isPlugged())
        return true;
    return openLine();
}

void SimMeter::setIdentity(const QString& name, const QString& serial) {
    std::lock_guard<std::mutex> lock(mutex);
    nameReply = okReply(jsonString(name));
    serialReply = okReply(jsonString(serial));
}

void SimMeter::setNameReply(const QByteArray& body) {
    std::lock_guard<std::mutex> lock(mutex);
    nameReply = body;
}

void SimMeter::setSerialReply(const QByteArray& body) {
    std::lock_guard<std::mutex> lock(mutex);
    serialReply = body;
}

void SimMeter::setReading(double dBm) {
    std::lock_guard<std::mutex> lock(mutex);
    fixedReading = dBm;
    readingFn = nullptr;
}

void SimMeter::setReadingFunction(ReadingFunction fn) {
    std::lock_guard<std::mutex> lock(mutex);
    readingFn = std::move(fn);
}

void SimMeter::setPowerReply(const QByteArray& body) {
    std::lock_guard<std::mutex> lock(mutex);
    powerReply = body;
}

void SimMeter::setReplyDelay(int ms) {
    std::lock_guard<std::mutex> lock(mutex);
    delayMs = std::max(0, ms);
}

void SimMeter::setDelayFunction(DelayFunction fn) {
    std::lock_guard<std::mutex> lock(mutex);
    delayFn = std::move(fn);
}

void SimMeter::setChunks(int count, int gapMs) {
    std::lock_guard<std::mutex> lock(mutex);
    chunkCount = std::max(1, count);
    chunkGapMs = std::max(0, gapMs);
}

void SimMeter::setSilent(bool value) {
    std::lock_guard<std::mutex> lock(mutex);
    silent = value;
}

void SimMeter::dropReplies(int count) {
    std::lock_guard<std::mutex> lock(mutex);
    toDrop = std::max(0, count);
}

void SimMeter::setReplyHook(ReplyHook fn) {
    std::lock_guard<std::mutex> lock(mutex);
    hook = std::move(fn);
}

void SimMeter::send(const QByteArray& bytes) {
    std::lock_guard<std::mutex> lock(mutex);
    if (master >= 0)
        writeAll(bytes);
}

QByteArray SimMeter::received() const {
    std::lock_guard<std::mutex> lock(mutex);
    return rx;
}

QList<QByteArray> SimMeter::commands() const {
    std::lock_guard<std::mutex> lock(mutex);
    return lines;
}

int SimMeter::commandCount(const QByteArray& prefix) const {
    std::lock_guard<std::mutex> lock(mutex);
    return int(std::count_if(lines.cbegin(), lines.cend(),
                             [&](const QByteArray& l) { return l.startsWith(prefix); }));
}

QList<SimMeter::Exchange> SimMeter::exchanges() const {
    std::lock_guard<std::mutex> lock(mutex);
    return exchangeList;
}

void SimMeter::clearReceived() {
    std::lock_guard<std::mutex> lock(mutex);
    rx.clear();
    lines.clear();
    exchangesDropped += exchangeList.size();
    exchangeList.clear();
}

bool SimMeter::parsePowerRequest(const QByteArray& line, double* freqKHz, bool* att) {
    static const QByteArray prefix("info.power ");
    if (!line.startsWith(prefix))
        return false;
    const QJsonDocument doc = QJsonDocument::fromJson(line.mid(prefix.size()));
    const QJsonObject obj = doc.object();
    if (!doc.isObject() || !obj.value(QLatin1String("Freq")).isDouble() ||
        !obj.value(QLatin1String("Att")).isBool())
        return false;
    if (freqKHz)
        *freqKHz = obj.value(QLatin1String("Freq")).toDouble();
    if (att)
        *att = obj.value(QLatin1String("Att")).toBool();
    return true;
}

// Under the lock.
void SimMeter::writeAll(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            // A host that does not read loses what does not fit, like on a real line.
            pollfd p{master, POLLOUT, 0};
            if (::poll(&p, 1, 200) > 0)
                continue;
        }
        return;
    }
}

// Under the lock.
void SimMeter::handle(const QByteArray& line) {
    const qint64 number = exchangesDropped + exchangeList.size();
    exchangeList.append(Exchange());
    Exchange& exchange = exchangeList.last();
    exchange.command = line;
    exchange.asked = Clock::now();

    QByteArray body;
    if (line == "info.name") {
        body = nameReply;
    } else if (line == "info.sn") {
        body = serialReply;
    } else if (line.startsWith("info.power")) {
        double f = 0;
        bool a = false;
        const bool readable = parsePowerRequest(line, &f, &a);
        if (readable) {
            exchange.freqKHz = f;
            exchange.att = a;
        }
        if (!powerReply.isEmpty()) {
            body = powerReply;
        } else {
            if (!readable)
                return;  // a meter ignores what it cannot read
            const double value = readingFn ? readingFn(f, a) : fixedReading;
            exchange.reading = value;
            body = okReply(QByteArray::number(value, 'g', QLocale::FloatingPointShortest));
        }
    } else {
        return;
    }
    exchange.reply = body;
    if (silent)
        return;
    if (toDrop > 0) {
        --toDrop;
        return;
    }

    const QByteArray reply = body + "\r\n";
    const int delay = delayFn ? std::max(0, delayFn()) : delayMs;
    const auto start = Clock::now() + std::chrono::milliseconds(delay);
    const int count = int(std::min<qsizetype>(chunkCount, reply.size()));
    const qsizetype piece = reply.size() / count;
    for (int k = 0; k < count; ++k) {
        Pending p;
        p.due = start + std::chrono::milliseconds(qint64(k) * chunkGapMs);
        p.bytes = k + 1 < count ? reply.mid(k * piece, piece) : reply.mid(k * piece);
        p.last = k + 1 == count;
        p.command = line;
        p.reply = reply;
        p.exchange = number;
        pending.push_back(std::move(p));
    }
}

void SimMeter::run() {
    for (;;) {
        int timeout = -1;
        int m = -1;
        int w = -1;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (stopping)
                return;
            m = master;
            w = wakeFds[0];
            if (!pending.empty()) {
                const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                    pending.front().due - Clock::now());
                timeout = int(std::max<qint64>(0, wait.count() + 1));
            }
        }

        pollfd fds[2] = {{m, POLLIN, 0}, {w, POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR)
            return;

        if (fds[1].revents & POLLIN) {
            char drain[64];
            while (::read(w, drain, sizeof drain) > 0) {
            }
        }

        std::vector<std::pair<ReplyHook, Pending>> done;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (stopping)
                return;
            if (fds[0].revents & POLLIN) {
                char buf[4096];
                ssize_t n;
                while ((n = ::read(master, buf, sizeof buf)) > 0) {
                    rx.append(buf, n);
                    lineBuffer.append(buf, n);
                }
                qsizetype nl;
                while ((nl = lineBuffer.indexOf('\n')) >= 0) {
                    QByteArray line = lineBuffer.left(nl);
                    lineBuffer.remove(0, nl + 1);
                    if (line.endsWith('\r'))
                        line.chop(1);
                    lines.append(line);
                    handle(line);
                }
                // The transcript is for tests; a meter left running for hours keeps its tail only.
                if (rx.size() > SimMeter::kTranscriptBytes)
                    rx.remove(0, rx.size() - SimMeter::kTranscriptBytes / 2);
                if (lines.size() > SimMeter::kTranscriptLines)
                    lines.remove(0, lines.size() - SimMeter::kTranscriptLines / 2);
                if (exchangeList.size() > SimMeter::kTranscriptLines) {
                    const qsizetype n = exchangeList.size() - SimMeter::kTranscriptLines / 2;
                    exchangeList.remove(0, n);
                    exchangesDropped += n;
                }
            }
            const auto now = Clock::now();
            while (!pending.empty() && pending.front().due <= now) {
                Pending p = std::move(pending.front());
                pending.pop_front();
                p.due = Clock::now();  // when the last piece is handed to the line
                writeAll(p.bytes);
                if (!p.last)
                    continue;
                const qint64 i = p.exchange - exchangesDropped;
                if (i >= 0 && i < exchangeList.size())
                    exchangeList[i].written = p.due;
                if (hook)
                    done.emplace_back(hook, std::move(p));
            }
        }
        for (auto& [fn, p] : done)
            fn(p.command, p.reply, p.due);
    }
}

QStringList simPortNames(const QList<const SimMeter*>& meters, const QStringList& extra) {
    QStringList names;
    for (const SimMeter* meter : meters) {
        const QString name = meter->portName();
        if (!name.isEmpty())
            names << name;
    }
    return names + extra;
}

std::function<QStringList()> simPortEnumeration(QList<const SimMeter*> meters, QStringList extra) {
    return [meters = std::move(meters), extra = std::move(extra)] {
        return simPortNames(meters, extra);
    };
}
