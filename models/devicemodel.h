#pragma once

#include <QAbstractListModel>
#include <QList>

#include "deviceitem.h"

// Meters found by the last discovery pass. A meter that stays keeps its row and the settings
// the operator made for it; new ones follow in the order given.
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
