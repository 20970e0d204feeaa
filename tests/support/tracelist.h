#pragma once

#include <QColor>
#include <QStandardItemModel>

#include "powerdatamodel.h"

// The list of further meters the chart draws, as the controller hands it over: rows with the
// roles `name`, `traceColor` and `series` (each meter's power model, owned here).
class TraceList : public QStandardItemModel {
    Q_OBJECT
public:
    enum Role { Name = Qt::UserRole + 1, Color, Series };
    TraceList() { setItemRoleNames({{Name, "name"}, {Color, "traceColor"}, {Series, "series"}}); }

    // A new row at `row` (-1: the end) and its meter's model.
    Q_INVOKABLE QObject* add(const QString& name, const QColor& color, int row = -1) {
        // Parented: never left to QML's collector.
        auto* model = new PowerDataModel;
        model->setParent(this);
        auto* item = new QStandardItem;
        item->setData(name, Name);
        item->setData(color, Color);
        item->setData(QVariant::fromValue<QObject*>(model), Series);
        insertRow(row < 0 ? rowCount() : row, item);
        return model;
    }
    Q_INVOKABLE void remove(int row) { removeRow(row); }
};
