// The controller on the real facade, driver thread and record writer, talking to a simulated
// meter on a pseudo-terminal.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <cmath>
#include <memory>

#include "../support/lines.h"
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

// The frequency and attenuator of the meter's last power request; freq 0 when none came.
std::pair<double, bool> lastPowerRequest(const SimMeter& meter) {
    const QList<QByteArray> lines = meter.commands();
    double freq = 0.0;
    bool att = false;
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        if (SimMeter::parsePowerRequest(*it, &freq, &att))
            return {freq, att};
    return {0.0, false};
}

struct Live {
    // On `meter` alone, listed once the driver has found it; on no port at all without one.
    explicit Live(SimMeter* meter)
        : t9(std::make_unique<T9rev6>(
              fast(meter ? simPortEnumeration({meter}) : [] { return QStringList{}; }))),
          ortix(std::make_unique<Ortix>()),
          md(std::make_unique<Meterdeck>(std::vector<iDevice*>{t9.get(), ortix.get()})) {}
    ~Live() {
        md.reset();
        t9.reset();
    }
    bool listed() {
        return QTest::qWaitFor([this] { return md->deviceModel()->rowCount() == 1; }, 5000);
    }
    QStringList logs() const { return logLines(md->logsModel()); }
    std::unique_ptr<T9rev6> t9;
    std::unique_ptr<Ortix> ortix;
    std::unique_ptr<Meterdeck> md;
};

}  // namespace

class ControlE2ETest : public QObject {
    Q_OBJECT
private slots:
    void session() {
        QTemporaryDir dir;
        const QString path = dir.filePath("run.csv");
        SimMeter meter;
        meter.setIdentity("T9", "0001");
        meter.setReadingFunction([](double f, bool att) { return att ? -f / 100.0 : -20.25; });
        Live live(&meter);
        QVERIFY(live.listed());
        live.md->setIsStart(true);
        QVERIFY(live.md->isStart());
        const QStringList lines = live.logs();
        QCOMPARE(lines.mid(0, 3), QStringList({"Подключаюсь к T9, SN: 0001...\n",
                                               "Подключение кT9, SN: 0001 прошло успешно!",
                                               "Установка новой частоты = 3000 кГц"}));
        QVERIFY(lines.at(3).startsWith("Имя файла обновлено, имя файла = T9, SN_ 0001 "));

        live.md->setFileName(QUrl::fromLocalFile(path).toString());
        live.md->setNeedWrite(true);
        QFile f(path);
        QTRY_VERIFY_WITH_TIMEOUT(f.size() > 0, 5000);
        QVERIFY(live.logs().last().endsWith(" Мощность = -20.25 дБм записана в файл."));
        live.md->setNeedWrite(false);
        QCOMPARE(live.md->powerModel()->series().back().freq(), 3000.0);
        QCOMPARE(lastPowerRequest(meter), std::make_pair(3000.0, false));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> records = f.readAll().split('\n');
        const QList<QByteArray> first = records.first().split(';');
        QCOMPARE(first.size(), 5);
        QCOMPARE(first.at(1), QByteArray("3000"));
        QCOMPARE(first.at(3), QByteArray("-20.25"));
        int written = 0;
        for (const QString& l : live.logs())
            written += l.endsWith(" записана в файл.");
        QCOMPARE(written, records.size() - 1);

        live.md->setFreq(1500.0);
        live.md->setAtt(true);
        live.md->setUnit(1);
        // 1500 kHz with the attenuator on reads -15 dBm here: 31.6228 uW.
        QTRY_VERIFY_WITH_TIMEOUT(live.logs().last().endsWith("Мощность = 31.6228 мкВт"), 5000);
        QCOMPARE(live.md->powerModel()->series().back().freq(), 1500.0);
        QCOMPARE(lastPowerRequest(meter), std::make_pair(1500.0, true));

        live.md->setIsStart(false);
        QVERIFY(std::isnan(live.md->power()));
        QVERIFY(!live.t9->driverObject()->pollActive());
        QCOMPARE(live.logs().last(), QStringLiteral("Устройство отключено!"));
    }

    // A row at the driver's start frequency is measured there, the value shown.
    void rowAtStartFrequencyIsMeasuredThere() {
        SimMeter meter;
        Live live(&meter);
        QVERIFY(live.listed());
        DeviceModel* dm = live.md->deviceModel();
        dm->setData(dm->index(0), 300.0, DeviceModel::eFreq);
        live.md->setIsStart(true);
        QTRY_VERIFY_WITH_TIMEOUT(lastPowerRequest(meter).first > 0.0, 5000);
        QCOMPARE(lastPowerRequest(meter).first, 300.0);
        QCOMPARE(live.md->freq(), 300.0);
    }

    void meterLostWhileMeasuring() {
        SimMeter meter;
        Live live(&meter);
        QVERIFY(live.listed());
        live.md->setIsStart(true);
        QTRY_VERIFY_WITH_TIMEOUT(live.md->powerModel()->rowCount() >= 1, 5000);
        meter.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!live.md->isStart(), 5000);
        // Loss reports already queued may still be logged after the close; nothing else may.
        const QString lost = QStringLiteral("Устройств не обнаружено!");
        const QStringList lines = live.logs();
        const qsizetype first = lines.indexOf(lost);
        QVERIFY(first >= 0);
        QCOMPARE(lines.value(first + 1), QStringLiteral("Устройство отключено!"));
        QVERIFY(lines.value(first + 2).startsWith(QStringLiteral("Связь с устройством ")));
        for (qsizetype i = first + 3; i < lines.size(); ++i)
            QCOMPARE(lines.at(i), lost);
        QVERIFY(std::isnan(live.md->power()));
    }

    void noMeterFailsToConnect() {
        Live live(nullptr);
        live.md->setIsStart(true);
        QVERIFY(!live.md->isStart());
        QCOMPARE(live.md->error(), 1);
        QCOMPARE(live.logs().last(), QStringLiteral("Невозможно подключиться к "));
    }
};

QTEST_GUILESS_MAIN(ControlE2ETest)
#include "tst_control_e2e.moc"
