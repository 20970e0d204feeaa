#include "chartbuilder.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "powerdatamodel.h"

ChartBuilder::ChartBuilder(PowerDataModel* model, QObject* parent)
    : QObject(parent), m_model(model) {
    connect(this, &ChartBuilder::filePathChanged, this, &ChartBuilder::createSeries,
            Qt::DirectConnection);
    // Anything but a load replacing the series means the file is no longer what is shown.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_loading || m_shownFile.isEmpty()) return;
        m_shownFile.clear();
        m_shownUnit.clear();
        emit shownChanged();
    });
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

namespace {
// The reader takes only times and powers; the unit the file was recorded in is the fifth field
// of its lines, written in the system's encoding.
QString firstLineUnit(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QList<QByteArray> fields = file.readLine(4096).split(';');
    return fields.size() >= 5 ? QString::fromLocal8Bit(fields.at(4)).trimmed() : QString();
}
}  // namespace

void ChartBuilder::createSeries() {
    const QUrl url(m_filePath, QUrl::TolerantMode);
    // A typed name may come as a plain path.
    const QString path = url.isLocalFile() ? url.toLocalFile() : m_filePath;
    const bool read = m_reader->parse(path);
    const QList<PowerData>& records = m_reader->getData();
    if (records.isEmpty()) {
        // An empty chart without a word would look like a recording without readings.
        const QString why = !QFileInfo::exists(path) ? QStringLiteral("файл не найден.")
                            : !read ? QStringLiteral("файл не читается.")
                                    : QStringLiteral("в нём нет ни одной записи измерения.");
        emit failed(QStringLiteral("Не удалось открыть запись ") + path + QStringLiteral(": ") +
                    why);
        return;
    }
    m_loading = true;
    m_model->clear();
    m_model->replaceAll(std::deque<PowerData>(records.cbegin(), records.cend()));
    m_loading = false;
    m_shownFile = QFileInfo(path).fileName();
    m_shownUnit = firstLineUnit(path);
    emit shownChanged();
    setNeedUpdate(true);
}
