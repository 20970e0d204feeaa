#include "chartbuilder.h"
#include "recordformat.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QThread>
#include <QUrl>
#include <atomic>

#include "powerdatamodel.h"

ChartBuilder::ChartBuilder(PowerDataModel* model, QObject* parent)
    : QObject(parent), m_model(model) {
    connect(this, &ChartBuilder::filePathChanged, this, &ChartBuilder::createSeries,
            Qt::DirectConnection);
    // Anything but a load replacing the series means the file is no longer what is shown.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_loading)
            return;
        // Readings of a new connection (or anything else) replace the chart: a file still being
        // read would overwrite them.
        if (m_job)
            cancelLoad();
        if (m_shownFile.isEmpty())
            return;
        m_shownFile.clear();
        m_shownUnit.clear();
        emit shownChanged();
    });
}

void ChartBuilder::setFilePath(const QString& value) {
    if (value == m_filePath)
        return;
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
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> fields = file.readLine(4096).split(RecordFormat::Separator);
    return fields.size() >= RecordFormat::FieldCount
               ? QString::fromLocal8Bit(fields.at(RecordFormat::PowerUnit)).trimmed()
               : QString();
}
}  // namespace

// One reading of a file in its thread. The thread alone writes the records and the outcome
// until it ends; the GUI thread reads them only after that.
struct ChartBuilder::Job {
    QString path;
    std::atomic<bool> cancelled{false};
    std::atomic<int> permille{0};
    std::deque<PowerData> records;
    std::pair<double, double> range;
    CsvParser::Outcome outcome = CsvParser::Outcome::Read;
};

ChartBuilder::~ChartBuilder() {
    cancelLoad();
}

namespace {
QString reason(CsvParser::Outcome outcome, const QString& path) {
    switch (outcome) {
        case CsvParser::Outcome::Missing:
            return QStringLiteral("файл не найден.");
        case CsvParser::Outcome::NotRegular:
            return QStringLiteral("это не обычный файл (устройство, канал или папка).");
        case CsvParser::Outcome::TooLarge:
            return QStringLiteral("файл слишком велик (%1 МБ, допустимо до %2 МБ).")
                .arg(QFileInfo(path).size() / (1024 * 1024))
                .arg(CsvParser::MaxFileBytes / (1024 * 1024));
        case CsvParser::Outcome::NotOpened:
            return QStringLiteral("файл не читается.");
        default:
            return QStringLiteral("в нём нет ни одной записи измерения.");
    }
}
}  // namespace

void ChartBuilder::fail(const QString& path, const QString& why) {
    emit failed(QStringLiteral("Не удалось открыть запись ") + path + QStringLiteral(": ") + why);
}

void ChartBuilder::createSeries() {
    const QUrl url(m_filePath, QUrl::TolerantMode);
    // A typed name may come as a plain path.
    const QString path = url.isLocalFile() ? url.toLocalFile() : m_filePath;
    // A new choice replaces a reading under way.
    cancelLoad();
    // Pipes and devices would block or never end; a huge file would take the memory. Refused
    // before anything is opened.
    const CsvParser::Outcome can = CsvParser::check(path);
    if (can != CsvParser::Outcome::Read) {
        // The reader's own account, as for any file it cannot open.
        m_reader->parse(QString());
        fail(path, reason(can, path));
        return;
    }
    if (QFileInfo(path).size() > AsyncBytes) {
        startJob(path);
        return;
    }
    const bool read = m_reader->parse(path);
    const QList<PowerData>& records = m_reader->getData();
    if (records.isEmpty()) {
        // An empty chart without a word would look like a recording without readings.
        fail(path, reason(read ? CsvParser::Outcome::Read : CsvParser::Outcome::NotOpened, path));
        return;
    }
    show(std::deque<PowerData>(records.cbegin(), records.cend()), path);
}

void ChartBuilder::show(std::deque<PowerData> records, const QString& path,
                        std::optional<std::pair<double, double>> range) {
    m_loading = true;
    m_model->clear();
    if (range)
        m_model->replaceAll(std::move(records), range->first, range->second);
    else
        m_model->replaceAll(std::move(records));
    m_loading = false;
    m_shownFile = QFileInfo(path).fileName();
    m_shownUnit = firstLineUnit(path);
    emit shownChanged();
    setNeedUpdate(true);
}

void ChartBuilder::startJob(const QString& path) {
    auto job = std::make_shared<Job>();
    job->path = path;
    m_job = job;
    m_progress = 0.0;
    // The builder outlives the thread (it waits for it when it goes), so the thread may post to
    // it; a note that arrives after a cancel finds another job and is dropped.
    ChartBuilder* self = this;
    m_thread = QThread::create([job, self] {
        CsvParser parser;
        job->outcome = parser.read(job->path, job->records, [&](qint64 done, qint64 total) {
            const int permille = total > 0 ? int(std::min<qint64>(1000, done * 1000 / total)) : 0;
            // At most a thousand notes to the window, however big the file.
            if (permille != job->permille.exchange(permille))
                QMetaObject::invokeMethod(
                    self,
                    [job, self] {
                        if (self->m_job == job) {
                            self->m_progress = job->permille / 1000.0;
                            emit self->loadProgressChanged();
                        }
                    },
                    Qt::QueuedConnection);
            return !job->cancelled;
        });
        job->range = PowerDataModel::powerRange(job->records);
    });
    connect(m_thread, &QThread::finished, this, [this, job] { finishJob(job); });
    m_thread->start();
    emit loadingChanged();
    emit loadProgressChanged();
}

void ChartBuilder::finishJob(const std::shared_ptr<Job>& job) {
    if (job != m_job)
        return;  // cancelled meanwhile; its thread is already gone
    endJob();
    if (job->cancelled || job->outcome == CsvParser::Outcome::Cancelled)
        return;
    if (job->outcome != CsvParser::Outcome::Read || job->records.empty()) {
        fail(job->path, reason(job->outcome == CsvParser::Outcome::Read ? CsvParser::Outcome::Read
                                                                        : job->outcome,
                               job->path));
        return;
    }
    show(std::move(job->records), job->path, job->range);
}

void ChartBuilder::endJob() {
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
    m_job.reset();
    emit loadingChanged();
}

void ChartBuilder::cancelLoad() {
    if (!m_job)
        return;
    m_job->cancelled = true;
    // The reader looks at the flag after every megabyte: the wait is short.
    endJob();
}
