#include "logfeed.h"

#include "logsmodel.h"

LogFeed::LogFeed(QObject* parent) : QAbstractListModel(parent) {}

void LogFeed::setSource(QAbstractItemModel* source) {
    if (source == m_source)
        return;
    beginResetModel();
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    m_rows = m_source ? m_source->rowCount() : 0;
    if (m_source) {
        connect(m_source, &QAbstractItemModel::modelAboutToBeReset, this, &LogFeed::aboutToReset);
        connect(m_source, &QAbstractItemModel::modelReset, this, &LogFeed::reset);
        // The finer notifications come through as resets: the log sends none today.
        const auto whole = [this] {
            beginResetModel();
            m_rows = m_source->rowCount();
            endResetModel();
        };
        connect(m_source, &QAbstractItemModel::rowsInserted, this, whole);
        connect(m_source, &QAbstractItemModel::rowsRemoved, this, whole);
        connect(m_source, &QAbstractItemModel::rowsMoved, this, whole);
        connect(m_source, &QAbstractItemModel::layoutChanged, this, whole);
        connect(m_source, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& from, const QModelIndex& to) {
                    emit dataChanged(index(from.row()), index(to.row()));
                });
        connect(m_source, &QObject::destroyed, this, [this] {
            beginResetModel();
            m_source = nullptr;
            m_rows = 0;
            endResetModel();
            emit sourceChanged();
        });
    }
    endResetModel();
    emit sourceChanged();
}

QVariant LogFeed::lastLine() const {
    const int rows = m_source->rowCount();
    if (rows == 0)
        return {};
    return m_source->data(m_source->index(rows - 1, 0), LogsModel::eLog);
}

void LogFeed::aboutToReset() {
    m_last = lastLine();
    m_resetting = true;
}

void LogFeed::reset() {
    if (!m_resetting)
        return;
    m_resetting = false;
    const int rows = m_source->rowCount();
    // One line more at the end: the line before it is the one that was newest.
    const bool dropped = rows == m_rows && rows > 1;
    const bool appended =
        (rows == m_rows + 1 || dropped) &&
        (rows == 1 ? m_rows == 0
                   : m_source->data(m_source->index(rows - 2, 0), LogsModel::eLog) == m_last);
    if (!appended) {
        beginResetModel();
        m_rows = rows;
        endResetModel();
        emit linesChanged();
        return;
    }
    // Until each step ends the feed's rows are the source's first ones: the source already
    // holds its new lines, shifted by the dropped one.
    if (dropped) {
        beginRemoveRows(QModelIndex(), 0, 0);
        --m_rows;
        endRemoveRows();
    }
    beginInsertRows(QModelIndex(), m_rows, m_rows);
    ++m_rows;
    endInsertRows();
    emit linesChanged();
}

int LogFeed::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

QVariant LogFeed::data(const QModelIndex& index, int role) const {
    if (!m_source || !index.isValid() || index.row() >= m_rows || role != LogsModel::eLog)
        return {};
    return m_source->data(m_source->index(index.row(), 0), role);
}

QHash<int, QByteArray> LogFeed::roleNames() const {
    // Known before any source is set: a view reads them once.
    return {{LogsModel::eLog, QByteArrayLiteral("eLog")}};
}
