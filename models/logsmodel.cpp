#include "logsmodel.h"

LogsModel::LogsModel(QObject* parent) : QAbstractListModel(parent), m_limit(1000) {}

int LogsModel::rowCount(const QModelIndex&) const {
    return int(m_lines.size());
}

QVariant LogsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() < 0 || index.row() < 0 ||
        index.row() >= int(m_lines.size()))
        return {};
    if (role == eLog)
        return m_lines.at(index.row());
    return true;
}

bool LogsModel::setData(const QModelIndex& index, const QVariant&, int) {
    return index.isValid() && index.row() >= 0 && index.row() < int(m_lines.size());
}

QHash<int, QByteArray> LogsModel::roleNames() const {
    return {{eLog, "eLog"}};
}

void LogsModel::addLog(const QString& line) {
    beginResetModel();
    if (m_lines.size() == m_limit)
        m_lines.removeFirst();
    m_lines.append(line);
    endResetModel();
}

QString LogsModel::lastLog() const {
    return m_lines.isEmpty() ? QString() : m_lines.last();
}
