// A simulated power meter on a pseudo-terminal, for trying the program without hardware.
// Prints the port path (and the new one after each replug) on standard output.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTimer>
#include <cstdio>

#include "simmeter.h"
#include "simreading.h"

namespace {

void printPort(const SimMeter& meter) {
    std::printf("%s\n", meter.isPlugged() ? qPrintable(meter.portName()) : "unplugged");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("meterdeck-simmeter"));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Simulated RF power meter on a pseudo-terminal."));
    p.addHelpOption();
    const QCommandLineOption name("name", "Meter name.", "text", "T9-SIM");
    const QCommandLineOption serial("serial", "Serial number.", "text", "000042");
    const QCommandLineOption seed("seed", "Noise and fault seed (default: random).", "n");
    const QCommandLineOption delay("delay", "Delay before each reply, ms.", "ms", "0");
    const QCommandLineOption delayUpTo(
        "delay-up-to", "Delay each reply by a random time up to this, ms (replies stay in order).",
        "ms", "0");
    const QCommandLineOption chunks("chunks", "Send each reply in this many pieces.", "n", "1");
    const QCommandLineOption drop("drop", "Leave about one in N requests unanswered.", "N", "0");
    const QCommandLineOption garbage("garbage", "Send a garbled reply about one in N times.", "N",
                                     "0");
    const QCommandLineOption noOk("no-ok", "Answer power requests with JSON that has no \"OK\".");
    const QCommandLineOption unplugAfter("unplug-after", "Unplug after this many seconds.", "s",
                                         "0");
    const QCommandLineOption replugAfter(
        "replug-after", "Plug back in this many seconds after unplugging.", "s", "0");
    for (const auto& o : {name, serial, seed, delay, delayUpTo, chunks, drop, garbage, noOk,
                          unplugAfter, replugAfter})
        p.addOption(o);
    p.process(app);

    const quint32 s =
        p.isSet(seed) ? p.value(seed).toUInt() : QRandomGenerator::global()->generate();
    std::fprintf(stderr, "seed %u\n", s);
    QRandomGenerator rng(s);

    SimMeter meter;
    meter.setIdentity(p.value(name), p.value(serial));
    meter.setReadingFunction(plausibleReading(s));
    meter.setReplyDelay(p.value(delay).toInt());
    if (const int upTo = p.value(delayUpTo).toInt(); upTo > 0)
        meter.setDelayFunction([upTo, delays = QRandomGenerator(s + 1)]() mutable {
            return int(delays.bounded(upTo + 1));
        });
    meter.setChunks(std::max(1, p.value(chunks).toInt()), 2);
    if (p.isSet(noOk))
        meter.setPowerReply("{\"ERR\":1}");
    printPort(meter);

    // Faults now and then, decided once per 200 ms.
    const int dropN = p.value(drop).toInt(), garbageN = p.value(garbage).toInt();
    QTimer faults;
    QObject::connect(&faults, &QTimer::timeout, [&] {
        if (dropN > 0 && rng.bounded(dropN * 5) == 0)
            meter.dropReplies(1);
        if (garbageN > 0 && rng.bounded(garbageN * 5) == 0)
            meter.send("\x15#garbled}\r\n");
    });
    faults.start(200);

    const int unplugS = p.value(unplugAfter).toInt(), replugS = p.value(replugAfter).toInt();
    if (unplugS > 0) {
        QTimer::singleShot(unplugS * 1000, [&] {
            meter.unplug();
            printPort(meter);
            if (replugS > 0)
                QTimer::singleShot(replugS * 1000, [&] {
                    meter.replug();
                    printPort(meter);
                });
        });
    }

    return app.exec();
}
