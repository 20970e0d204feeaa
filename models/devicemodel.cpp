#include "devicemodel.h"

DeviceModel::DeviceModel(QObject* parent) : QAbstractListModel(parent) {}

int DeviceModel::rowCount(const QModelIndex&) const {
    return int(m_items.size());
}

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
    if (!index.isValid() || index.row() < 0 || index.row() >= int(m_items.size()))
        return false;
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
    auto listed = [](const QList<DeviceItem>& in, const QString& info) {
        for (const DeviceItem& item : in)
            if (item.info() == info)
                return true;
        return false;
    };
    beginResetModel();
    QList<DeviceItem> next;
    // Meters still there keep their rows' order and their settings; new ones follow.
    for (const DeviceItem& item : std::as_const(m_items))
        if (listed(list, item.info()) && !listed(next, item.info()))
            next.append(item);
    for (const DeviceItem& item : list)
        if (!listed(next, item.info()))
            next.append(item);
    m_items = next;
    endResetModel();
}
