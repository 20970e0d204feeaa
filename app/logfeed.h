#pragma once

#include <QAbstractListModel>
#include <QPointer>

#include <QtQml/qqmlregistration.h>

// The event log (a LogsModel) as its view takes it. The log model announces every new line as a
// reset, and a view answers a reset by building every visible entry anew (the most costly part of a
// reading). This feed passes the log's lines through and tells the view what a reset after a new
// line really was: one line added at the end, and the oldest dropped at the limit. Anything else
// goes on as a reset.
class LogFeed : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QAbstractItemModel* source READ source WRITE setSource NOTIFY sourceChanged)

public:
    explicit LogFeed(QObject* parent = nullptr);

    QAbstractItemModel* source() const { return m_source.data(); }
    void setSource(QAbstractItemModel* source);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void sourceChanged();
    // After every change of the log, once the view has taken it: a view that follows the newest
    // line moves on here (at the limit its count stays as it was).
    void linesChanged();

private:
    void aboutToReset();
    void reset();
    QVariant lastLine() const;

    QPointer<QAbstractItemModel> m_source;
    int m_rows = 0;
    // The newest line before the source's reset.
    QVariant m_last;
    bool m_resetting = false;
};
