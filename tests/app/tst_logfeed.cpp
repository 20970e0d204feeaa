// The event log's feed to its view: each new line of the log (a reset of the log model) reaches
// the view as one row added at the end and, at the limit, the oldest removed; anything else as a
// reset. The view sees the log's lines at every step.
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

#include "logfeed.h"
#include "logsmodel.h"

namespace {

// A log whose lines can be replaced at will, announced as a reset as the log does.
class ScriptedLog : public QAbstractListModel {
public:
    int rowCount(const QModelIndex& = {}) const override { return int(lines.size()); }
    QVariant data(const QModelIndex& i, int role) const override {
        return role == LogsModel::eLog ? QVariant(lines.value(i.row())) : QVariant();
    }
    void replace(const QStringList& next) {
        beginResetModel();
        lines = next;
        endResetModel();
    }
    QStringList lines;
};

QStringList shown(const LogFeed& feed) {
    QStringList out;
    for (int row = 0; row < feed.rowCount(); ++row)
        out << feed.data(feed.index(row), LogsModel::eLog).toString();
    return out;
}

}  // namespace

class TestLogFeed : public QObject {
    Q_OBJECT
private slots:
    void newLinesArriveAsRows() {
        LogsModel log;
        LogFeed feed;
        QAbstractItemModelTester tester(&feed,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        log.addLog(QStringLiteral("before"));
        feed.setSource(&log);
        QCOMPARE(shown(feed), QStringList{QStringLiteral("before")});
        QSignalSpy resets(&feed, &QAbstractItemModel::modelReset);
        QSignalSpy inserted(&feed, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&feed, &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(&feed, &LogFeed::linesChanged);
        QStringList lines{QStringLiteral("before")};
        for (int i = 0; i < log.limit() + 20; ++i) {
            // Equal lines too: the view must not take one for the other.
            const QString line = QStringLiteral("line %1").arg(i % 7 == 0 ? 0 : i);
            log.addLog(line);
            lines << line;
            if (lines.size() > log.limit())
                lines.removeFirst();
            QCOMPARE(feed.rowCount(), log.rowCount());
            QCOMPARE(inserted.size(), i + 1);
            QCOMPARE(inserted.last().at(1).toInt(), feed.rowCount() - 1);
            QCOMPARE(changed.size(), i + 1);
        }
        QCOMPARE(shown(feed), lines);
        QCOMPARE(resets.size(), 0);
        QCOMPARE(removed.size(), 21);
        QCOMPARE(removed.last().at(1).toInt(), 0);
    }

    // A reset that was no new line at the end reaches the view as a reset.
    void otherChangesResetTheView() {
        ScriptedLog log;
        LogFeed feed;
        QAbstractItemModelTester tester(&feed,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        feed.setSource(&log);
        QSignalSpy resets(&feed, &QAbstractItemModel::modelReset);
        QSignalSpy inserted(&feed, &QAbstractItemModel::rowsInserted);
        log.replace({"a", "b"});  // two at once
        QCOMPARE(resets.size(), 1);
        log.replace({"a", "b", "c"});
        QCOMPARE(inserted.size(), 1);
        log.replace({"x", "b", "c", "d"});  // appended, but the start changed too: shown whole
        QCOMPARE(shown(feed), log.lines);
        log.replace({"b", "x", "e", "f"});  // as many lines, the newest before it is gone
        QCOMPARE(resets.size(), 2);
        QCOMPARE(shown(feed), log.lines);
        log.replace({});
        QCOMPARE(resets.size(), 3);
        QCOMPARE(feed.rowCount(), 0);
        // Gone with its source: empty, and no reading of a deleted model.
        {
            LogsModel other;
            other.addLog(QStringLiteral("one"));
            feed.setSource(&other);
            QCOMPARE(feed.rowCount(), 1);
        }
        QCOMPARE(feed.rowCount(), 0);
        QVERIFY(!feed.source());
    }
};

QTEST_MAIN(TestLogFeed)
#include "tst_logfeed.moc"
