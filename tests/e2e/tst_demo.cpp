// The whole program with its window (offscreen) and the simulated meter, for a few seconds:
// readings must arrive and the QML must not print a single warning.
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <csignal>
#endif

class TestDemo : public QObject {
    Q_OBJECT
private slots:
    void windowRunsWithReadingsAndNoQmlWarning() {
        QProcess demo;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        demo.setProcessEnvironment(env);
        demo.start(QStringLiteral(MD_DEMO_PATH),
                   {"--connect", "--poll", "100", "--pump", "20", "--quit-after", "12000",
                    "--print-log", "--no-splash"});
        QVERIFY(demo.waitForStarted(5000));
        QVERIFY(demo.waitForFinished(60000));
        QCOMPARE(demo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(demo.exitCode(), 0);

        const QString out = QString::fromUtf8(demo.readAllStandardOutput());
        const QString err = QString::fromUtf8(demo.readAllStandardError());
        QVERIFY2(out.contains(QStringLiteral("window shown")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("прошло успешно!")), qPrintable(out));
        QVERIFY2(out.count(QStringLiteral(" Мощность = ")) >= 5, qPrintable(out));

        static const QRegularExpression qmlTrouble(QStringLiteral(
            "qrc:/|\\.qml|QML|[Bb]inding loop|TypeError|ReferenceError|Unable to assign|"
            "Cannot read property|is not defined|Cannot anchor|Detected anchors"));
        for (const QString& line : err.split(QLatin1Char('\n')))
            QVERIFY2(!qmlTrouble.match(line).hasMatch(), qPrintable(line));
    }

#ifdef Q_OS_UNIX
    // Recording past the file-size limit (ulimit -f): the program's own start-up makes the
    // write fail instead of the signal ending the process in the middle of a line.
    void recordingPastTheFileSizeLimitIsReportedNotFatal() {
        QTemporaryDir dir;
        const QString file = dir.filePath("limited.csv");
        constexpr rlim_t limit = 1000;
        QProcess demo;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        demo.setProcessEnvironment(env);
        demo.setChildProcessModifier([] {
            const rlimit r{limit, limit};
            setrlimit(RLIMIT_FSIZE, &r);
            // The default action, whatever this test process was given: the program must
            // change it itself.
            std::signal(SIGXFSZ, SIG_DFL);
        });
        demo.start(QStringLiteral(MD_DEMO_PATH),
                   {"--connect", "--poll", "50", "--pump", "10", "--quit-after", "6000",
                    "--print-log", "--no-splash", "--record", file});
        QVERIFY(demo.waitForStarted(5000));
        QVERIFY(demo.waitForFinished(60000));
        const QString out = QString::fromUtf8(demo.readAllStandardOutput());
        QVERIFY2(demo.exitStatus() == QProcess::NormalExit, qPrintable(out.right(2000)));
        QCOMPARE(demo.exitCode(), 0);
        QVERIFY2(out.contains(QStringLiteral("Внимание! Запись невозможна в файл")),
                 qPrintable(out.right(2000)));

        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.size() > 100 && bytes.size() <= qsizetype(limit));
        QVERIFY2(bytes.endsWith('\n'), "no partial last line");
        for (const QByteArray& line : bytes.split('\n'))
            QVERIFY(line.isEmpty() || line.count(';') == 4);
    }
#endif
};

QTEST_GUILESS_MAIN(TestDemo)
#include "tst_demo.moc"
