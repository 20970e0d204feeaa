// The meters measured beside the connected one.
#include "meterdeck.h"

#include <QDateTime>
#include <QHash>

void Meterdeck::setUpFurther(iWriter* writer) {
    m_further =
        std::make_unique<FurtherMeters>([this](const QString& line) { log(line); }, 1000, writer);
    m_further->setLocator([this](const QString& identification) {
        return currentDevice ? currentDevice->portOf(identification) : QString();
    });
    connect(m_further.get(), &FurtherMeters::alert, this, &Meterdeck::alert);
    connect(m_further.get(), &FurtherMeters::membersChanged, this, &Meterdeck::holdFurtherPorts);
    // Kept as the connected meter's are, for the next time it is added or made A.
    connect(m_further.get(), &FurtherMeters::settingsKept, this,
            [this](const QString& meter, double freqKHz, bool att) {
                const QModelIndex entry = m_deviceModel->index(m_meters->rowOf(meter));
                m_deviceModel->setData(entry, freqKHz, DeviceModel::eFreq);
                m_deviceModel->setData(entry, att, DeviceModel::eAtt);
            });
}

bool Meterdeck::addFurther(int row, bool awaitIfClosed) {
    if (!m_keeper->connected() || row < 0 || row >= m_deviceModel->rowCount() ||
        !m_further->canAdd())
        return false;
    const DeviceItem& item = m_deviceModel->items().at(row);
    const QString meter = item.info();
    if (meter == m_keeper->meter() || m_further->identifications().contains(meter))
        return false;
    const QString port = currentDevice ? currentDevice->portOf(meter) : QString();
    const bool added = m_further->add(meter, port, item.freq(), item.att(), unit(),
                                      needWrite() ? fileName() : QString(), awaitIfClosed);
    if (!added)
        emit alert(QStringLiteral("Невозможно подключиться к ") + meter);
    return added;
}

void Meterdeck::removeMeter(int row) {
    if (row < 0 || row >= m_deviceModel->rowCount())
        return;
    const int index = m_further->identifications().indexOf(m_deviceModel->items().at(row).info());
    if (index >= 0)
        m_further->remove(index);
}

void Meterdeck::holdFurtherPorts() {
    if (currentDevice)
        currentDevice->holdPorts(m_further->ports(), m_further->identifications());
}

bool Meterdeck::makeMain(int furtherRow) {
    const FurtherMeter* chosen = m_further->at(furtherRow);
    if (!chosen || !m_keeper->connected() || needWrite())
        return false;
    const QString meter = chosen->identification();
    QStringList others = m_further->identifications();
    // Offset and averaging belong to a meter (its attenuator, its noise): they go with it.
    QHash<QString, QVariantMap> kept;
    for (int row = 0; row < others.size(); ++row)
        kept.insert(others[row], m_further->settings(row));
    const QVariantMap own = kept.take(meter);
    kept.insert(m_keeper->meter(), {{QStringLiteral("offset"), offset_dB()},
                                    {QStringLiteral("offsetEn"), offsetEn()},
                                    {QStringLiteral("averEn"), averEn()},
                                    {QStringLiteral("aver"), m_pipeline->averStep()}});
    others.removeAll(meter);
    others.prepend(m_keeper->meter());
    log(QStringLiteral("Основной измеритель (A): ") + meter);
    setIsStart(false);
    setSelectedDevice(m_meters->rowOf(meter));
    setIsStart(true);
    if (!isStart())
        return false;
    setOffset_dB(own.value(QStringLiteral("offset")).toDouble());
    setOffsetEn(own.value(QStringLiteral("offsetEn")).toBool());
    setAver(own.value(QStringLiteral("aver")).toInt());
    setAverEn(own.value(QStringLiteral("averEn")).toBool());
    // A port may still be held a moment by the discovery pass the disconnection began: such a
    // meter is taken in as soon as it opens.
    for (const QString& other : std::as_const(others)) {
        if (!addFurther(m_meters->rowOf(other), true))
            continue;
        const int row = int(m_further->identifications().indexOf(other));
        const QVariantMap& s = kept[other];
        m_further->setOffset(row, s.value(QStringLiteral("offset")).toDouble(),
                             s.value(QStringLiteral("offsetEn")).toBool());
        m_further->setAveraging(row, s.value(QStringLiteral("averEn")).toBool(),
                                s.value(QStringLiteral("aver")).toInt());
    }
    return true;
}
