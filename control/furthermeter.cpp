#include "furthermeter.h"

#include <cmath>
#include <limits>
#include <utility>

#include "frequencyrange.h"
#include "statusline.h"
#include "wording.h"

FurtherMeter::FurtherMeter(std::unique_ptr<QObject> device, const QString& identification,
                           const QString& port, LogSink log, std::function<QString(QString)> locate,
                           iWriter* writer)
    : m_object(std::move(device)),
      m_device(dynamic_cast<iDevice*>(m_object.get())),
      m_identification(identification),
      m_port(port),
      m_tag(QStringLiteral("SN ") + serial() + QStringLiteral(": ")),
      m_log(std::move(log)),
      m_locate(std::move(locate)),
      m_keeper([this](const QString& line) { this->log(line); }),
      m_pipeline([this](const QString& line) { this->log(line); }),
      m_model(std::make_unique<PowerDataModel>()),
      m_recorder(writer, [this](const QString& line) { this->log(line); }) {
    m_retry.setInterval(6000);
    connect(&m_retry, &QTimer::timeout, this, &FurtherMeter::retry);
    QObject* object = m_object.get();
    connect(object, SIGNAL(powerUpdated()), this, SLOT(onPower()));
    connect(object, SIGNAL(deviceMissing()), this, SLOT(onMissing()));
    connect(object, SIGNAL(replyLost()), this, SLOT(onReplyLost()));
    connect(object, SIGNAL(replyUnusable(QString)), this, SLOT(onReplyUnusable(QString)));
}

FurtherMeter::~FurtherMeter() {
    if (m_device && m_keeper.connected())
        m_device->stop();
}

QString FurtherMeter::serial() const {
    const qsizetype cut = m_identification.indexOf(QStringLiteral(", SN: "));
    return cut < 0 ? QString() : m_identification.mid(cut + 6).trimmed();
}

bool FurtherMeter::start(double freqKHz, bool att) {
    m_freq = std::isfinite(freqKHz) ? FrequencyRange::limited(freqKHz) : m_freq;
    m_att = att;
    if (!m_device)
        return false;
    // Told before opening: the first request goes out at once.
    m_device->setFreq(m_freq);
    m_device->setAtt(att);
    const QString port = m_port;
    if (port.isEmpty() || !m_device->startAt(m_identification, port)) {
        log(QStringLiteral("Невозможно подключиться к ") + m_identification);
        return false;
    }
    m_keeper.setConnected(true);
    m_keeper.opened(m_identification, port, QDateTime::currentMSecsSinceEpoch());
    emit changed();
    return true;
}

void FurtherMeter::await() {
    m_keeper.setReconnecting(true);
    m_retry.start();
    emit changed();
}

void FurtherMeter::stop() {
    m_retry.stop();
    m_trying = false;
    m_keeper.setReconnecting(false);
    if (m_keeper.connected()) {
        m_keeper.setConnected(false);
        m_keeper.closed();
        if (m_device)
            m_device->stop();
    }
    m_pipeline.drop();
    stopRecording();
    emit changed();
}

FurtherMeter::State FurtherMeter::state(qint64 nowMs) const {
    if (m_keeper.reconnecting() || !m_keeper.connected())
        return State::Awaited;
    const qint64 last =
        m_keeper.lastReadingMs() ? m_keeper.lastReadingMs() : m_keeper.connectedAtMs();
    return nowMs - last >= StatusLine::staleMs || !m_pipeline.live() ? State::Silent
                                                                     : State::Reading;
}

void FurtherMeter::setFreq(double freqKHz) {
    if (!std::isfinite(freqKHz) || freqKHz == m_freq)
        return;
    m_freq = FrequencyRange::limited(freqKHz);
    for (const QString& line : Wording::frequencySet(freqKHz, m_freq))
        log(line);
    if (m_device)
        m_device->setFreq(m_freq);
    emit changed();
}

void FurtherMeter::setAtt(bool att) {
    if (att == m_att)
        return;
    m_att = att;
    log(QStringLiteral("Аттенюатор = ") + Wording::onOff(att));
    if (m_device)
        m_device->setAtt(att);
    emit changed();
}

void FurtherMeter::onPower() {
    if (!m_device || !m_keeper.connected())
        return;
    const QDateTime now = QDateTime::currentDateTime();
    if (m_trying) {
        // It answered as itself at the port: the wait is over.
        m_trying = false;
        m_keeper.restored();
    }
    m_keeper.reading(now.toMSecsSinceEpoch());
    const double dBm = m_pipeline.take(m_device->power());
    QString unit;
    const double value = m_pipeline.shown(&unit);
    const double asked = m_device->readingFreq();
    const PowerData record(now.toLocalTime(), value, unit, std::isfinite(asked) ? asked : m_freq,
                           QStringLiteral("кГц"));
    m_model->append(record);
    log(Recorder::readingLine(record));
    if (m_recorder.on()) {
        const QString failed = m_recorder.write(record);
        if (!failed.isEmpty())
            emit alert(m_tag + failed);
    }
    m_stats.add(dBm);
    m_lastMs = now.toMSecsSinceEpoch();
    emit reading(m_lastMs, dBm);
    emit changed();
}

void FurtherMeter::onMissing() {
    if (!m_keeper.connected())
        return;
    m_keeper.setConnected(false);
    if (m_device)
        m_device->stop();
    m_pipeline.drop();
    const bool firstLoss = !m_trying;
    m_trying = false;
    m_retry.start();
    emit reading(QDateTime::currentMSecsSinceEpoch(), std::numeric_limits<double>::quiet_NaN());
    emit changed();
    // An attempt to take it back that found another device at the port is no new loss.
    if (!firstLoss)
        return;
    const QString lost = m_keeper.lost();
    log(lost);
    emit alert(lost);
}

void FurtherMeter::retry() {
    if (!m_device)
        return;
    const QString listed = m_locate ? m_locate(m_identification) : QString();
    const QString port = listed.isEmpty() ? m_port : listed;
    m_device->setFreq(m_freq);
    m_device->setAtt(m_att);
    if (!m_device->startAt(m_identification, port))
        return;  // tried again after the interval
    m_retry.stop();
    m_port = port;
    // The wait holds until the meter answers as itself.
    m_trying = true;
    m_keeper.setConnected(true);
    m_keeper.opened(m_identification, port, QDateTime::currentMSecsSinceEpoch());
    emit changed();
}

void FurtherMeter::onReplyLost() {
    fault(m_keeper.replyLost());
}

void FurtherMeter::onReplyUnusable(const QString& reply) {
    fault(m_keeper.replyUnusable(reply));
}

void FurtherMeter::fault(bool counted) {
    if (!counted || !m_pipeline.live())
        return;
    m_pipeline.drop();
    emit reading(QDateTime::currentMSecsSinceEpoch(), std::numeric_limits<double>::quiet_NaN());
    emit changed();
}

QString FurtherMeter::startRecording(const QString& mainPath) {
    const QString path = Recorder::besideName(mainPath, serial());
    m_recorder.setFileName(path);
    const QString problem = m_recorder.start();
    log(problem.isEmpty() ? QStringLiteral("Начинаю писать в файл ") + path
                          : QStringLiteral("Запись в файл не начата: ") + problem);
    return problem;
}

void FurtherMeter::stopRecording() {
    if (!m_recorder.on())
        return;
    m_recorder.stop();
    log(QStringLiteral("Запись в файл остановлена."));
    m_recorder.endFailedRun(QStringLiteral("Не записано показаний: "));
}

void FurtherMeter::unitChanged(int unit) {
    m_pipeline.setUnit(unit);
    m_model->clear();
    m_stats.reset();
    emit changed();
}
