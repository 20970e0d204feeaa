#include "meterdeck.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>
#include <limits>

#include "wording.h"

Meterdeck::Meterdeck(const std::vector<iDevice*>& devices, iWriter* writer) : QObject(nullptr) {
    setUp(writer);
    attach(devices);
}

Meterdeck::~Meterdeck() {
    // Normally never destroyed; when it is, it releases what it made itself, its meters first
    // (they stop their threads) and its writer last.
    m_ownedDevices.clear();
    delete m_logsModel;
    delete m_powerModel;
    delete m_deviceModel;
}

void Meterdeck::setUp(iWriter* suppliedWriter) {
    m_deviceModel = new DeviceModel(nullptr);
    m_powerModel = new PowerDataModel();
    m_logsModel = new LogsModel(nullptr);
    const LogSink sink = [this](const QString& line) { log(line); };
    m_pipeline = std::make_unique<ReadingPipeline>(sink);
    m_keeper = std::make_unique<ConnectionKeeper>(sink);
    m_meters = std::make_unique<MeterList>(m_deviceModel, sink);
    m_recorder = std::make_unique<Recorder>(suppliedWriter, sink);
    setUpFurther(suppliedWriter);
}

void Meterdeck::attach(const std::vector<iDevice*>& list) {
    devices = list;
    currentDevice = devices.empty() ? nullptr : devices.front();
    for (iDevice* device : devices) {
        QObject* object = dynamic_cast<QObject*>(device);
        if (!object)
            continue;
        connect(object, SIGNAL(powerUpdated()), this, SLOT(slot_updatePower()));
        connect(object, SIGNAL(devListUpdated()), this, SLOT(slot_updateDevList()));
        connect(object, SIGNAL(deviceMissing()), this, SLOT(slot_deviceMissing()));
        // Reply faults are reported by the families whose drivers tell them apart.
        const QMetaObject* meta = object->metaObject();
        if (meta->indexOfSignal("replyLost()") >= 0)
            connect(object, SIGNAL(replyLost()), this, SLOT(slot_replyLost()));
        if (meta->indexOfSignal("replyUnusable(QString)") >= 0)
            connect(object, SIGNAL(replyUnusable(QString)), this,
                    SLOT(slot_replyUnusable(QString)));
        if (meta->indexOfSignal("portRefused(QString)") >= 0)
            connect(object, SIGNAL(portRefused(QString)), this, SLOT(slot_portRefused(QString)));
        if (meta->indexOfSignal("portSlow(QString)") >= 0)
            connect(object, SIGNAL(portSlow(QString)), this, SLOT(slot_portSlow(QString)));
    }
    connect(this, &Meterdeck::offsetEnChanged, this, &Meterdeck::slot_offsetSwitched);
}

// ---- property writes ----

void Meterdeck::setAtt(bool att) {
    if (att == m_att)
        return;
    m_att = att;
    log(QStringLiteral("Аттенюатор = ") + Wording::onOff(att));
    if (currentDevice)
        currentDevice->setAtt(att);
    // The selected meter's entry keeps what its converter was told, so that its switch shows it
    // again after the list is rebuilt and a later connection sends it.
    const int row = selectedDevice();
    if (row >= 0)
        m_deviceModel->setData(m_deviceModel->index(row), att, DeviceModel::eAtt);
    emit attChanged();
}

void Meterdeck::setFreq(double freq) {
    // An empty field arrives as NaN; "nan" must never reach the meter. The notify lets a view
    // show the value kept.
    if (!std::isfinite(freq)) {
        log(QStringLiteral("Частота не изменена: введено не число."));
        emit freqChanged();
        return;
    }
    if (freq == m_freq)
        return;
    m_freq = FrequencyRange::limited(freq);
    for (const QString& line : Wording::frequencySet(freq, m_freq))
        log(line);
    if (currentDevice)
        currentDevice->setFreq(m_freq);
    emit freqChanged();
}

void Meterdeck::setNeedWrite(bool needWrite) {
    if (needWrite == m_recorder->on())
        return;
    if (needWrite) {
        // A recording that could not write a single line must not start, blinking as if it did:
        // the operator is told why.
        const QString problem = m_recorder->start();
        if (!problem.isEmpty()) {
            const QString line = QStringLiteral("Запись в файл не начата: ") + problem;
            log(line);
            emit needWriteChanged();
            emit alert(line);
            return;
        }
        emit recordCountsChanged();
    } else {
        m_recorder->stop();
    }
    const QString refused = m_further->setRecording(needWrite ? fileName() : QString());
    emit needWriteChanged();
    log(needWrite ? QStringLiteral("Начинаю писать в файл ") + m_recorder->fileName()
                  : QStringLiteral("Запись в файл остановлена."));
    if (!needWrite)
        m_recorder->endFailedRun(QStringLiteral("Не записано показаний: "));
    if (!refused.isEmpty())
        emit alert(refused);
}

void Meterdeck::setFileName(const QString& url) {
    m_recorder->setFileName(url);
    emit fileNameChanged();
}

void Meterdeck::setOffset_dB(double offset) {
    m_pipeline->setOffset(offset);
    emit offset_dBChanged();
}

void Meterdeck::setOffsetEn(bool offsetEn) {
    if (m_pipeline->setOffsetEn(offsetEn))
        emit offsetEnChanged();
}

void Meterdeck::setUnit(int unit) {
    if (unit == m_pipeline->unit())
        return;
    if (!m_pipeline->setUnit(unit)) {
        emit unitChanged();
        return;
    }
    emit unitChanged();
    emit unitStrChanged();
    // The live series and its figures start again in the new unit; an opened recording stays,
    // shown in the new unit.
    if (m_powerModel->holdsFile())
        m_powerModel->setUnitFamily(unit);
    else
        m_powerModel->clear();
    m_stats.reset();
    m_further->setUnit(unit);
    emit statisticsChanged();
    // The read-out takes the number in the new unit now, together with its unit text, instead
    // of showing the old number under the new unit until the next reading.
    emit powerUpdated();
}

void Meterdeck::setUnitStr(const QString& unitStr) {
    m_pipeline->setUnitName(unitStr);
    emit unitStrChanged();
}

void Meterdeck::setAverEn(bool averEn) {
    if (!m_pipeline->setAverEn(averEn))
        return;
    emit averEnChanged();
    // `aver` reads 2 while averaging is off: the read-out's decimals follow at once.
    if (m_pipeline->averStep() != 2)
        emit averChanged();
}

void Meterdeck::setAver(int aver) {
    if (aver == m_pipeline->averStep())
        return;
    m_pipeline->setAver(aver);
    emit averChanged();
}

void Meterdeck::setIsStart(bool isStart) {
    // The operator's own word ends a wait for a lost meter, whichever way it goes.
    if (m_keeper->setReconnecting(false)) {
        emit reconnectingChanged();
        if (!isStart)
            log(QStringLiteral("Повторное подключение отменено."));
    }
    if (isStart == m_keeper->connected())
        return;
    if (isStart) {
        // Counted as connected while opening: whoever reacts to the settings sent sees it so.
        m_keeper->setConnected(true);
        m_keeper->setConnected(openConnection());
        if (!m_keeper->connected()) {
            ++m_error;
            emit errorChanged();
        }
    } else {
        m_keeper->setConnected(false);
        closeConnection();
        m_further->clear();
    }
    emit isStartChanged();
}

void Meterdeck::setError(int error) {
    if (error == 0)
        return;
    ++m_error;
    emit errorChanged();
}

void Meterdeck::setRelative(bool relative) {
    if (relative == m_pipeline->relative())
        return;
    const bool changed = m_pipeline->setRelative(relative);
    emit relativeChanged();
    if (changed)
        emit powerUpdated();
}

// ---- readings ----

void Meterdeck::slot_updatePower() {
    readingCycle(true);
}

void Meterdeck::slot_offsetSwitched() {
    // Without a current reading there is nothing to show again: the meter's last value would be
    // presented, freshly stamped, as a live one.
    if (m_pipeline->live())
        readingCycle(false);
}

void Meterdeck::readingCycle(bool fromMeter) {
    const QDateTime now = QDateTime::currentDateTime();
    if (fromMeter) {
        m_keeper->reading(now.toMSecsSinceEpoch());
        // A recording opened while the meter was away (or still being read when it came back)
        // gives the chart back to the meter's readings.
        if (m_powerModel->holdsFile()) {
            m_powerModel->clear();
            log(QStringLiteral("Показ записи закончен: снова идут показания устройства."));
        }
    }
    const double dBm = m_pipeline->take(currentDevice ? currentDevice->power()
                                                      : std::numeric_limits<double>::quiet_NaN());
    const double value = power();
    // The frequency the reading was asked at: the setting may have changed since.
    const double asked = currentDevice ? currentDevice->readingFreq() : m_freq;
    PowerData record(now.toLocalTime(), value, unitStr(), std::isfinite(asked) ? asked : m_freq,
                     QStringLiteral("кГц"));
    record.setRepeat(!fromMeter);
    m_powerModel->append(record);
    log(Recorder::readingLine(record));
    // Only what the meter measured goes into the record file: a cycle re-run for an offset switch
    // re-stamps an older (or, when disconnected, no) reading with the current time.
    if (m_recorder->on() && fromMeter) {
        const QString failed = m_recorder->write(record);
        emit recordCountsChanged();
        if (!failed.isEmpty())
            emit alert(failed);
    }
    if (fromMeter) {
        m_further->mainReading(now.toMSecsSinceEpoch(), dBm, record.freq());
        m_stats.add(dBm);
        emit statisticsChanged();
    }
    emit powerUpdated();
}

double Meterdeck::power() {
    QString text;
    const double value = m_pipeline->shown(&text);
    // Announced only when the prefix moves: the read-out reads `power` inside its own binding,
    // and a notify on every read would re-trigger that binding.
    if (unitStr() != text)
        setUnitStr(text);
    return value;
}

void Meterdeck::showNoValue() {
    m_pipeline->drop();
    m_further->mainReading(QDateTime::currentMSecsSinceEpoch(), std::nan(""));
    emit powerUpdated();
}

QString Meterdeck::statsText() const {
    return m_stats.text(PowerUnits::Family(unit()));
}

void Meterdeck::resetStatistics() {
    m_stats.reset();
    m_further->resetStatistics();
    log(QStringLiteral("Статистика сброшена."));
    emit statisticsChanged();
}

// ---- connection ----

void Meterdeck::setSelectedDevice(int row) {
    if (!m_meters->selectable(row) || m_keeper->connected()) {
        // Refused (or the meter in use cannot change): views go back to the row that holds.
        emit selectedDeviceChanged();
        return;
    }
    if (m_meters->select(row))
        emit selectedDeviceChanged();
}

bool Meterdeck::openConnection(bool resume) {
    // A connection that picks up after a loss keeps its chart, its file and its settings.
    if (!resume)
        m_powerModel->clear();
    const QString name = m_meters->selected();
    log(QStringLiteral("Подключаюсь к ") + name + QStringLiteral("...\n"));
    // The facade's list may be ordered differently from the model's: look the meter up by name.
    const int index = currentDevice ? int(currentDevice->devList().indexOf(name)) : -1;
    const int row = selectedDevice();
    if (currentDevice && index >= 0) {
        // The first request may go out before start() has returned here: the meter has its
        // frequency and converter state before it is opened, never the previous meter's.
        const bool ownEntry = !resume && row >= 0;
        const double freq = ownEntry ? m_deviceModel->items().at(row).freq() : m_freq;
        currentDevice->setFreq(std::isfinite(freq) ? FrequencyRange::limited(freq) : m_freq);
        currentDevice->setAtt(ownEntry ? m_deviceModel->items().at(row).att() : m_att);
    }
    if (!currentDevice || name.isEmpty() || index < 0 || !currentDevice->start(index)) {
        log(QStringLiteral("Невозможно подключиться к ") + name);
        return false;
    }
    m_keeper->opened(name, currentDevice->portName(), QDateTime::currentMSecsSinceEpoch());
    if (resume) {
        if (m_recorder->on())
            log(QStringLiteral("Запись продолжается в файл ") + m_recorder->fileName() +
                QStringLiteral(" после перерыва."));
        return true;
    }
    m_stats.reset();
    emit statisticsChanged();
    // A fresh connection may be another meter or set-up: the old reference means nothing to it.
    setRelative(false);
    if (row >= 0) {
        // The meter measures with its own entry's settings: the frequency and the converter
        // state its switch shows.
        setFreq(m_deviceModel->items().at(row).freq());
        setAtt(m_deviceModel->items().at(row).att());
    }
    updateFileName(true);
    return true;
}

void Meterdeck::closeConnection() {
    m_keeper->closed();
    showNoValue();
    if (currentDevice)
        currentDevice->stop();
}

void Meterdeck::slot_deviceMissing() {
    log(QStringLiteral("Устройств не обнаружено!"));
    if (!m_keeper->connected())
        return;
    m_keeper->setConnected(false);
    closeConnection();
    // Not the operator's doing: the same meter is taken back as soon as it is found again.
    const QString lost = m_keeper->lost();
    emit reconnectingChanged();
    log(lost);
    emit isStartChanged();
    emit alert(lost);
}

void Meterdeck::slot_portRefused(const QString& portName) {
    const QString first = m_meters->portRefused(portName);
    if (!first.isEmpty())
        emit alert(first);
}

void Meterdeck::slot_portSlow(const QString& portName) {
    m_meters->portSlow(portName);
}

void Meterdeck::slot_replyLost() {
    faultyReply(m_keeper->replyLost());
}

void Meterdeck::slot_replyUnusable(const QString& reply) {
    faultyReply(m_keeper->replyUnusable(reply));
}

void Meterdeck::faultyReply(bool counted) {
    // The last value is no longer current: the read-out shows none until the next reading.
    if (counted && (m_pipeline->live() || !std::isnan(m_pipeline->dBm())))
        showNoValue();
}

void Meterdeck::slot_updateDevList() {
    // The list of an open connection stays as it is: the meter in use must not leave it.
    if (m_keeper->connected())
        return;
    const QStringList listed = currentDevice ? currentDevice->devList() : QStringList();
    m_meters->update(listed, m_keeper->reconnecting() ? m_keeper->meter() : QString());
    // Always announced: the list was reset, and views must pick the row up again.
    emit selectedDeviceChanged();

    if (!m_keeper->awaits(m_meters->selected()))
        return;
    if (!openConnection(true))
        return;  // tried again after the next pass
    m_keeper->restored();
    emit reconnectingChanged();
    emit isStartChanged();
}
