#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include "devicemodel.h"
#include "logsink.h"

// What discovery finds: the meters in the list model, the one selected (followed by its
// identification, so it keeps its place when the list changes), the settings the operator made
// for each meter seen, and the ports discovery could not use.
class MeterList {
public:
    MeterList(DeviceModel* model, LogSink log);

    const QString& selected() const { return m_selected; }
    // The selected meter's row; -1 while it is not listed.
    int row() const;
    // The row of the meter with this identification; -1 while it is not listed.
    int rowOf(const QString& meter) const;
    bool selectable(int row) const { return row >= 0 && row < m_model->items().size(); }
    // False when the row already held the selection.
    bool select(int row);

    // Takes a new list, settling the selection first: the `awaited` meter when listed, else the
    // one selected, else the first row the model will show (a meter that stays before a new one).
    void update(const QStringList& listed, const QString& awaited);

    // A port discovery could not open for lack of rights. Each is told once; the first one's
    // text is returned for the operator, empty otherwise.
    QString portRefused(const QString& portName);
    // A port too slow to be identified, told once.
    void portSlow(const QString& portName);

private:
    DeviceModel* m_model;
    LogSink log;
    QString m_selected;
    QHash<QString, DeviceItem> m_settings;  // each meter seen, by identification
    QSet<QString> m_refusedPorts;
    QSet<QString> m_slowPorts;
};
