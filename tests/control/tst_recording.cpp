#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "rig.h"

namespace {

QDateTime stampOf(const QString& fileName) {
    static const QRegularExpression stamp(" (\\d\\d-\\d\\d-\\d{4}_\\d\\d-\\d\\d-\\d\\d)\\.csv$");
    const QRegularExpressionMatch m = stamp.match(fileName);
    return m.hasMatch() ? QDateTime::fromString(m.captured(1), "dd-MM-yyyy_HH-mm-ss") : QDateTime();
}

QDateTime toSecond(const QDateTime& t) {
    return t.addMSecs(-t.time().msec());
}

}  // namespace

class RecordingTest : public QObject {
    Q_OBJECT
private slots:
    // Each reading is logged, then its write; a run of failed writes is said once, shown to the
    // operator once, and its end gives the count of readings not written.
    void everyReadingIsWritten() {
        Rig r;
        QSignalSpy alerts(r.md.get(), &Meterdeck::alert);
        r.connectTo("M, SN: 1");
        r.md->setFileName("file:///tmp/run.csv");
        r.md->setNeedWrite(true);
        r.mark();
        r.dev0.getPwr(-7.5);
        QStringList lines = r.newLogs();
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].contains(readingLine(" Мощность = -7.5 дБм")));
        QCOMPARE(lines[1], lines[0] + " записана в файл.");

        r.writer.result = false;
        r.mark();
        for (double p : {-8.0, -8.5, -9.0})
            r.dev0.getPwr(p);
        lines = r.newLogs();
        const QString failed = "Внимание! Запись невозможна в файл /tmp/run.csv";
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[1], failed);
        QCOMPARE(lines.count(failed), 1);
        QCOMPARE(alerts.count(), 1);
        QCOMPARE(alerts.at(0).at(0).toString(), failed);

        r.writer.result = true;
        r.mark();
        r.dev0.getPwr(-9.5);
        lines = r.newLogs();
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[1], QStringLiteral("Запись в файл возобновлена, не записано показаний: 3"));
        QCOMPARE(lines[2], lines[0] + " записана в файл.");
        QCOMPARE(r.writer.names.size(), 5);  // every reading was tried
        QCOMPARE(r.writer.records.last().power(), -9.5);
        QVERIFY(r.md->needWrite());
        QCOMPARE(alerts.count(), 1);
    }

    void urlBecomesLocalPath_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("path");
        const auto row = [](const char* url, QString path) { QTest::newRow(url) << url << path; };
#ifdef Q_OS_WIN
        row("file:///D:/data/run.csv", "D:/data/run.csv");
#else
        row("file:///D:/data/run.csv", "/D:/data/run.csv");
#endif
        row("file:///tmp/a%20b.csv", "/tmp/a b.csv");
        row("/tmp/x.csv", "/tmp/x.csv");  // as Qt's own dialogs hand over a typed name
        row("C:/data/x.csv", "C:/data/x.csv");
        row("http://host/x.csv", "");
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

    void generatedName_data() {
        QTest::addColumn<QStringList>("meters");
        QTest::addColumn<bool>("needLog");
        QTest::addColumn<QString>("stem");
        QTest::newRow("first meter, logged")
            << QStringList{"M, SN: 123", "N, SN: 9"} << true << "M, SN_ 123";
        QTest::newRow("no meter, silent") << QStringList{} << false << "";
    }
    void generatedName() {
        QFETCH(QStringList, meters);
        QFETCH(bool, needLog);
        QFETCH(QString, stem);
        Rig r;
        r.dev0.getDevList(meters);
        const QDateTime before = toSecond(QDateTime::currentDateTime());
        r.md->updateFileName(needLog);
        const QDateTime after = QDateTime::currentDateTime();
        const QString name = r.md->fileName();
        QVERIFY2(name.startsWith(stem + ' '), qPrintable(name));
        QCOMPARE(name.size(), stem.size() + QStringLiteral(" 05-12-2026_14-05-09.csv").size());
        const QDateTime stamp = stampOf(name);
        QVERIFY(stamp.isValid() && stamp >= before && stamp <= after);
        QCOMPARE(r.logs(),
                 needLog ? QStringList{"Имя файла обновлено, имя файла = " + name} : QStringList{});
        QCOMPARE(r.signalLog, QStringList{"fileName"});
    }

    // What the save dialog can hand over: a recording starts only into a file it can write, and
    // a typed name in a fresh folder records there.
    void recordingStartsOnlyIntoAWritableFile() {
        QTemporaryDir dir;
        const QString fresh = dir.filePath("fresh/typed.csv");
        QVERIFY(QDir().mkpath(dir.filePath("fresh")));
        QVERIFY(QDir().mkpath(dir.filePath("locked")));
        QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner);
        const bool asRoot = QFileInfo(dir.filePath("locked")).isWritable();  // root writes anyway
        const QList<std::pair<QString, QString>> refused = {
            {dir.filePath("missing/x.csv"), "папка " + dir.filePath("missing") + " не существует."},
            {dir.filePath("fresh"), dir.filePath("fresh") + " не является обычным файлом."},
            {"/dev/null", "/dev/null не является обычным файлом."},
            {dir.filePath("locked/x.csv"),
             "нет права записи в папку " + dir.filePath("locked") + "."}};
        for (const auto& [path, why] : refused) {
            if (asRoot && path.contains("locked"))
                continue;
            Rig r;
            QSignalSpy alerts(r.md.get(), &Meterdeck::alert);
            r.md->setFileName(path);
            r.md->setNeedWrite(true);
            QVERIFY2(!r.md->needWrite(), qPrintable(path));
            QCOMPARE(r.logs().last(), "Запись в файл не начата: " + why);
            QCOMPARE(alerts.count(), 1);
            QCOMPARE(alerts.at(0).at(0).toString(), r.logs().last());
        }

        FakeDevice meter;
        Meterdeck md({&meter});  // with the real writer
        md.setFileName(fresh);
        md.setNeedWrite(true);
        QVERIFY(md.needWrite());
        meter.getPwr(-20.5);
        QFile written(fresh);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll().contains(";-20.5;"));
    }

    // A re-run for an offset switch carries no new measurement: the file must not get one.
    void offsetSwitchWritesNoRecord() {
        Rig r;
        r.connectTo("M, SN: 1");
        r.dev0.getPwr(-10.0);
        r.md->setNeedWrite(true);
        r.md->setOffsetEn(true);
        QCOMPARE(r.md->powerModel()->rowCount(), 2);
        r.md->setIsStart(false);
        r.md->setOffsetEn(false);
        QVERIFY(r.writer.records.isEmpty());
        r.dev0.getPwr(-11.0);
        QCOMPARE(r.writer.records.size(), 1);
    }

    // The name is built from the meter's text: it must stay in the working directory, hold
    // nothing Windows or Linux refuse, and fit the file systems' 255-byte limit.
    void meterTextMakesASafeFile_data() {
        QTest::addColumn<QString>("meter");
        QTest::addColumn<QString>("stem");
        QTest::newRow("hostile") << QStringLiteral("../..\\evil/x:y*?\"<>|\t\u0001z")
                                 << ".._.._evil_x_y________z";
        QTest::newRow("overlong") << QString(300, QChar(0x0416)) + QStringLiteral("😀")
                                  << QString(100, QChar(0x0416));
        QTest::newRow("emoji at the cut")
            << QString(199, 'a') + QStringLiteral("😀") << QString(199, 'a');
    }
    void meterTextMakesASafeFile() {
        QFETCH(QString, meter);
        QFETCH(QString, stem);
        QTemporaryDir dir;
        const auto back = qScopeGuard([old = QDir::currentPath()] { QDir::setCurrent(old); });
        QDir::setCurrent(dir.path());
        FakeDevice dev;
        Meterdeck md({&dev});  // on the real record writer
        dev.getDevList({meter});
        md.updateFileName(false);
        QVERIFY2(md.fileName().startsWith(stem + ' '), qPrintable(md.fileName()));
        md.setNeedWrite(true);
        dev.getPwr(-1.5);
        dev.getPwr(-2.5);
        QVERIFY(md.logsModel()->lastLog().endsWith(" записана в файл."));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{md.fileName()});
        QFile f(dir.filePath(md.fileName()));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[1].endsWith(";-2.5;" + QStringLiteral("дБм").toLocal8Bit()));
    }
};

int runRecordingTests(int argc, char** argv) {
    RecordingTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_recording.moc"
