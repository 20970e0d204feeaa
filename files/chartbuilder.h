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

public:
    explicit ChartBuilder(PowerDataModel* model, QObject* parent = nullptr);

    QString filePath() const { return m_filePath; }
    void setFilePath(const QString& value);
    bool needUpdate() const { return m_needUpdate; }
    void setNeedUpdate(bool value);

signals:
    void filePathChanged();
    void needUpdateChanged();

public slots:
    void createSeries();

private:
    bool m_needUpdate = false;
    QString m_filePath;
    CsvParser m_parser;
    iFileParser* m_reader = &m_parser;
    PowerDataModel* m_model;
};
