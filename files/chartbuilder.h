#pragma once

#include <QObject>
#include <QString>

#include "csvparser.h"

class PowerDataModel;

// Loads a recorded file, named by its URL, into the power model in place of the live series.
class ChartBuilder : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString filePath READ filePath WRITE setFilePath NOTIFY filePathChanged)
    Q_PROPERTY(bool needUpdate READ needUpdate WRITE setNeedUpdate NOTIFY needUpdateChanged)
    // While a loaded file is on the chart: its name and the unit it was recorded in; empty once
    // the chart shows anything else (a new connection, a live reading).
    Q_PROPERTY(QString shownFile READ shownFile NOTIFY shownChanged)
    Q_PROPERTY(QString shownUnit READ shownUnit NOTIFY shownChanged)

public:
    explicit ChartBuilder(PowerDataModel* model, QObject* parent = nullptr);

    QString filePath() const { return m_filePath; }
    void setFilePath(const QString& value);
    bool needUpdate() const { return m_needUpdate; }
    void setNeedUpdate(bool value);
    QString shownFile() const { return m_shownFile; }
    QString shownUnit() const { return m_shownUnit; }

signals:
    void filePathChanged();
    void needUpdateChanged();
    void shownChanged();
    // A file that could not be shown, in the operator's words; the chart is left as it was.
    void failed(const QString& text);

public slots:
    void createSeries();

private:
    bool m_needUpdate = false;
    QString m_filePath;
    CsvParser m_parser;
    iFileParser* m_reader = &m_parser;
    PowerDataModel* m_model;
    QString m_shownFile;
    QString m_shownUnit;
    bool m_loading = false;
};
