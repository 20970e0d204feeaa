#include "powerdatamodel.h"

#include <QThreadPool>
#include <cmath>

PowerDataModel::PowerDataModel() : QAbstractTableModel(nullptr), m_capacity(1000) {}

int PowerDataModel::rowCount(const QModelIndex&) const {
    return int(m_series.size());
}

int PowerDataModel::columnCount(const QModelIndex&) const {
    return 5;
}

QVariant PowerDataModel::data(const QModelIndex& index, int) const {
    if (!index.isValid() || index.column() < 0 || index.row() < 0 ||
        index.row() >= int(m_series.size()))
        return {};
    const PowerData& r = m_series[std::size_t(index.row())];
    switch (index.column()) {
        case ColTime:
            return r.time();
        case ColPower:
            return r.power();
        default:
            return true;
    }
}

bool PowerDataModel::setData(const QModelIndex& index, const QVariant& value, int) {
    if (!index.isValid() || index.row() < 0 || index.row() >= int(m_series.size()))
        return false;
    PowerData& r = m_series[std::size_t(index.row())];
    m_summary.reset();
    if (index.column() == ColTime)
        r.setTime(value.toDateTime());
    else if (index.column() == ColPower)
        r.setPower(value.toDouble());
    emit dataChanged(index, index, {});
    return true;
}

void PowerDataModel::append(const PowerData& record) {
    m_summary.reset();
    if (m_series.size() == m_capacity) {
        beginResetModel();
        m_series.pop_front();
        endResetModel();
    }
    const double p = record.power();
    if (m_series.empty())
        m_rangeFromSeries = false;
    // A record without a value (NaN, or an infinity read from a file) has no place in the range.
    if (!std::isfinite(p)) {
    } else if (!m_rangeFromSeries) {
        m_powerMin = p;
        m_powerMax = p;
        m_rangeFromSeries = true;
    } else if (p > m_powerMax) {
        m_powerMax = p;
    } else if (p < m_powerMin) {
        m_powerMin = p;
    }
    beginResetModel();
    m_series.push_back(record);
    endResetModel();
    emitBounds();
}

namespace {
// Millions of records take tens of milliseconds to free: not on the thread that draws.
void discard(std::deque<PowerData>& series) {
    if (series.size() < 100000) {
        series.clear();
        return;
    }
    auto old = std::make_shared<std::deque<PowerData>>();
    old->swap(series);
    QThreadPool::globalInstance()->start([old]() mutable { old.reset(); });
}
}  // namespace

void PowerDataModel::clear() {
    // A reset of its own, so that no view keeps rows that are gone.
    beginResetModel();
    discard(m_series);
    m_summary.reset();
    m_holdsFile = false;
    endResetModel();
    setUnitFamily(-1);
}

void PowerDataModel::replaceAll(std::deque<PowerData> series) {
    const auto [lo, hi] = powerRange(series);
    replaceAll(std::move(series), lo, hi);
}

void PowerDataModel::replaceAll(std::deque<PowerData> series, double powerMin, double powerMax,
                                std::shared_ptr<const SeriesSummary> summary) {
    beginResetModel();
    discard(m_series);
    m_series = std::move(series);
    m_summary = std::move(summary);
    m_holdsFile = true;
    endResetModel();
    setUnitFamily(-1);
    m_powerMin = powerMin;
    m_powerMax = powerMax;
    emitBounds();
}

std::pair<double, double> PowerDataModel::powerRange(const std::deque<PowerData>& series) {
    double lo = 10000000.0, hi = -1000000.0;
    for (const PowerData& r : series) {
        if (!std::isfinite(r.power()))
            continue;
        if (r.power() > hi)
            hi = r.power();
        if (r.power() < lo)
            lo = r.power();
    }
    return {lo, hi};
}

void PowerDataModel::setUnitFamily(int family) {
    if (family == m_unitFamily)
        return;
    m_unitFamily = family;
    emit unitFamilyChanged();
}

QDateTime PowerDataModel::timeMin() const {
    return m_series.empty() ? QDateTime() : m_series.front().time();
}

QDateTime PowerDataModel::timeMax() const {
    return m_series.empty() ? QDateTime() : m_series.back().time();
}

void PowerDataModel::emitBounds() {
    emit timeMinChanged();
    emit timeMaxChanged();
    emit powerMinChanged();
    emit powerMaxChanged();
}
