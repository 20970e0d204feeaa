// The whole program with its window (offscreen) and the simulated meter, for a few seconds:
// readings must arrive and the QML must not print a single warning.
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

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
};

QTEST_GUILESS_MAIN(TestDemo)
#include "tst_demo.moc"
