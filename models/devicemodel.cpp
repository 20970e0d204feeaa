#include "devicemodel.h"

DeviceModel::DeviceModel(QObject* parent) : QAbstractListModel(parent) {}

int DeviceModel::rowCount(const QModelIndex&) const { return int(m_items.size()); }

QVariant DeviceModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() < 0 || index.row() < 0 ||
        index.row() >= int(m_items.size()))
        return {};
    const DeviceItem& item = m_items.at(index.row());
    switch (role) {
        case eInfo:
            return item.info();
        case eAtt:
            return item.att();
        case eFreq:
            return item.freq();
        default:
            return true;
    }
}

bool DeviceModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() < 0 || index.row() >= int(m_items.size())) return false;
    DeviceItem& item = m_items[index.row()];
    if (role == eAtt)
        item.setAtt(value.toBool());
    else if (role == eFreq)
        item.setFreq(value.toDouble());
    emit dataChanged(index, index, {});
    return true;
}

QHash<int, QByteArray> DeviceModel::roleNames() const {
    return {{eInfo, "eInfo"}, {eAtt, "eAtt"}, {eFreq, "eFreq"}};
}

void DeviceModel::setDevList(const QList<DeviceItem>& list) {
    beginResetModel();
    if (list.isEmpty())
        m_items.clear();
    else if (m_items.isEmpty())
        m_items = list;
    // Otherwise keep what is shown: the operator's per-meter settings and row 0 stay put.
    endResetModel();
}
