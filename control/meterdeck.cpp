#include "meterdeck.h"

#include "csvwriter.h"

#include <QDateTime>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "averagingfilter.h"
#include "powerunits.h"

namespace {

QString onOff(bool on) {
    return on ? QStringLiteral("вкл.") : QStringLiteral("выкл.");
}

QString num(double value) {
    return QString::number(value, 'g', 6);
}

const QString kReadingTime = QStringLiteral("dd.MM.yy HH:mm:ss");

// Leaves room for the time stamp and extension within the 255-byte name limit of common
// file systems.
constexpr int kMaxStemBytes = 200;

}  // namespace

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
    if (suppliedWriter) {
        writer = suppliedWriter;
    } else {
        m_ownedWriter = std::make_unique<CsvWriter>();
        writer = m_ownedWriter.get();
    }
    m_deviceModel = new DeviceModel(nullptr);
    m_powerModel = new PowerDataModel();
    m_logsModel = new LogsModel(nullptr);

    m_unitNames = {QStringLiteral("дБм"), QStringLiteral("Ватт"), QStringLiteral("В")};
    m_averNames = {QStringLiteral("авто 1 дБ"), QStringLiteral("авто 0.1 дБ"),
                   QStringLiteral("авто 0.01 дБ"), QStringLiteral("авто 0.001 дБ")};
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
    log(QStringLiteral("Аттенюатор = ") + onOff(att));
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
    m_freq = freq < freqMin ? freqMin : std::min(freq, freqMax);
    // The meter measures at the limit: the operator is told that it is not what was typed.
    if (m_freq != freq)
        log(QStringLiteral("Частота ") + num(freq) +
            QStringLiteral(" кГц вне диапазона 300 … 3 200 000 кГц."));
    log(QStringLiteral("Установка новой частоты = ") + num(m_freq) + QStringLiteral(" кГц"));
    if (currentDevice)
        currentDevice->setFreq(m_freq);
    emit freqChanged();
}

void Meterdeck::setNeedWrite(bool needWrite) {
    if (needWrite == m_needWrite)
        return;
    // A recording that could not write a single line must not start, blinking as if it did:
    // the operator is told why.
    if (needWrite) {
        const QString problem = recordFileProblem(m_fileName);
        if (!problem.isEmpty()) {
            const QString line = QStringLiteral("Запись в файл не начата: ") + problem;
            log(line);
            emit needWriteChanged();
            emit alert(line);
            return;
        }
    }
    m_needWrite = needWrite;
    if (needWrite) {
        m_writtenLines = m_failedTotal = 0;
        emit recordCountsChanged();
    }
    emit needWriteChanged();
    log(needWrite ? QStringLiteral("Начинаю писать в файл ") + m_fileName
                  : QStringLiteral("Запись в файл остановлена."));
    if (!needWrite)
        endFailedWrites(QStringLiteral("Не записано показаний: "));
}

void Meterdeck::setFileName(const QString& url) {
    const QUrl parsed(url, QUrl::TolerantMode);
    // Qt's own dialogs hand over a typed name as a plain path ("/home/x.csv", "C:/x.csv"):
    // that is a local file too. Other schemes are no file to write.
    if (parsed.isLocalFile())
        m_fileName = parsed.toLocalFile();
    else if (parsed.scheme().size() <= 1)
        m_fileName = url;
    else
        m_fileName.clear();
    emit fileNameChanged();
}

QString Meterdeck::recordFileProblem(const QString& path) {
    if (path.isEmpty())
        return QStringLiteral("файл для записи не выбран.");
    const QFileInfo file(path);
    if (file.exists()) {
        // A device or pipe would block or swallow the recording.
        if (!file.isFile())
            return path + QStringLiteral(" не является обычным файлом.");
        if (!file.isWritable())
            return QStringLiteral("нет права записи в файл ") + path + '.';
        return {};
    }
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("папка ") + folder.filePath() + QStringLiteral(" не существует.");
    if (!folder.isWritable())
        return QStringLiteral("нет права записи в папку ") + folder.filePath() + '.';
    return {};
}

void Meterdeck::setOffset_dB(double offset) {
    // A NaN offset would turn every later reading into NaN.
    if (!std::isfinite(offset)) {
        log(QStringLiteral("Смещение не изменено: введено не число."));
        emit offset_dBChanged();
        return;
    }
    // No attenuator or amplifier on a bench is beyond this; 1e300 dB would wreck every figure.
    if (std::fabs(offset) > offsetLimit) {
        log(QStringLiteral("Смещение ") + num(offset) +
            QStringLiteral(" дБ не принято: допустимо от -100 до +100 дБ."));
        emit offset_dBChanged();
        return;
    }
    m_offset_dB = offset;
    log(QStringLiteral("Смещение = ") + num(offset) + QStringLiteral(" дБ"));
    emit offset_dBChanged();
}

void Meterdeck::setOffsetEn(bool offsetEn) {
    if (offsetEn == m_offsetEn)
        return;
    m_offsetEn = offsetEn;
    log(QStringLiteral("Смещение = ") + onOff(offsetEn));
    emit offsetEnChanged();
}

void Meterdeck::setUnit(int unit) {
    if (unit == m_unit)
        return;
    if (unit < 0 || unit >= m_unitNames.size()) {
        emit unitChanged();
        return;
    }
    m_unit = unit;
    log(QStringLiteral("Единицы измерения изменены на ") + m_unitNames.at(unit));
    emit unitChanged();
    emit unitStrChanged();
    // The live series and its figures start again in the new unit; an opened recording stays,
    // shown in the new unit.
    if (m_powerModel->holdsFile())
        m_powerModel->setUnitFamily(unit);
    else
        m_powerModel->clear();
    m_stats.reset();
    emit statisticsChanged();
    // The read-out takes the number in the new unit now, together with its unit text, instead
    // of showing the old number under the new unit until the next reading.
    emit powerUpdated();
}

void Meterdeck::setUnitStr(const QString& unitStr) {
    m_unitNames[m_unit] = unitStr;
    emit unitStrChanged();
}

void Meterdeck::setAverEn(bool averEn) {
    if (averEn == m_averEn)
        return;
    m_averEn = averEn;
    log(QStringLiteral("Усреднение  ") + onOff(averEn));
    emit averEnChanged();
    // `aver` reads 2 while averaging is off: the read-out's decimals follow at once.
    if (m_aver != 2)
        emit averChanged();
}

void Meterdeck::setAver(int aver) {
    if (aver == m_aver)
        return;
    if (aver < 0 || aver >= m_averNames.size()) {
        emit averChanged();
        return;
    }
    m_aver = aver;
    log(QStringLiteral("Усреднение обновлено = ") + m_averNames.at(aver));
    emit averChanged();
}

void Meterdeck::setIsStart(bool isStart) {
    // The operator's own word ends a wait for a lost meter, whichever way it goes.
    if (m_reconnecting) {
        setReconnecting(false);
        if (!isStart)
            log(QStringLiteral("Повторное подключение отменено."));
    }
    if (isStart == m_isStart)
        return;
    m_isStart = isStart;
    if (isStart) {
        m_isStart = openConnection();
        if (!m_isStart) {
            ++m_error;
            emit errorChanged();
        }
    } else {
        closeConnection();
    }
    emit isStartChanged();
}

void Meterdeck::setError(int error) {
    if (error == 0)
        return;
    ++m_error;
    emit errorChanged();
}

// ---- power pipeline ----

void Meterdeck::slot_updatePower() {
    readingCycle(true);
}

void Meterdeck::slot_offsetSwitched() {
    // Without a current reading there is nothing to show again: the meter's last value would be
    // presented, freshly stamped, as a live one.
    if (m_live)
        readingCycle(false);
}

void Meterdeck::readingCycle(bool fromMeter) {
    if (fromMeter) {
        endFaultRun();
        m_live = true;
        // A recording opened while the meter was away (or still being read when it came back)
        // gives the chart back to the meter's readings.
        if (m_powerModel->holdsFile()) {
            m_powerModel->clear();
            log(QStringLiteral("Показ записи закончен: снова идут показания устройства."));
        }
    }
    const QDateTime now = QDateTime::currentDateTime();
    if (fromMeter)
        m_lastReadingMs = now.toMSecsSinceEpoch();
    const double raw =
        currentDevice ? currentDevice->power() : std::numeric_limits<double>::quiet_NaN();
    m_power = raw + (m_offsetEn ? m_offset_dB : 0.0);
    if (m_averEn)
        m_power = AveragingFilter(m_power, m_aver).getValue();
    const QDateTime local = now.toLocalTime();
    const double value = power();
    // The frequency the reading was asked at: the setting may have changed since.
    const double asked = currentDevice ? currentDevice->readingFreq() : m_freq;
    PowerData record(local, value, m_unitNames.at(m_unit), std::isfinite(asked) ? asked : m_freq,
                     QStringLiteral("кГц"));
    record.setRepeat(!fromMeter);
    m_powerModel->append(record);
    log(readingLine(record));
    // Only what the meter measured goes into the record file: a cycle re-run for an offset switch
    // re-stamps an older (or, when disconnected, no) reading with the current time.
    if (m_needWrite && fromMeter)
        writeToFile(record);
    if (fromMeter) {
        m_stats.add(m_power);
        emit statisticsChanged();
    }
    emit powerUpdated();
}

double Meterdeck::power() {
    const auto family = PowerUnits::Family(m_unit);
    if (family == PowerUnits::Family::Dbm)
        return m_power;
    PowerUnits::Unit unit = PowerUnits::displayUnit(m_power, family);
    double value = PowerUnits::fromDbm(m_power, unit);
    // The read-out rounds to `aver` decimals: what would show as 1000.00 is 1.00 of the next
    // prefix.
    const double scale = std::pow(10.0, aver());
    if (unit.step < PowerUnits::MaxStep && std::round(value * scale) / scale >= 1000.0) {
        ++unit.step;
        value = PowerUnits::fromDbm(m_power, unit);
    }
    // Announced only when the prefix moves: the read-out reads `power` inside its own binding,
    // and a notify on every read would re-trigger that binding.
    const QString text = PowerUnits::text(unit);
    if (m_unitNames.at(m_unit) != text)
        setUnitStr(text);
    return value;
}

// ---- connection ----

QString Meterdeck::selectedDeviceName() const {
    return m_selectedInfo;
}

int Meterdeck::selectedDevice() const {
    const QList<DeviceItem>& items = m_deviceModel->items();
    for (int i = 0; i < items.size(); ++i)
        if (items.at(i).info() == m_selectedInfo)
            return i;
    return -1;
}

void Meterdeck::setSelectedDevice(int row) {
    const QList<DeviceItem>& items = m_deviceModel->items();
    if (row < 0 || row >= items.size() || m_isStart) {
        // Refused (or the meter in use cannot change): views go back to the row that holds.
        emit selectedDeviceChanged();
        return;
    }
    const bool changed = items.at(row).info() != m_selectedInfo;
    m_selectedInfo = items.at(row).info();
    if (changed)
        emit selectedDeviceChanged();
}

bool Meterdeck::openConnection(bool resume) {
    // A connection that picks up after a loss keeps its chart, its file and its settings.
    if (!resume)
        m_powerModel->clear();
    const QString name = selectedDeviceName();
    log(QStringLiteral("Подключаюсь к ") + name + QStringLiteral("...\n"));
    // The facade's list may be ordered differently from the model's: look the meter up by name.
    const int index = currentDevice ? int(currentDevice->devList().indexOf(name)) : -1;
    const int row = selectedDevice();
    if (currentDevice && index >= 0) {
        // The first request may go out before start() has returned here: the meter has its
        // frequency and converter state before it is opened, never the previous meter's.
        const bool ownEntry = !resume && row >= 0;
        const double freq = ownEntry ? m_deviceModel->items().at(row).freq() : m_freq;
        currentDevice->setFreq(std::isfinite(freq) ? std::clamp(freq, freqMin, freqMax) : m_freq);
        currentDevice->setAtt(ownEntry ? m_deviceModel->items().at(row).att() : m_att);
    }
    if (!currentDevice || name.isEmpty() || index < 0 || !currentDevice->start(index)) {
        log(QStringLiteral("Невозможно подключиться к ") + name);
        return false;
    }
    m_connectedInfo = name;
    m_connectedPort = currentDevice->portName();
    m_connectedAtMs = QDateTime::currentMSecsSinceEpoch();
    m_lastReadingMs = 0;
    m_faultKind = ReplyFault::None;
    m_faultCount = 0;
    log(QStringLiteral("Подключение к") + name + QStringLiteral(" прошло успешно!"));
    if (resume) {
        if (m_needWrite)
            log(QStringLiteral("Запись продолжается в файл ") + m_fileName +
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

void Meterdeck::showNoValue() {
    m_live = false;
    m_power = std::numeric_limits<double>::quiet_NaN();
    emit powerUpdated();
}

void Meterdeck::closeConnection() {
    log(QStringLiteral("Устройство отключено!"));
    m_faultKind = ReplyFault::None;
    m_faultCount = 0;
    showNoValue();
    if (currentDevice)
        currentDevice->stop();
}

void Meterdeck::setReconnecting(bool on) {
    if (on == m_reconnecting)
        return;
    m_reconnecting = on;
    emit reconnectingChanged();
}

void Meterdeck::slot_deviceMissing() {
    log(QStringLiteral("Устройств не обнаружено!"));
    if (!m_isStart)
        return;
    m_isStart = false;
    closeConnection();
    // Not the operator's doing: the same meter is taken back as soon as it is found again.
    setReconnecting(true);
    const QString lost = QStringLiteral("Связь с устройством ") + m_connectedInfo +
                         QStringLiteral(" потеряна. Подключусь снова, когда оно появится.");
    log(lost);
    emit isStartChanged();
    emit alert(lost);
}

void Meterdeck::slot_portRefused(const QString& portName) {
    if (m_refusedPorts.contains(portName))
        return;
    m_refusedPorts.insert(portName);
    const QString text =
        QStringLiteral("Порт ") + portName +
        QStringLiteral(
            " не открывается: нет прав на него (или его занимает другая программа). "
            "Чтобы искать на нём устройства, добавьте пользователя в группу, "
            "которой принадлежит порт (обычно dialout: sudo usermod -aG dialout "
            "имя_пользователя), и войдите в систему заново.");
    log(text);
    // Told once: a user without the rights usually lacks them on every port.
    if (m_refusedPorts.size() == 1)
        emit alert(text);
}

void Meterdeck::slot_portSlow(const QString& portName) {
    if (m_slowPorts.contains(portName))
        return;
    m_slowPorts.insert(portName);
    log(QStringLiteral("Порт ") + portName +
        QStringLiteral(" отвечает слишком медленно: устройство на нём не опознано."));
}

void Meterdeck::slot_replyLost() {
    replyFault(ReplyFault::Lost, QString());
}

void Meterdeck::slot_replyUnusable(const QString& reply) {
    // The text comes from the meter: shown on one line, without control characters.
    QString shown = reply;
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    replyFault(ReplyFault::Unusable, shown);
}

void Meterdeck::replyFault(ReplyFault kind, const QString& detail) {
    if (!m_isStart)
        return;
    if (kind != m_faultKind) {
        endFaultRun();
        m_faultKind = kind;
        log(kind == ReplyFault::Lost
                ? QStringLiteral("Устройство не отвечает.")
                : QStringLiteral("Ответ устройства не содержит показания: ") + detail);
    }
    ++m_faultCount;
    // The last value is no longer current: the read-out shows none until the next reading.
    if (m_live || !std::isnan(m_power))
        showNoValue();
}

void Meterdeck::endFaultRun() {
    if (m_faultKind == ReplyFault::None)
        return;
    log((m_faultKind == ReplyFault::Lost
             ? QStringLiteral("Устройство снова отвечает, пропущено ответов: ")
             : QStringLiteral("Показания снова поступают, неверных ответов: ")) +
        QString::number(m_faultCount));
    m_faultKind = ReplyFault::None;
    m_faultCount = 0;
}

void Meterdeck::slot_updateDevList() {
    // The list of an open connection stays as it is: the meter in use must not leave it.
    if (m_isStart)
        return;
    // A meter that left the list and comes back gets the settings the operator made for it.
    for (const DeviceItem& item : m_deviceModel->items())
        m_meterSettings.insert(item.info(), item);
    QList<DeviceItem> items;
    QStringList listed;
    if (currentDevice)
        listed = currentDevice->devList();
    for (const QString& info : std::as_const(listed))
        items.append(m_meterSettings.value(info, DeviceItem(info)));

    // The selection is settled before the model announces the new list, so that whoever reacts
    // to it sees the meter a connection would open: a lost meter awaited, else the one
    // selected, else the first row the model will show (a meter that stays before a new one).
    QString selected;
    if (m_reconnecting && listed.contains(m_connectedInfo)) {
        selected = m_connectedInfo;
    } else if (listed.contains(m_selectedInfo)) {
        selected = m_selectedInfo;
    } else {
        for (const DeviceItem& item : m_deviceModel->items())
            if (selected.isEmpty() && listed.contains(item.info()))
                selected = item.info();
        if (selected.isEmpty() && !listed.isEmpty())
            selected = listed.first();
    }
    m_selectedInfo = selected;
    m_deviceModel->setDevList(items);
    // Always announced: the list was reset, and views must pick the row up again.
    emit selectedDeviceChanged();

    if (!m_reconnecting || m_selectedInfo != m_connectedInfo)
        return;
    if (!openConnection(true))
        return;  // tried again after the next pass
    // Connected before the wait is announced over: whoever reacts sees the meter back.
    m_isStart = true;
    log(QStringLiteral("Связь с устройством ") + m_connectedInfo +
        QStringLiteral(" восстановлена."));
    setReconnecting(false);
    emit isStartChanged();
}

// ---- recording ----

QString Meterdeck::fileStem(const QString& identification) {
    QString stem = identification;
    stem.replace(QLatin1Char('/'), QLatin1Char('_'));
    stem.replace(QLatin1Char(':'), QLatin1Char('_'));
    // The text comes from the meter: nothing in it may leave the working directory or make a
    // name that Windows or Linux refuses.
    static const QString forbidden = QStringLiteral("\\*?\"<>|");
    for (QChar& c : stem) {
        if (forbidden.contains(c) || c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    }
    if (stem.size() > kMaxStemBytes)
        stem.truncate(kMaxStemBytes);
    if (!stem.isEmpty() && stem.back().isHighSurrogate())
        stem.chop(1);
    while (stem.toUtf8().size() > kMaxStemBytes) {
        stem.chop(1);
        if (!stem.isEmpty() && stem.back().isHighSurrogate())
            stem.chop(1);
    }
    return stem;
}

void Meterdeck::updateFileName(bool needLog) {
    if (m_needWrite)
        setNeedWrite(false);
    const QDateTime now = QDateTime::currentDateTime();
    m_fileName = fileStem(selectedDeviceName()) + QLatin1Char(' ') +
                 now.toLocalTime().toString(QStringLiteral("dd-MM-yyyy_HH-mm-ss")) +
                 QStringLiteral(".csv");
    if (needLog)
        log(QStringLiteral("Имя файла обновлено, имя файла = ") + m_fileName);
    emit fileNameChanged();
}

void Meterdeck::endFailedWrites(const QString& prefix) {
    if (m_failedWrites == 0)
        return;
    log(prefix + QString::number(m_failedWrites));
    m_failedWrites = 0;
}

// "06.12.26 14:05:09 Мощность = -12.3457 дБм": the reading's log line, also the start of the
// line that says it was written.
QString Meterdeck::readingLine(const PowerData& record) {
    return record.time().toString(kReadingTime) + QStringLiteral(" Мощность = ") +
           num(record.power()) + QLatin1Char(' ') + record.powerUnit();
}

void Meterdeck::writeToFile(const PowerData& record) {
    const bool written = writer->write(m_fileName, record);
    ++(written ? m_writtenLines : m_failedTotal);
    emit recordCountsChanged();
    if (written) {
        endFailedWrites(QStringLiteral("Запись в файл возобновлена, не записано показаний: "));
        log(readingLine(record) + QStringLiteral(" записана в файл."));
    } else if (m_failedWrites++ == 0) {
        // Said once per run of failures, not once a second; the run's end gives its count.
        const QString line = QStringLiteral("Внимание! Запись невозможна в файл ") + m_fileName;
        log(line);
        emit alert(line);
    }
}

// ---- bench tools: statistics, relative read-out, status line ----

QString Meterdeck::statsText() const {
    return m_stats.text(PowerUnits::Family(m_unit));
}

void Meterdeck::resetStatistics() {
    m_stats.reset();
    log(QStringLiteral("Статистика сброшена."));
    emit statisticsChanged();
}

double Meterdeck::relativeValue() const {
    return m_relative && m_live ? m_power - m_reference : std::numeric_limits<double>::quiet_NaN();
}

void Meterdeck::setRelative(bool relative) {
    if (relative == m_relative)
        return;
    if (relative && !(m_live && std::isfinite(m_power))) {
        // Nothing current to refer to: the control goes back.
        log(QStringLiteral("Относительный отсчёт не включён: нет текущего показания."));
        emit relativeChanged();
        return;
    }
    m_relative = relative;
    if (relative) {
        m_reference = m_power;
        log(QStringLiteral("Относительный отсчёт: опорный уровень ") + num(m_power) +
            QStringLiteral(" дБм"));
    } else {
        log(QStringLiteral("Относительный отсчёт выключен."));
    }
    emit relativeChanged();
    emit powerUpdated();
}

bool Meterdeck::stale(qint64 nowMs) const {
    // A lost meter awaited gives no readings either: its age goes on counting.
    if (!m_isStart && !m_reconnecting)
        return false;
    return nowMs - (m_lastReadingMs ? m_lastReadingMs : m_connectedAtMs) >= staleMs;
}

QString Meterdeck::statusPlace(qint64 nowMs) const {
    QStringList parts;
    if (m_isStart || m_reconnecting) {
        if (m_reconnecting)
            parts << QStringLiteral("ожидание устройства ") + m_connectedInfo;
        else
            parts << (m_connectedPort.isEmpty()
                          ? m_connectedInfo
                          : m_connectedPort + QStringLiteral(" · ") + m_connectedInfo);
        const qint64 since = m_lastReadingMs ? m_lastReadingMs : m_connectedAtMs;
        const QString age = QString::number(std::max<qint64>(0, nowMs - since) / 1000.0, 'f', 1);
        if (stale(nowMs))
            parts << (m_lastReadingMs
                          ? QStringLiteral("нет новых показаний ") + age + QStringLiteral(" с")
                          : QStringLiteral("нет показаний ") + age + QStringLiteral(" с"));
        else if (m_lastReadingMs)
            parts << QStringLiteral("показание ") + age + QStringLiteral(" с назад");
    } else {
        parts << QStringLiteral("не подключено");
    }
    if (m_needWrite)
        parts << QStringLiteral("запись: ") + QFileInfo(m_fileName).fileName();
    return parts.join(QStringLiteral(" · "));
}

QString Meterdeck::statusCounts() const {
    QStringList counts;
    if (m_needWrite)
        counts << QStringLiteral("строк ") + QString::number(m_writtenLines);
    if (m_failedTotal > 0)
        counts << QStringLiteral("сбоев записи: ") + QString::number(m_failedTotal);
    if (counts.isEmpty())
        return {};
    return (m_needWrite ? QStringLiteral(", ") : QStringLiteral(" · ")) +
           counts.join(QStringLiteral(" · "));
}

QString Meterdeck::statusText(qint64 nowMs) const {
    return statusPlace(nowMs) + statusCounts();
}

QString Meterdeck::pictureCaption(qint64 nowMs) const {
    QStringList parts{
        QDateTime::fromMSecsSinceEpoch(nowMs).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))};
    parts << (m_isStart || m_reconnecting ? m_connectedInfo : QStringLiteral("не подключено"));
    parts << QStringLiteral("частота ") + num(m_freq) + QStringLiteral(" кГц");
    if (m_offsetEn)
        parts << QStringLiteral("смещение ") + num(m_offset_dB) + QStringLiteral(" дБ");
    if (m_relative)
        parts << QStringLiteral("отн. от ") + num(m_reference) + QStringLiteral(" дБм");
    parts << QStringLiteral("единицы: ") + PowerUnits::text({PowerUnits::Family(m_unit), 0});
    return parts.join(QStringLiteral(" · "));
}
