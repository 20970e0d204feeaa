#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

#include "csvparser.h"
#include "recordingoverlays.h"
#include "seriessummary.h"

QT_BEGIN_NAMESPACE
class QThread;
QT_END_NAMESPACE

class PowerDataModel;

// Loads a recorded file, named by its URL, into the power model in place of the live series.
// A file over AsyncBytes is read in a thread of its own, with progress and a cancel, and put into
// the model in one step when it is read whole; smaller ones load at once.
class ChartBuilder : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString filePath READ filePath WRITE setFilePath NOTIFY filePathChanged)
    Q_PROPERTY(bool needUpdate READ needUpdate WRITE setNeedUpdate NOTIFY needUpdateChanged)
    // While a loaded file is on the chart: its name and the unit it was recorded in; empty once
    // the chart shows anything else (a new connection, a live reading).
    Q_PROPERTY(QString shownFile READ shownFile NOTIFY shownChanged)
    Q_PROPERTY(QString shownUnit READ shownUnit NOTIFY shownChanged)
    // While a big file is being read: true, and the share read so far (0 … 1).
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    Q_PROPERTY(double loadProgress READ loadProgress NOTIFY loadProgressChanged)
    // Recordings opened together with the shown one, drawn over it; gone with it.
    Q_PROPERTY(RecordingOverlays* overlays READ overlays CONSTANT)

public:
    // Files up to this size (some 20 000 readings) are read in the calling thread.
    static constexpr qint64 AsyncBytes = 1 << 20;

    explicit ChartBuilder(PowerDataModel* model, QObject* parent = nullptr);
    ~ChartBuilder() override;

    QString filePath() const { return m_filePath; }
    void setFilePath(const QString& value);
    bool needUpdate() const { return m_needUpdate; }
    void setNeedUpdate(bool value);
    QString shownFile() const { return m_shownFile; }
    QString shownUnit() const { return m_shownUnit; }
    bool loading() const { return bool(m_job); }
    double loadProgress() const { return m_progress; }

    RecordingOverlays* overlays();
    // Several recordings chosen at once: the first on the chart as a single one is, the others
    // over it (URLs or paths).
    Q_INVOKABLE void openFiles(const QVariantList& urls);

    // Ends a reading under way; the chart stays as it was.
    Q_INVOKABLE void cancelLoad();

signals:
    void filePathChanged();
    void needUpdateChanged();
    void shownChanged();
    // A file that could not be shown, in the operator's words; the chart is left as it was.
    void failed(const QString& text);
    // A file shown without some of its lines, in the operator's words: once per file.
    void notice(const QString& text);
    // A file put on the chart, for the log.
    void opened(const QString& text);
    void loadingChanged();
    void loadProgressChanged();

public slots:
    void createSeries();

private:
    bool m_needUpdate = false;
    QString m_filePath;
    CsvParser m_parser;
    PowerDataModel* m_model;
    RecordingOverlays* m_overlays = nullptr;  // made when first asked for
    QString m_shownFile;
    QString m_shownUnit;
    struct Job;
    void startJob(const QString& path);
    void finishJob(const std::shared_ptr<Job>& job);
    void endJob();
    // A loaded file's figures, reckoned in the loader's thread.
    struct Reckoned {
        std::pair<double, double> range;
        std::shared_ptr<const SeriesSummary> summary;
    };
    void finish(CsvParser::Outcome outcome, std::deque<PowerData> records,
                const CsvParser::Tally& tally, const QString& path,
                std::optional<Reckoned> reckoned = std::nullopt);
    void show(std::deque<PowerData> records, const QString& path, std::optional<Reckoned> reckoned);
    void fail(const QString& path, const QString& why);

    bool m_loading = false;
    std::shared_ptr<Job> m_job;
    QThread* m_thread = nullptr;
    double m_progress = 0.0;
};
