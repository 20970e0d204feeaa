#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "rig.h"

namespace {

const QRegularExpression kStamp(QStringLiteral(" (\\d\\d-\\d\\d-\\d{4}_\\d\\d-\\d\\d-\\d\\d)\\.csv$"));

QDateTime stampOf(const QString& fileName) {
    const QRegularExpressionMatch m = kStamp.match(fileName);
    return m.hasMatch() ? QDateTime::fromString(m.captured(1), "dd-MM-yyyy_HH-mm-ss") : QDateTime();
}

QDateTime toSecond(const QDateTime& t) {
    return QDateTime(t.date(), QTime(t.time().hour(), t.time().minute(), t.time().second()));
}

// Runs in a scratch working directory, where generated record names land.
struct InTempDir {
    QTemporaryDir dir;
    QString old = QDir::currentPath();
    InTempDir() { QDir::setCurrent(dir.path()); }
    ~InTempDir() { QDir::setCurrent(old); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

}  // namespace

class RecordingTest : public QObject {
    Q_OBJECT
private slots:
    void everyReadingIsWrittenAndLoggedTwice() {
        Rig r;
        r.connectTo("M, SN: 1");
        r.md->setFileName("file:///tmp/run.csv");
        r.md->setNeedWrite(true);
        r.mark();
        r.dev0.read(-7.5);
        r.dev0.read(-8.0);
        const QStringList lines = r.newLogs();
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].contains(readingLine(" Мощность = -7.5 дБм")));
        QCOMPARE(lines[1], lines[0] + " записана в файл.");
        QVERIFY(lines[3].contains(readingLine(" Мощность = -8 дБм записана в файл.")));
        QCOMPARE(r.writer.names, QStringList({"/tmp/run.csv", "/tmp/run.csv"}));
        QCOMPARE(r.writer.records.at(1).power(), -8.0);
        QCOMPARE(r.writer.records.at(1).time(), r.lastRecord().time());
    }

    void failedWriteIsLoggedEveryReading() {
        Rig r;
        r.writer.result = false;
        r.md->setFileName("file:///nowhere/run.csv");
        r.md->setNeedWrite(true);
        r.mark();
        r.dev0.read(-1.0);
        r.dev0.read(-2.0);
        const QStringList lines = r.newLogs();
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[1], QStringLiteral("Внимание! Запись невозможна в файл /nowhere/run.csv"));
        QCOMPARE(lines[3], lines[1]);
        QVERIFY(r.md->needWrite());
        QCOMPARE(r.md->powerModel()->rowCount(), 2);
    }

    void switchingOnAnnouncesBeforeLogging() {
        Rig r;
        r.md->setFileName("file:///tmp/a.csv");
        int linesAtSignal = -1;
        QObject::connect(r.md.get(), &Meterdeck::needWriteChanged,
                         [&] { linesAtSignal = r.md->logsModel()->rowCount(); });
        r.md->setNeedWrite(true);
        QCOMPARE(linesAtSignal, 0);
        QCOMPARE(r.logs(), QStringList{"Начинаю писать в файл /tmp/a.csv"});
        r.md->setNeedWrite(false);
        QCOMPARE(r.logs().last(), QStringLiteral("Запись в файл остановлена."));
    }

    void urlBecomesLocalPath_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("path");
#ifdef Q_OS_WIN
        QTest::newRow("drive") << "file:///D:/data/run.csv" << "D:/data/run.csv";
#else
        QTest::newRow("drive") << "file:///D:/data/run.csv" << "/D:/data/run.csv";
#endif
        QTest::newRow("escaped") << "file:///tmp/a%20b.csv" << "/tmp/a b.csv";
        QTest::newRow("plain path") << "/tmp/x.csv" << "";
        QTest::newRow("other scheme") << "http://host/x.csv" << "";
        QTest::newRow("empty") << "" << "";
    }
    void urlBecomesLocalPath() {
        QFETCH(QString, url);
        QFETCH(QString, path);
        Rig r;
        r.md->setFileName(url);
        r.md->setFileName(url);
        QCOMPARE(r.md->fileName(), path);
        QCOMPARE(r.signalLog, QStringList({"fileName", "fileName"}));
        QVERIFY(r.logs().isEmpty());
    }

    void generatedName() {
        Rig r;
        r.dev0.getDevList({"M, SN: 123", "N, SN: 9"});
        const QDateTime before = toSecond(QDateTime::currentDateTime());
        r.md->updateFileName();
        const QDateTime after = QDateTime::currentDateTime();
        const QString name = r.md->fileName();
        QVERIFY2(name.startsWith("M, SN_ 123 "), qPrintable(name));
        const QDateTime stamp = stampOf(name);
        QVERIFY(stamp.isValid() && stamp >= before && stamp <= after);
        QCOMPARE(name.size(), QStringLiteral("M, SN_ 123 05-12-2026_14-05-09.csv").size());
        QCOMPARE(r.logs(), QStringList{"Имя файла обновлено, имя файла = " + name});
        QCOMPARE(r.signalLog, QStringList{"fileName"});
    }

    void generatedNameWithoutMeter() {
        Rig r;
        r.md->updateFileName(false);
        QVERIFY(r.md->fileName().startsWith(' '));
        QVERIFY(stampOf(r.md->fileName()).isValid());
        QCOMPARE(r.md->fileName().size(), 24);
        QVERIFY(r.logs().isEmpty());
        QCOMPARE(r.signalLog, QStringList{"fileName"});
    }

    void renamingStopsRecording() {
        Rig r;
        r.md->setNeedWrite(true);
        r.mark();
        r.md->updateFileName(false);
        QCOMPARE(r.newLogs(), QStringList{"Запись в файл остановлена."});
        QVERIFY(!r.md->needWrite());
        r.md->setNeedWrite(true);
        r.mark();
        r.md->updateFileName();
        QCOMPARE(r.newLogs().size(), 2);
        QCOMPARE(r.newLogs().at(0), QStringLiteral("Запись в файл остановлена."));
        QVERIFY(r.newLogs().at(1).startsWith("Имя файла обновлено, имя файла = "));
        QCOMPARE(r.signalLog, QStringList({"needWrite", "fileName"}));
    }

    void sameSecondSameName() {
        Rig r;
        r.dev0.getDevList({"M, SN: 1"});
        for (int attempt = 0; attempt < 5; ++attempt) {
            const QDateTime t0 = toSecond(QDateTime::currentDateTime());
            r.md->updateFileName(false);
            const QString first = r.md->fileName();
            r.md->updateFileName(false);
            if (toSecond(QDateTime::currentDateTime()) != t0) continue;  // crossed a second
            QCOMPARE(r.md->fileName(), first);
            return;
        }
        QFAIL("could not make two names within one second");
    }

    // A re-run for an offset switch carries no new measurement: the file must not get one.
    void offsetSwitchWritesNoRecord() {
        Rig r;
        r.connectTo("M, SN: 1");
        r.dev0.read(-10.0);
        r.md->setNeedWrite(true);
        const int rows = r.md->powerModel()->rowCount();
        r.md->setOffsetEn(true);
        QCOMPARE(r.md->powerModel()->rowCount(), rows + 1);
        QVERIFY(r.writer.records.isEmpty());
        r.md->setIsStart(false);
        r.md->setOffsetEn(false);
        QVERIFY(r.writer.records.isEmpty());
        r.dev0.read(-11.0);
        QCOMPARE(r.writer.records.size(), 1);
    }

    void csvWriterAppendsLines() {
        QTemporaryDir dir;
        FakeDevice dev;
        Meterdeck md({&dev});
        md.setFileName(QUrl::fromLocalFile(dir.filePath("run.csv")).toString());
        md.setNeedWrite(true);
        dev.read(-1.5);
        dev.read(-2.5);
        QFile f(dir.filePath("run.csv"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[1].endsWith(";-2.5;" + QStringLiteral("дБм").toLocal8Bit()));
        QVERIFY(md.logsModel()->lastLog().endsWith(" записана в файл."));
    }

    // The identification string comes from the meter and must not steer the file elsewhere.
    void meterTextCannotLeaveWorkingDirectory() {
        InTempDir cwd;
        FakeDevice dev;
        Meterdeck md({&dev});
        dev.getDevList({QStringLiteral("../..\\evil/x:y*?\"<>|\t\u0001z")});
        md.updateFileName();
        QVERIFY2(md.fileName().startsWith(".._.._evil_x_y________z "), qPrintable(md.fileName()));
        md.setNeedWrite(true);
        dev.read(-3.0);
        QVERIFY(md.logsModel()->lastLog().endsWith(" записана в файл."));
        QCOMPARE(cwd.files(), QStringList{md.fileName()});
    }

    void overlongMeterTextStillMakesAFile() {
        InTempDir cwd;
        FakeDevice dev;
        Meterdeck md({&dev});
        dev.getDevList({QString(300, QChar(0x0416)) + QStringLiteral("😀")});
        md.updateFileName(false);
        QVERIFY(md.fileName().toUtf8().size() <= 255);
        QVERIFY(md.fileName().startsWith(QString(100, QChar(0x0416)) + ' '));
        md.setNeedWrite(true);
        dev.read(-3.0);
        QVERIFY(md.logsModel()->lastLog().endsWith(" записана в файл."));
        QCOMPARE(cwd.files().size(), 1);
        QCOMPARE(Meterdeck::fileStem(QString(199, 'a') + QStringLiteral("😀")),
                 QString(199, 'a'));
        QCOMPARE(Meterdeck::fileStem(QStringLiteral("T9, SN: 12")), QStringLiteral("T9, SN_ 12"));
    }
};

int runRecordingTests(int argc, char** argv) {
    RecordingTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_recording.moc"
