#pragma once

#include <QAbstractListModel>
#include <QStringList>

// The event log: the newest 1000 lines, each composed in full by the caller.
class LogsModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Roles { eLog = Qt::UserRole };

    explicit LogsModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QHash<int, QByteArray> roleNames() const override;

    void addLog(const QString& line);
    Q_INVOKABLE QString lastLog() const;

    int limit() const { return m_limit; }

private:
    QStringList m_lines;
    const int m_limit;
};
