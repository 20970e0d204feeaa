#include "furthermeters.h"

#include <QDateTime>
#include <cmath>
#include <limits>

#include "tracecolors.h"
#include "wording.h"

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

FurtherMeters::FurtherMeters(LogSink log, qint64 pollMs, iWriter* writer)
    : m_log(std::move(log)),
      m_writer(writer),
      m_diff(pollMs),
      m_difference(kNaN),
      m_pollMs(pollMs),
      m_differenceFile(writer,
                       [this](const QString& line) { m_log(QStringLiteral("A−B: ") + line); }) {
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
    if (!recordPath.isEmpty()) {
        m_recordPath = recordPath;
        startDifferenceFile();
    }
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
        if (m_differenceFile.on()) {
            m_differenceFile.stop();
            m_log(QStringLiteral("A−B: запись в файл остановлена."));
        }
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
    m_diff.reset();
    m_difference = kNaN;
    m_differenceStats.reset();
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
    m_freqA = freqKHz;
    if (m_partner >= 0)
        took(m_diff.readingA(ms, dBm), ms, dBm);
}

void FurtherMeters::partnerReading(FurtherMeter* meter, qint64 ms, double dBm) {
    if (rowOf(meter) == m_partner && m_partner >= 0)
        took(m_diff.readingB(ms, dBm), ms, dBm);
}

void FurtherMeters::took(const std::optional<MeterDifference::Value>& value, qint64 ms,
                         double dBm) {
    const double before = m_difference;
    // The first reading of a cycle leaves the last cycle's value shown until its pair comes;
    // a reading without a value, or a cycle without a pair, leaves none.
    if (value) {
        m_difference = value->dB;
        m_differenceStats.add(value->dB);
        m_differenceMs = value->ms;
    } else if (!std::isfinite(dBm) || ms - m_differenceMs > m_pollMs) {
        m_difference = kNaN;
    }
    if (value && m_differenceFile.on()) {
        const PowerData record(QDateTime::fromMSecsSinceEpoch(value->ms), value->dB,
                               QStringLiteral("дБ"), m_freqA, QStringLiteral("кГц"));
        const QString failed = m_differenceFile.write(record);
        if (!failed.isEmpty())
            emit alert(QStringLiteral("A−B: ") + failed);
    }
    if (value)
        m_log(QDateTime::fromMSecsSinceEpoch(value->ms).toString(
                  QStringLiteral("dd.MM.yy HH:mm:ss")) +
              QStringLiteral(" A−B = ") + Wording::num(value->dB) + QStringLiteral(" дБ"));
    if (value || std::isnan(m_difference) != std::isnan(before))
        emit differenceChanged();
}

QString FurtherMeters::differenceText() const {
    if (!std::isfinite(m_difference))
        return QStringLiteral("—");
    if (m_unit == int(PowerUnits::Family::Watt))
        return QString::number(MeterDifference::powerRatio(m_difference), 'g', 4);
    return QString::number(m_difference, 'f', 2);
}

QString FurtherMeters::differenceStats() const {
    const Statistics& s = m_differenceStats;
    const auto dB = [](double v) { return QString::number(v, 'f', 2) + QStringLiteral(" дБ"); };
    // The mean of the power ratios, as the mean power of a single meter is taken.
    return s.line(dB(s.min()), dB(s.max()), dB(s.mean()));
}

QString FurtherMeters::differenceLabel() const {
    return MeterDifference::label(m_unit == int(PowerUnits::Family::Watt));
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
    if (FurtherMeter* m = at(row))
        m->setFreq(freqKHz);
}

void FurtherMeters::setAtt(int row, bool att) {
    if (FurtherMeter* m = at(row))
        m->setAtt(att);
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
    emit differenceChanged();
}

QString FurtherMeters::setRecording(const QString& mainPath) {
    m_recordPath = mainPath;
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
    if (mainPath.isEmpty() && m_differenceFile.on()) {
        m_differenceFile.stop();
        m_log(QStringLiteral("A−B: запись в файл остановлена."));
        m_differenceFile.endFailedRun(QStringLiteral("Не записано значений: "));
    } else if (!mainPath.isEmpty() && count() > 0) {
        startDifferenceFile();
    }
    return first;
}

void FurtherMeters::startDifferenceFile() {
    if (m_differenceFile.on() || m_recordPath.isEmpty())
        return;
    const QString path = Recorder::differenceName(m_recordPath);
    m_differenceFile.setFileName(path);
    const QString problem = m_differenceFile.start();
    m_log(problem.isEmpty() ? QStringLiteral("A−B: начинаю писать в файл ") + path
                            : QStringLiteral("A−B: запись в файл не начата: ") + problem);
}

void FurtherMeters::resetStatistics() {
    for (auto& m : m_meters)
        m->resetStatistics();
    m_differenceStats.reset();
    emit differenceChanged();
    if (count() > 0)
        emit dataChanged(index(0), index(count() - 1), {StatsRole});
}
