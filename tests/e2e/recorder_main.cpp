// Records readings of a simulated meter to the file named on the command line and prints every
// "written" log line at once, so a test can kill it hard mid-recording.
#include <QCoreApplication>
#include <QTimer>
#include <QUrl>
#include <cstdio>

#include "live.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString file = QString::fromLocal8Bit(argv[1]);
    SimMeter meter;
    std::atomic<int> n{0};
    meter.setReadingFunction([&n](double, bool) { return -10.0 - 0.01 * n++; });
    Bench bench(fastSettings(simPortEnumeration({&meter}), 20));
    Meterdeck& deck = *bench.deck;
    QObject::connect(deck.logsModel(), &QAbstractItemModel::modelReset, [&] {
        const QString l = deck.logsModel()->lastLog();
        if (l.endsWith(QStringLiteral(" записана в файл."))) {
            std::fputs(l.toUtf8().constData(), stdout);
            std::fputc('\n', stdout);
            std::fflush(stdout);
        }
    });
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (deck.isStart() || deck.deviceModel()->rowCount() == 0)
            return;
        deck.setIsStart(true);
        if (deck.isStart()) {
            deck.setFileName(QUrl::fromLocalFile(file).toString());
            deck.setNeedWrite(true);
        }
    });
    poll.start();
    return app.exec();
}
