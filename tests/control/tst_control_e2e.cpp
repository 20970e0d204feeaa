// The controller on the real facade, driver thread and record writer, talking to a simulated
// meter on a pseudo-terminal.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <cmath>
#include <memory>

#include "meterdeck.h"
#include "ortix.h"
#include "simmeter.h"
#include "t9rev6.h"
#include "t9rev6_driver.h"

namespace {

DriverSettings fast(std::function<QStringList()> ports) {
    DriverSettings s;
    s.portNames = std::move(ports);
    s.updateInterval = 150;
    s.procInterval = 10;
    s.powInterval = 40;
    s.delayInterval = 100;
    s.probeTimeout = 200;
    return s;
}

struct PowerRequest {
    bool valid = false;
    double freq = 0.0;
    bool att = false;
};

PowerRequest lastPowerRequest(const SimMeter& meter) {
    const QList<QByteArray> lines = meter.commands();
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        PowerRequest r;
        if (SimMeter::parsePowerRequest(*it, &r.freq, &r.att)) {
            r.valid = true;
            return r;
        }
    }
    return {};
}

struct Live {
    explicit Live(std::function<QStringList()> ports)
        : t9(std::make_unique<T9rev6>(fast(std::move(ports)))),
          ortix(std::make_unique<Ortix>()),
          md(std::make_unique<Meterdeck>(std::vector<iDevice*>{t9.get(), ortix.get()})) {}
    ~Live() {
        md.reset();
        t9.reset();
    }
    QStringList logs() const {
        QStringList out;
        LogsModel* l = md->logsModel();
        for (int r = 0; r < l->rowCount(); ++r)
            out.append(l->data(l->index(r), LogsModel::eLog).toString());
        return out;
    }
    std::unique_ptr<T9rev6> t9;
    std::unique_ptr<Ortix> ortix;
    std::unique_ptr<Meterdeck> md;
};

}  // namespace

class ControlE2ETest : public QObject {
    Q_OBJECT
private slots:
    void connectMeasureAndDisconnect() {
        SimMeter meter;
        meter.setIdentity("T9", "0001");
        meter.setReading(-20.25);
        Live live(simPortEnumeration({&meter}));
        QTRY_COMPARE_WITH_TIMEOUT(live.md->deviceModel()->rowCount(), 1, 5000);
        QCOMPARE(live.md->deviceModel()->items().at(0).info(), QStringLiteral("T9, SN: 0001"));

        live.md->setIsStart(true);
        QVERIFY(live.md->isStart());
        const QStringList lines = live.logs();
        QCOMPARE(lines.at(0), QStringLiteral("Подключаюсь к T9, SN: 0001...\n"));
        QCOMPARE(lines.at(1), QStringLiteral("Подключение кT9, SN: 0001 прошло успешно!"));
        QCOMPARE(lines.at(2), QStringLiteral("Установка новой частоты = 3000 кГц"));
        QVERIFY(lines.at(3).startsWith("Имя файла обновлено, имя файла = T9, SN_ 0001 "));

        QTRY_VERIFY_WITH_TIMEOUT(live.md->powerModel()->rowCount() >= 2, 5000);
        const PowerData rec = live.md->powerModel()->series().back();
        QCOMPARE(rec.power(), -20.25);
        QCOMPARE(rec.powerUnit(), QStringLiteral("дБм"));
        QCOMPARE(rec.freq(), 3000.0);
        QVERIFY(live.logs().last().endsWith(" Мощность = -20.25 дБм"));
        const PowerRequest req = lastPowerRequest(meter);
        QVERIFY(req.valid);
        QCOMPARE(req.freq, 3000.0);
        QCOMPARE(req.att, false);

        live.md->setIsStart(false);
        QVERIFY(!live.md->isStart());
        QVERIFY(std::isnan(live.md->power()));
        QVERIFY(!live.t9->driverObject()->pollActive());
        QCOMPARE(live.logs().last(), QStringLiteral("Устройство отключено!"));
    }

    void settingsReachTheMeter() {
        SimMeter meter;
        meter.setReadingFunction([](double f, bool att) { return att ? -f / 100.0 : -1.0; });
        Live live(simPortEnumeration({&meter}));
        QTRY_COMPARE_WITH_TIMEOUT(live.md->deviceModel()->rowCount(), 1, 5000);
        live.md->setIsStart(true);
        QVERIFY(live.md->isStart());
        live.md->setFreq(1500.0);
        live.md->setAtt(true);
        live.md->setUnit(1);
        // 1500 kHz with the attenuator on reads -15 dBm here: 31.6228 uW.
        auto settled = [&] {
            const auto& s = live.md->powerModel()->series();
            return !s.empty() && s.back().powerUnit() == QStringLiteral("мкВт") &&
                   std::fabs(s.back().power() - 31.6228) < 1e-3;
        };
        QTRY_VERIFY_WITH_TIMEOUT(settled(), 5000);
        QCOMPARE(live.md->powerModel()->series().back().freq(), 1500.0);
        const PowerRequest req = lastPowerRequest(meter);
        QCOMPARE(req.freq, 1500.0);
        QVERIFY(req.att);
    }

    // The driver starts at 300 kHz, and so does the controller: a meter whose row says 300 is
    // measured at 300, the value shown.
    void rowAtStartFrequencyIsMeasuredThere() {
        SimMeter meter;
        Live live(simPortEnumeration({&meter}));
        QTRY_COMPARE_WITH_TIMEOUT(live.md->deviceModel()->rowCount(), 1, 5000);
        DeviceModel* dm = live.md->deviceModel();
        dm->setData(dm->index(0), 300.0, DeviceModel::eFreq);
        live.md->setIsStart(true);
        QTRY_VERIFY_WITH_TIMEOUT(lastPowerRequest(meter).valid, 5000);
        QCOMPARE(lastPowerRequest(meter).freq, live.md->freq());
        QCOMPARE(live.md->freq(), 300.0);
    }

    void recordsToFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("run.csv");
        SimMeter meter;
        meter.setReading(-7.5);
        Live live(simPortEnumeration({&meter}));
        QTRY_COMPARE_WITH_TIMEOUT(live.md->deviceModel()->rowCount(), 1, 5000);
        live.md->setIsStart(true);
        live.md->setFileName(QUrl::fromLocalFile(path).toString());
        live.md->setNeedWrite(true);
        auto lineCount = [&] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(lineCount() >= 3, 5000);
        live.md->setNeedWrite(false);
        const int lines = lineCount();
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> first = f.readLine().trimmed().split(';');
        QCOMPARE(first.size(), 5);
        QCOMPARE(first.at(1), QByteArray("3000"));
        QCOMPARE(first.at(3), QByteArray("-7.5"));
        int written = 0;
        for (const QString& l : live.logs()) written += l.endsWith(" записана в файл.");
        QCOMPARE(written, lines);
    }

    void meterLostWhileMeasuring() {
        SimMeter meter;
        Live live(simPortEnumeration({&meter}));
        QTRY_COMPARE_WITH_TIMEOUT(live.md->deviceModel()->rowCount(), 1, 5000);
        live.md->setIsStart(true);
        QTRY_VERIFY_WITH_TIMEOUT(live.md->powerModel()->rowCount() >= 1, 5000);
        meter.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!live.md->isStart(), 5000);
        // The pump reports the loss at every tick until the stop reaches the worker, so reports
        // already queued may still be logged after the close; nothing else may follow it.
        const QString lost = QStringLiteral("Устройств не обнаружено!");
        const QStringList lines = live.logs();
        const qsizetype first = lines.indexOf(lost);
        QVERIFY(first >= 0);
        QCOMPARE(lines.value(first + 1), QStringLiteral("Устройство отключено!"));
        for (qsizetype i = first + 2; i < lines.size(); ++i) QCOMPARE(lines.at(i), lost);
        QVERIFY(std::isnan(live.md->power()));
    }

    void noMeterFailsToConnect() {
        Live live([] { return QStringList{}; });
        live.md->setIsStart(true);
        QVERIFY(!live.md->isStart());
        QCOMPARE(live.md->error(), 1);
        QCOMPARE(live.logs().last(), QStringLiteral("Невозможно подключиться к "));
    }
};

QTEST_GUILESS_MAIN(ControlE2ETest)
#include "tst_control_e2e.moc"
