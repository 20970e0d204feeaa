// The whole program with its window (offscreen) and the simulated meter: readings arrive, the QML
// prints no warning, and a recording survives a file-size limit (as does the next start) and a
// hard kill.
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

#include "simreading.h"

#include "../support/lines.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <csignal>
#endif

namespace {

// Every line holds the record's five fields, and the last one is whole.
bool wholeRecords(const QString& file, QList<QByteArray>* lines) {
    bool complete = false;
    *lines = fileLines(file, &complete);
    for (const QByteArray& line : *lines)
        if (line.count(';') != 4)
            return false;
    return complete;
}

}  // namespace

class TestDemo : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    // Its caches go to a folder of the test's, not to the user's; the QML cache is as the program
    // sets it, whatever this test was given.
    void startDemo(QProcess& demo, QStringList args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath("cache"));
        for (const char* name : {"QML_DISABLE_DISK_CACHE", "QML_DISK_CACHE", "QML_DISK_CACHE_PATH",
                                 "QML_FORCE_DISK_CACHE"})
            env.remove(QString::fromLatin1(name));
        demo.setProcessEnvironment(env);
        demo.start(MD_DEMO_PATH, args << "--connect"
                                      << "--print-log"
                                      << "--no-splash");
    }

private slots:
    // Past the file-size limit (ulimit -f) the program's own start-up makes the write fail
    // instead of the signal ending the process in the middle of a line; the window meanwhile shows
    // readings and the QML prints no warning.
    void runsWithReadingsAndSurvivesTheFileSizeLimit() {
        const QString file = dir.filePath("limited.csv");
        QProcess demo;
#ifdef Q_OS_UNIX
        constexpr rlim_t limit = 1000;
        demo.setChildProcessModifier([] {
            const rlimit r{limit, limit};
            setrlimit(RLIMIT_FSIZE, &r);
            std::signal(SIGXFSZ, SIG_DFL);  // whatever this test was given
        });
#endif
        startDemo(demo, {"--poll", "50", "--pump", "10", "--quit-after", "8000", "--record", file});
        QVERIFY(demo.waitForFinished(60000));
        const QString out = QString::fromUtf8(demo.readAllStandardOutput());
        QVERIFY2(demo.exitStatus() == QProcess::NormalExit && demo.exitCode() == 0,
                 qPrintable(out.right(2000)));
        QVERIFY2(out.contains(QStringLiteral("window shown")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("прошло успешно!")), qPrintable(out));
        QVERIFY2(out.count(QStringLiteral(" Мощность = ")) >= 5, qPrintable(out));
        static const QRegularExpression qmlTrouble(QStringLiteral(
            "qrc:/|\\.qml|QML|[Bb]inding loop|TypeError|ReferenceError|Unable to assign|"
            "Cannot read property|is not defined|Cannot anchor|Detected anchors"));
        for (const QString& line : QString::fromUtf8(demo.readAllStandardError()).split('\n'))
            QVERIFY2(!qmlTrouble.match(line).hasMatch(), qPrintable(line));
        QList<QByteArray> lines;
        QVERIFY(wholeRecords(file, &lines));
#ifdef Q_OS_UNIX
        QVERIFY(out.contains(QStringLiteral("Внимание! Запись невозможна в файл")));
        QVERIFY(QFileInfo(file).size() > 100 && QFileInfo(file).size() <= qint64(limit));
#endif
        // No compiled-QML cache on disk: one cut short by the limit would crash the next start.
        // Qt writes one for each document it compiles at run time, so a file here also means a
        // document the window loads is not compiled into the program.
        QDirIterator cached(dir.filePath("cache"), {"*.qmlc", "*.jsc"}, QDir::Files,
                            QDirIterator::Subdirectories);
        QVERIFY2(!cached.hasNext(), qPrintable(cached.next()));
    }

    // Several simulated meters on one bench: all listed and measured, with A−B; their levels
    // move together, each its coupling loss below the first.
    void severalMetersOnOneBench() {
        const auto bench = coupledReadings(7, 3);
        QCOMPARE(bench.size(), size_t(3));
        for (int i = 0; i < 5; ++i) {
            const double first = bench[0](3e6, false);
            QVERIFY(std::abs(first - bench[1](3e6, false) - 15.0) < 0.3);
            QVERIFY(std::abs(first - bench[2](3e6, false) - 20.0) < 0.3);
        }
        QProcess demo;
        startDemo(demo, {"--meters", "3", "--poll", "100", "--quit-after", "6000"});
        QVERIFY(demo.waitForFinished(60000));
        const QString out = QString::fromUtf8(demo.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral("meters listed: 3")), qPrintable(out));
        for (const char* serial : {"000042", "000043", "000044"})
            QVERIFY2(out.contains(QStringLiteral("SN: %1 прошло успешно!").arg(serial)), serial);
        QVERIFY2(out.count(QStringLiteral(" A−B = ")) >= 5, qPrintable(out));
    }

    // Killed without a chance to tidy up: each reading logged as written is in the file, in
    // order, every line whole; at most one more was written after the last one logged.
    void killedMidRecordingLeavesCompleteLinesOnly() {
        const QString file = dir.filePath("killed.csv");
        QProcess demo;
        demo.setProcessChannelMode(QProcess::SeparateChannels);
        startDemo(demo, {"--poll", "20", "--pump", "10", "--record", file});
        QStringList logged;
        QElapsedTimer clock;
        clock.start();
        while (logged.size() < 30 && clock.elapsed() < 30000) {
            demo.waitForReadyRead(200);
            while (demo.canReadLine()) {
                const QString l = QString::fromUtf8(demo.readLine()).trimmed();
                if (l.endsWith(QStringLiteral(" записана в файл.")))
                    logged << l;
            }
        }
        demo.kill();
        QVERIFY(demo.waitForFinished(5000));
        QVERIFY(logged.size() >= 30);
        QList<QByteArray> lines;
        QVERIFY(wholeRecords(file, &lines));
        QVERIFY(lines.size() >= logged.size() && lines.size() <= logged.size() + 1);
        for (int i = 0; i < logged.size(); ++i)
            QVERIFY2(logged[i].contains(" Мощность = " + lines[i].split(';')[3] + ' '),
                     qPrintable(logged[i]));
    }
};

QTEST_GUILESS_MAIN(TestDemo)
#include "tst_demo.moc"
