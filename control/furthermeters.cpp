#include "furthermeters.h"

#include <QDateTime>
#include <cmath>
#include <limits>

#include "tracecolors.h"
#include "wording.h"

FurtherMeters::FurtherMeters(LogSink log, qint64 pollMs, iWriter* writer)
    : m_log(std::move(log)), m_writer(writer), m_difference(m_log, pollMs, writer) {
    m_states.setInterval(1000);
    connect(&m_states, &QTimer::timeout, this, [this] {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (int row = 0; row < count(); ++row) {
            const int state = int(m_meters[row]->state(now));
            if (state != m_shownStates[row]) {
                m_shownStates[row] = state;
                emit dataChanged(index(row), index(row), {StateRole, StateTextRole});
            }
        }
    });
}

FurtherMeters::~FurtherMeters() = default;

int FurtherMeters::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QHash<int, QByteArray> FurtherMeters::roleNames() const {
    return {{NameRole, "name"},      {SerialRole, "serial"},       {TraceColorRole, "traceColor"},
            {SeriesRole, "series"},  {ValueRole, "value"},         {UnitRole, "unit"},
            {StateRole, "state"},    {StateTextRole, "stateText"}, {FreqRole, "freq"},
            {AttRole, "att"},        {OffsetRole, "offset"},       {OffsetEnRole, "offsetEn"},
            {AverEnRole, "averEn"},  {AverRole, "aver"},           {StatsRole, "stats"},
            {PartnerRole, "partner"}};
}

QVariant FurtherMeters::data(const QModelIndex& index, int role) const {
    const FurtherMeter* m = at(index.row());
    if (!m || index.parent().isValid())
        return {};
    const ReadingPipeline& p = m->pipeline();
    switch (role) {
        case Qt::DisplayRole:
        case NameRole:
            return QStringLiteral("SN ") + m->serial();
        case SerialRole:
            return m->serial();
        case TraceColorRole:
            return m_colors[index.row()];
        case SeriesRole:
            return QVariant::fromValue<QObject*>(m->model());
        case ValueRole:
        case UnitRole: {
            QString unit;
            const double value = p.shown(&unit);
            if (role == UnitRole)
                return unit;
            return std::isfinite(value) && p.live() ? QString::number(value, 'f', p.decimals())
                                                    : QStringLiteral("—");
        }
        case StateRole:
            return int(m->state(QDateTime::currentMSecsSinceEpoch()));
        case StateTextRole: {
            static const QString texts[] = {QStringLiteral("показания"), QStringLiteral("молчит"),
                                            QStringLiteral("нет связи")};
            return texts[int(m->state(QDateTime::currentMSecsSinceEpoch()))];
        }
        case FreqRole:
            return m->freq();
        case AttRole:
            return m->att();
        case OffsetRole:
            return p.offset_dB();
        case OffsetEnRole:
            return p.offsetEn();
        case AverEnRole:
            return p.averEn();
        case AverRole:
            return p.averStep();
        case StatsRole:
            return m->statistics().text(PowerUnits::Family(m_unit));
        case PartnerRole:
            return index.row() == m_partner;
        default:
            return {};
    }
}

QStringList FurtherMeters::identifications() const {
    QStringList list;
    for (const auto& m : m_meters)
        list.append(m->identification());
    return list;
}

QStringList FurtherMeters::ports() const {
    QStringList list;
    for (const auto& m : m_meters)
        list.append(m->port());
    return list;
}

FurtherMeter* FurtherMeters::at(int row) const {
    return row >= 0 && row < count() ? m_meters[row].get() : nullptr;
}

int FurtherMeters::rowOf(const FurtherMeter* meter) const {
    for (int row = 0; row < count(); ++row)
        if (m_meters[row].get() == meter)
            return row;
    return -1;
}

bool FurtherMeters::add(const QString& identification, const QString& port, double freqKHz,
                        bool att, int unit, const QString& recordPath, bool awaitIfClosed) {
    if (!m_maker || identification.isEmpty() || identifications().contains(identification))
        return false;
    auto meter =
        std::make_unique<FurtherMeter>(m_maker(), identification, port, m_log, m_locate, m_writer);
    meter->setRetryInterval(m_retryMs);
    meter->pipeline().setUnit(unit);
    m_log(QStringLiteral("Добавляю к измерению ") + identification + QStringLiteral("..."));
    if (!meter->start(freqKHz, att)) {
        if (!awaitIfClosed)
            return false;
        meter->await();
    }
    FurtherMeter* raw = meter.get();
    connect(raw, &FurtherMeter::changed, this, [this, raw] { meterChanged(raw); });
    connect(raw, &FurtherMeter::reading, this,
            [this, raw](qint64 ms, double dBm) { partnerReading(raw, ms, dBm); });
    connect(raw, &FurtherMeter::alert, this, &FurtherMeters::alert);
    const int row = count();
    beginInsertRows({}, row, row);
    m_meters.push_back(std::move(meter));
    m_colors.emplace_back(traceColor(m_nextColor++));
    m_shownStates.push_back(-1);
    endInsertRows();
    if (!recordPath.isEmpty()) {
        const QString refused = raw->startRecording(recordPath);
        if (!refused.isEmpty())
            emit alert(QStringLiteral("SN ") + raw->serial() +
                       QStringLiteral(": запись в файл не начата: ") + refused);
    }
    if (m_partner < 0)
        setPartner(row);
    if (!recordPath.isEmpty())
        m_difference.record(recordPath);
    m_states.start();
    emit membersChanged();
    return true;
}

void FurtherMeters::remove(int row) {
    FurtherMeter* meter = at(row);
    if (!meter)
        return;
    meter->stop();
    m_log(QStringLiteral("Убран из измерения: ") + meter->identification());
    beginRemoveRows({}, row, row);
    // Its device ends its thread; the series goes with the row only after the views let go.
    m_meters[row].release()->deleteLater();
    m_meters.erase(m_meters.begin() + row);
    m_colors.erase(m_colors.begin() + row);
    m_shownStates.erase(m_shownStates.begin() + row);
    endRemoveRows();
    if (m_partner == row || m_partner >= count()) {
        m_partner = -1;
        setPartner(count() > 0 ? 0 : -1);
    } else if (m_partner > row) {
        --m_partner;
    }
    if (count() == 0) {
        m_states.stop();
        m_nextColor = 0;
        m_difference.record({});
    }
    emit membersChanged();
}

void FurtherMeters::clear() {
    while (count() > 0)
        remove(count() - 1);
}

void FurtherMeters::setPartner(int row) {
    if (row < -1 || row >= count() || row == m_partner)
        return;
    const int old = m_partner;
    m_partner = row;
    m_difference.restart();
    for (int r : {old, row})
        if (r >= 0 && r < count())
            emit dataChanged(index(r), index(r), {PartnerRole});
    if (row >= 0)
        m_log(QStringLiteral("A−B: B = ") + m_meters[row]->identification());
    emit differenceChanged();
}

void FurtherMeters::meterChanged(FurtherMeter* meter) {
    const int row = rowOf(meter);
    if (row >= 0)
        emit dataChanged(index(row), index(row));
}

void FurtherMeters::mainReading(qint64 ms, double dBm, double freqKHz) {
    if (m_partner >= 0)
        differenceTaken(m_difference.readingA(ms, dBm, freqKHz));
}

void FurtherMeters::partnerReading(FurtherMeter* meter, qint64 ms, double dBm) {
    if (m_partner >= 0 && rowOf(meter) == m_partner)
        differenceTaken(m_difference.readingB(ms, dBm));
}

void FurtherMeters::differenceTaken(bool changed) {
    if (const QString failed = m_difference.takeAlert(); !failed.isEmpty())
        emit alert(failed);
    if (changed)
        emit differenceChanged();
}

QVariantMap FurtherMeters::settings(int row) const {
    const FurtherMeter* m = at(row);
    if (!m)
        return {};
    const ReadingPipeline& p = m->pipeline();
    return {{QStringLiteral("name"), m->identification()},
            {QStringLiteral("freq"), m->freq()},
            {QStringLiteral("att"), m->att()},
            {QStringLiteral("offset"), p.offset_dB()},
            {QStringLiteral("offsetEn"), p.offsetEn()},
            {QStringLiteral("averEn"), p.averEn()},
            {QStringLiteral("aver"), p.averStep()},
            {QStringLiteral("partner"), row == m_partner}};
}

void FurtherMeters::setFreq(int row, double freqKHz) {
    if (FurtherMeter* m = at(row)) {
        m->setFreq(freqKHz);
        emit settingsKept(m->identification(), m->freq(), m->att());
    }
}

void FurtherMeters::setAtt(int row, bool att) {
    if (FurtherMeter* m = at(row)) {
        m->setAtt(att);
        emit settingsKept(m->identification(), m->freq(), m->att());
    }
}

void FurtherMeters::setOffset(int row, double dB, bool on) {
    if (FurtherMeter* m = at(row)) {
        m->pipeline().setOffset(dB);
        m->pipeline().setOffsetEn(on);
        meterChanged(m);
    }
}

void FurtherMeters::setAveraging(int row, bool on, int step) {
    if (FurtherMeter* m = at(row)) {
        m->pipeline().setAverEn(on);
        m->pipeline().setAver(step);
        meterChanged(m);
    }
}

void FurtherMeters::setUnit(int unit) {
    m_unit = unit;
    for (auto& m : m_meters)
        m->unitChanged(unit);
    m_difference.setRatio(unit == int(PowerUnits::Family::Watt));
    emit differenceChanged();
}

QString FurtherMeters::setRecording(const QString& mainPath) {
    QString first;
    for (auto& m : m_meters) {
        if (mainPath.isEmpty()) {
            m->stopRecording();
            continue;
        }
        const QString refused = m->startRecording(mainPath);
        if (first.isEmpty() && !refused.isEmpty())
            first = QStringLiteral("SN ") + m->serial() +
                    QStringLiteral(": запись в файл не начата: ") + refused;
    }
    if (mainPath.isEmpty() || count() > 0)
        m_difference.record(mainPath);
    return first;
}

void FurtherMeters::resetStatistics() {
    for (auto& m : m_meters)
        m->resetStatistics();
    m_difference.resetStatistics();
    emit differenceChanged();
    if (count() > 0)
        emit dataChanged(index(0), index(count() - 1), {StatsRole});
}
