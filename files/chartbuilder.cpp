#include "chartbuilder.h"

#include <QFileInfo>
#include <QLocale>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <atomic>

#include "powerdatamodel.h"

ChartBuilder::ChartBuilder(PowerDataModel* model, QObject* parent)
    : QObject(parent), m_model(model) {
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
        if (m_overlays)
            m_overlays->clear();
        emit shownChanged();
    });
}

RecordingOverlays* ChartBuilder::overlays() {
    if (!m_overlays) {
        m_overlays = new RecordingOverlays(m_model, this);
        for (auto [from, to] : {std::pair{&RecordingOverlays::failed, &ChartBuilder::failed},
                                {&RecordingOverlays::notice, &ChartBuilder::notice},
                                {&RecordingOverlays::opened, &ChartBuilder::opened}})
            connect(m_overlays, from, this, to);
        connect(m_model, &PowerDataModel::unitFamilyChanged, m_overlays,
                &RecordingOverlays::followUnit);
    }
    return m_overlays;
}

void ChartBuilder::openFiles(const QVariantList& urls) {
    QStringList names;
    for (const QVariant& url : urls)
        names.append(url.canConvert<QUrl>() ? url.toUrl().toString() : url.toString());
    if (names.isEmpty())
        return;
    setFilePath(names.takeFirst());
    overlays()->open(names);
}

void ChartBuilder::setFilePath(const QString& value) {
    // One recording chosen: the ones drawn over the last go.
    if (m_overlays)
        m_overlays->clear();
    if (value != m_filePath) {
        m_filePath = value;
        emit filePathChanged();
    }
    // The same name chosen again is read again: the chart may show something else by now, or
    // the file have changed.
    createSeries();
}

void ChartBuilder::setNeedUpdate(bool value) {
    m_needUpdate = value;
    emit needUpdateChanged();
}

// One reading of a file in its thread. The thread alone writes the records and the outcome
// until it ends; the GUI thread reads them only after that.
struct ChartBuilder::Job {
    QString path;
    std::atomic<bool> cancelled{false};
    std::atomic<int> permille{0};
    std::deque<PowerData> records;
    Reckoned reckoned;
    CsvParser::Outcome outcome = CsvParser::Outcome::Read;
    CsvParser::Tally tally;
};

ChartBuilder::~ChartBuilder() {
    cancelLoad();
}

namespace {
QString reason(CsvParser::Outcome outcome, qint64 fileBytes) {
    const QLocale russian(QLocale::Russian);
    switch (outcome) {
        case CsvParser::Outcome::Missing:
            return QStringLiteral("файл не найден.");
        case CsvParser::Outcome::LinkLoop:
            return QStringLiteral("это петля символических ссылок.");
        case CsvParser::Outcome::NotRegular:
            return QStringLiteral("это не обычный файл (устройство, канал или папка).");
        case CsvParser::Outcome::TooLarge:
            // In bytes: a file a byte over the limit is as many megabytes as the limit.
            return QStringLiteral("файл слишком велик (%1 байт, допустимо до %2 МБ — %3 байт).")
                .arg(russian.toString(fileBytes))
                .arg(CsvParser::MaxFileBytes / (1024 * 1024))
                .arg(russian.toString(CsvParser::MaxFileBytes));
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
        fail(path, reason(can, QFileInfo(path).size()));
        return;
    }
    if (QFileInfo(path).size() > AsyncBytes) {
        startJob(path);
        return;
    }
    std::deque<PowerData> records;
    const CsvParser::Outcome outcome = m_parser.read(path, records);
    finish(outcome, std::move(records), m_parser.tally(), path);
}

void ChartBuilder::finish(CsvParser::Outcome outcome, std::deque<PowerData> records,
                          const CsvParser::Tally& tally, const QString& path,
                          std::optional<Reckoned> reckoned) {
    if (outcome != CsvParser::Outcome::Read) {
        fail(path, reason(outcome, tally.fileBytes));
        return;
    }
    if (tally.read == 0) {
        // An empty chart without a word would look like a recording without readings.
        fail(path, tally.skipped == 0
                       ? reason(outcome, tally.fileBytes)
                       : QStringLiteral("в нём нет ни одной записи измерения (пропущено строк: "
                                        "%1, первая пропущенная — строка %2).")
                             .arg(tally.skipped)
                             .arg(tally.firstSkipped));
        return;
    }
    show(std::move(records), path, std::move(reckoned));
    // One pass over the texts: a file name may hold "%2" itself.
    const QString name = m_shownFile;
    emit opened(
        QStringLiteral("Открыта запись %1: показаний %2.").arg(name, QString::number(tally.read)));
    if (tally.skipped > 0)
        emit notice(QStringLiteral("Запись %1: прочитано строк: %2, пропущено: %3 (первая "
                                   "пропущенная — строка %4).")
                        .arg(name, QString::number(tally.read), QString::number(tally.skipped),
                             QString::number(tally.firstSkipped)));
}

void ChartBuilder::show(std::deque<PowerData> records, const QString& path,
                        std::optional<Reckoned> reckoned) {
    // The unit named is that of the records shown, read in the same pass as they were.
    const auto withUnit = std::find_if(records.cbegin(), records.cend(),
                                       [](const PowerData& r) { return r.powerUnitId() != 0; });
    const QString unit = withUnit == records.cend() ? QString() : withUnit->powerUnit();
    m_loading = true;
    m_model->clear();
    if (reckoned)
        m_model->replaceAll(std::move(records), reckoned->range.first, reckoned->range.second,
                            std::move(reckoned->summary));
    else
        m_model->replaceAll(std::move(records));
    m_loading = false;
    m_shownFile = QFileInfo(path).fileName();
    m_shownUnit = unit;
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
        job->tally = parser.tally();
        if (job->outcome == CsvParser::Outcome::Read && !job->cancelled) {
            job->reckoned.range = PowerDataModel::powerRange(job->records);
            job->reckoned.summary = SeriesSummary::build(job->records);
        }
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
    finish(job->outcome, std::move(job->records), job->tally, job->path, std::move(job->reckoned));
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
