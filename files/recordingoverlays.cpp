#include "recordingoverlays.h"

#include <algorithm>

#include "chartbuilder.h"
#include "powerdatamodel.h"
#include "powerunits.h"
#include "tracecolors.h"

struct RecordingOverlays::Overlay {
    PowerDataModel model;
    ChartBuilder builder{&model};
    int order = 0;  // its place among the files chosen
};

RecordingOverlays::RecordingOverlays(const PowerDataModel* main, QObject* parent)
    : QAbstractListModel(parent), m_main(main) {}

RecordingOverlays::~RecordingOverlays() = default;

int RecordingOverlays::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QHash<int, QByteArray> RecordingOverlays::roleNames() const {
    return {{NameRole, "name"}, {TraceColorRole, "traceColor"}, {SeriesRole, "series"}};
}

QVariant RecordingOverlays::data(const QModelIndex& index, int role) const {
    if (index.parent().isValid() || index.row() < 0 || index.row() >= count())
        return {};
    const Overlay& o = *m_rows[size_t(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case NameRole:
            return o.builder.shownFile();
        case TraceColorRole:
            return traceColor(o.order);
        case SeriesRole:
            return QVariant::fromValue<QObject*>(const_cast<PowerDataModel*>(&o.model));
        default:
            return {};
    }
}

void RecordingOverlays::open(const QStringList& urls) {
    clear();
    int order = 0;
    for (const QString& url : urls) {
        auto overlay = std::make_unique<Overlay>();
        overlay->order = order++;
        Overlay* raw = overlay.get();
        connect(&raw->builder, &ChartBuilder::failed, this, &RecordingOverlays::failed);
        connect(&raw->builder, &ChartBuilder::notice, this, &RecordingOverlays::notice);
        connect(&raw->builder, &ChartBuilder::opened, this, &RecordingOverlays::opened);
        connect(&raw->builder, &ChartBuilder::shownChanged, this, [this, raw] { shown(raw); });
        m_loading.push_back(std::move(overlay));
        raw->builder.setFilePath(url);
    }
}

void RecordingOverlays::shown(Overlay* overlay) {
    if (overlay->builder.shownFile().isEmpty())
        return;
    const auto it = std::find_if(m_loading.begin(), m_loading.end(),
                                 [overlay](const auto& o) { return o.get() == overlay; });
    if (it == m_loading.end())
        return;  // already a row
    overlay->model.setUnitFamily(family());
    // In the order chosen, whichever file was read first.
    int row = 0;
    while (row < count() && m_rows[size_t(row)]->order < overlay->order)
        ++row;
    beginInsertRows({}, row, row);
    m_rows.insert(m_rows.begin() + row, std::move(*it));
    m_loading.erase(it);
    endInsertRows();
    emit countChanged();
}

void RecordingOverlays::clear() {
    // A file still being read is abandoned with its builder (which ends its reader).
    m_loading.clear();
    if (m_rows.empty())
        return;
    beginResetModel();
    m_retired = std::move(m_rows);
    m_rows.clear();
    endResetModel();
    emit countChanged();
}

int RecordingOverlays::family() const {
    if (m_main->unitFamily() >= 0)
        return m_main->unitFamily();
    // The family of the chart's own records, as it shows them.
    for (auto it = m_main->series().crbegin(); it != m_main->series().crend(); ++it)
        if (const auto unit = PowerUnits::parse(it->powerUnit()))
            return int(unit->family);
    return -1;
}

void RecordingOverlays::followUnit() {
    for (const auto& o : m_rows)
        o->model.setUnitFamily(family());
}
