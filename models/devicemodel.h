#pragma once

#include <QAbstractListModel>
#include <QList>

#include "deviceitem.h"

// Meters found by discovery; the first list that had any stays shown for the whole run.
class DeviceModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Roles { eInfo = Qt::UserRole, eAtt, eFreq };

    explicit DeviceModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QHash<int, QByteArray> roleNames() const override;

    void setDevList(const QList<DeviceItem>& list);
    const QList<DeviceItem>& items() const { return m_items; }

private:
    QList<DeviceItem> m_items;
};
