#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <memory>
#include <vector>

class ChartBuilder;
class PowerDataModel;

// Recordings opened together with the one on the chart, drawn over it as traces of their own
// (a past measurement of several meters, one file per meter): each read by a ChartBuilder of its
// own into a series of its own, in the order chosen, a row once it is read. Rows: the legend's
// `name` (the file's name), `traceColor`, `series`.
class RecordingOverlays : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged FINAL)

public:
    enum Roles { NameRole = Qt::UserRole + 1, TraceColorRole, SeriesRole };

    // `main` is the chart's own series: the overlays are shown in its unit family.
    explicit RecordingOverlays(const PowerDataModel* main, QObject* parent = nullptr);
    ~RecordingOverlays() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return int(m_rows.size()); }

    // Reads these files (URLs or paths); what was shown before goes.
    void open(const QStringList& urls);
    void clear();
    // The chart's unit family changed.
    void followUnit();

signals:
    void countChanged();
    // As ChartBuilder says them, for the log and the message box.
    void failed(const QString& text);
    void notice(const QString& text);
    void opened(const QString& text);

private:
    struct Overlay;
    void shown(Overlay* overlay);
    int family() const;

    const PowerDataModel* m_main;
    std::vector<std::unique_ptr<Overlay>> m_loading;  // being read, in the order chosen
    std::vector<std::unique_ptr<Overlay>> m_rows;
    // Taken off at the last clear: kept until the next, as views let go of a series only
    // after the reset that removed it.
    std::vector<std::unique_ptr<Overlay>> m_retired;
};
