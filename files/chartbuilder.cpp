#include "chartbuilder.h"

#include <QUrl>

#include "powerdatamodel.h"

ChartBuilder::ChartBuilder(PowerDataModel* model, QObject* parent)
    : QObject(parent), m_model(model) {
    connect(this, &ChartBuilder::filePathChanged, this, &ChartBuilder::createSeries,
            Qt::DirectConnection);
}

void ChartBuilder::setFilePath(const QString& value) {
    if (value == m_filePath) return;
    m_filePath = value;
    emit filePathChanged();
}

void ChartBuilder::setNeedUpdate(bool value) {
    m_needUpdate = value;
    emit needUpdateChanged();
}

void ChartBuilder::createSeries() {
    const QString path = QUrl(m_filePath, QUrl::TolerantMode).toLocalFile();
    m_reader->parse(path);
    const QList<PowerData>& records = m_reader->getData();
    m_model->clear();
    m_model->replaceAll(std::deque<PowerData>(records.cbegin(), records.cend()));
    setNeedUpdate(true);
}
