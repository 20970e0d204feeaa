#include "meterlist.h"

#include <utility>

MeterList::MeterList(DeviceModel* model, LogSink log) : m_model(model), log(std::move(log)) {}

int MeterList::row() const {
    return rowOf(m_selected);
}

int MeterList::rowOf(const QString& meter) const {
    const QList<DeviceItem>& items = m_model->items();
    for (int i = 0; i < items.size(); ++i)
        if (items.at(i).info() == meter)
            return i;
    return -1;
}

bool MeterList::select(int row) {
    const QString info = m_model->items().at(row).info();
    const bool changed = info != m_selected;
    m_selected = info;
    return changed;
}

void MeterList::update(const QStringList& listed, const QString& awaited) {
    // A meter that left the list and comes back gets the settings the operator made for it.
    for (const DeviceItem& item : m_model->items())
        m_settings.insert(item.info(), item);
    QList<DeviceItem> items;
    for (const QString& info : listed)
        items.append(m_settings.value(info, DeviceItem(info)));

    // Settled before the model announces the new list, so that whoever reacts to it sees the
    // meter a connection would open.
    QString selected;
    if (!awaited.isEmpty() && listed.contains(awaited)) {
        selected = awaited;
    } else if (listed.contains(m_selected)) {
        selected = m_selected;
    } else {
        for (const DeviceItem& item : m_model->items())
            if (selected.isEmpty() && listed.contains(item.info()))
                selected = item.info();
        if (selected.isEmpty() && !listed.isEmpty())
            selected = listed.first();
    }
    m_selected = selected;
    m_model->setDevList(items);
}

QString MeterList::portRefused(const QString& portName) {
    if (m_refusedPorts.contains(portName))
        return {};
    m_refusedPorts.insert(portName);
    const QString text =
        QStringLiteral("Порт ") + portName +
        QStringLiteral(
            " не открывается: нет прав на него (или его занимает другая программа). "
            "Чтобы искать на нём устройства, добавьте пользователя в группу, "
            "которой принадлежит порт (обычно dialout: sudo usermod -aG dialout "
            "имя_пользователя), и войдите в систему заново.");
    log(text);
    // Told once: a user without the rights usually lacks them on every port.
    return m_refusedPorts.size() == 1 ? text : QString();
}

void MeterList::portSlow(const QString& portName) {
    if (m_slowPorts.contains(portName))
        return;
    m_slowPorts.insert(portName);
    log(QStringLiteral("Порт ") + portName +
        QStringLiteral(" отвечает слишком медленно: устройство на нём не опознано."));
}
