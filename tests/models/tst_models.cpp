#include <QSignalSpy>
#include <QtTest>

#include "devicemodel.h"
#include "logsmodel.h"
#include "powerdatamodel.h"

namespace {

PowerData reading(int secs, double power) {
    return PowerData(QDateTime(QDate(2026, 12, 5), QTime(14, 0)).addSecs(secs), power,
                     QStringLiteral("дБм"), 3000.0, QStringLiteral("кГц"));
}

QStringList signalOrder(QAbstractItemModel* model, const std::function<void()>& action) {
    QStringList order;
    QList<QMetaObject::Connection> conns;
    auto watch = [&](auto signal, const char* name) {
        conns << QObject::connect(model, signal,
                                  [&order, name] { order << QString::fromLatin1(name); });
    };
    watch(&QAbstractItemModel::modelAboutToBeReset, "aboutToReset");
    watch(&QAbstractItemModel::modelReset, "reset");
    if (auto* p = qobject_cast<PowerDataModel*>(model)) {
        conns << QObject::connect(p, &PowerDataModel::timeMinChanged, [&] { order << "timeMin"; });
        conns << QObject::connect(p, &PowerDataModel::timeMaxChanged, [&] { order << "timeMax"; });
        conns << QObject::connect(p, &PowerDataModel::powerMinChanged,
                                  [&] { order << "powerMin"; });
        conns << QObject::connect(p, &PowerDataModel::powerMaxChanged,
                                  [&] { order << "powerMax"; });
    }
    action();
    for (const auto& c : conns)
        QObject::disconnect(c);
    return order;
}

}  // namespace

class TestModels : public QObject {
    Q_OBJECT
private slots:
    // --- power series ---
    void powerModelStartsEmptyWithDefaultBounds() {
        PowerDataModel m;
        QCOMPARE(m.rowCount(), 0);
        QCOMPARE(m.columnCount(), 5);
        QCOMPARE(m.powerMin(), -150.0);
        QCOMPARE(m.powerMax(), -100.0);
        QVERIFY(m.timeMin().isNull());
        QVERIFY(m.timeMax().isNull());
        QCOMPARE(m.property("eTime").toInt(), 0);
        QCOMPARE(m.property("eFreq").toInt(), 1);
        QCOMPARE(m.property("eFreqUnit").toInt(), 2);
        QCOMPARE(m.property("edBm").toInt(), 3);
        QCOMPARE(m.property("edBmUnit").toInt(), 4);
    }

    void appendSeedsAndWidensBounds() {
        PowerDataModel m;
        m.append(reading(0, -42.5));
        QCOMPARE(m.powerMin(), -42.5);
        QCOMPARE(m.powerMax(), -42.5);
        m.clear();
        QCOMPARE(m.rowCount(), 0);
        QCOMPARE(m.powerMin(), -42.5);  // clear keeps the bounds
        for (double p : {-50.0, -40.0, -45.0})
            m.append(reading(int(p), p));
        QCOMPARE(m.powerMin(), -50.0);
        QCOMPARE(m.powerMax(), -40.0);
        // A value between the bounds moves neither.
        m.append(reading(9, -47.0));
        QCOMPARE(m.powerMin(), -50.0);
        QCOMPARE(m.powerMax(), -40.0);

        // A first record without a value neither sets the range nor blocks it.
        m.clear();
        for (double p : {qQNaN(), -20.0, qQNaN(), -10.0, -30.0})
            m.append(reading(1, p));
        QCOMPARE(m.powerMin(), -30.0);
        QCOMPARE(m.powerMax(), -10.0);
    }

    void appendSignalsResetThenFourBoundsInOrder() {
        PowerDataModel m;
        m.append(reading(0, -10));
        const QStringList order = signalOrder(&m, [&] { m.append(reading(1, -10)); });
        QCOMPARE(order, (QStringList{"aboutToReset", "reset", "timeMin", "timeMax", "powerMin",
                                     "powerMax"}));
    }

    void capacityDropsOldestWithTwoResets() {
        PowerDataModel m;
        m.append(reading(0, 5.0));  // the dropped reading keeps its part in the bounds
        for (int i = 1; i < 1000; ++i)
            m.append(reading(i, -20.0 + (i % 7)));
        QCOMPARE(m.rowCount(), 1000);
        const QDateTime formerRow1 = m.data(m.index(1, 0)).toDateTime();
        const QStringList order = signalOrder(&m, [&] { m.append(reading(1000, -30.0)); });
        QCOMPARE(order.count("reset"), 2);
        QCOMPARE(m.rowCount(), 1000);
        QCOMPARE(m.data(m.index(0, 0)).toDateTime(), formerRow1);
        QCOMPARE(m.timeMin(), formerRow1);
        QCOMPARE(m.timeMax(), reading(1000, 0).time());
        QCOMPARE(m.powerMax(), 5.0);
        QCOMPARE(m.powerMin(), -30.0);
    }

    void replaceAllRecomputesBoundsAndKeepsEveryRecord() {
        PowerDataModel m;
        std::deque<PowerData> rising{reading(0, 1), reading(1, 2), reading(2, 3)};
        m.replaceAll(rising);
        QCOMPARE(m.powerMin(), 1.0);
        QCOMPARE(m.powerMax(), 3.0);

        std::deque<PowerData> big;
        for (int i = 0; i < 2500; ++i)
            big.push_back(reading(i, -i));
        m.replaceAll(big);
        QCOMPARE(m.rowCount(), 2500);
        QCOMPARE(m.powerMin(), -2499.0);
        QCOMPARE(m.powerMax(), 0.0);

        const QStringList order = signalOrder(&m, [&] { m.replaceAll({}); });
        QCOMPARE(order, (QStringList{"aboutToReset", "reset", "timeMin", "timeMax", "powerMin",
                                     "powerMax"}));
        QCOMPARE(m.rowCount(), 0);
        QCOMPARE(m.powerMin(), 10000000.0);
        QCOMPARE(m.powerMax(), -1000000.0);
    }

    void powerDataAndSetDataRules() {
        PowerDataModel m;
        m.append(reading(0, -12.5));
        QCOMPARE(m.data(m.index(0, 3)).toDouble(), -12.5);
        QCOMPARE(m.data(m.index(0, 0)).toDateTime(), reading(0, 0).time());
        QCOMPARE(m.data(m.index(0, 1)), QVariant(true));
        QVERIFY(!m.data(m.index(1, 0)).isValid());
        QVERIFY(!m.data(QModelIndex()).isValid());

        QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
        QSignalSpy bounds(&m, &PowerDataModel::powerMaxChanged);
        QVERIFY(m.setData(m.index(0, 3), 7.25));
        QCOMPARE(m.data(m.index(0, 3)).toDouble(), 7.25);
        QVERIFY(m.setData(m.index(0, 2), QStringLiteral("x")));  // accepted, stores nothing
        QCOMPARE(m.data(m.index(0, 2)), QVariant(true));
        QCOMPARE(changed.count(), 2);
        QVERIFY(changed.at(0).at(2).value<QList<int>>().isEmpty());
        QCOMPARE(bounds.count(), 0);
        QVERIFY(!m.setData(QModelIndex(), 1.0));
    }

    // --- device list ---
    void deviceListFollowsPassesKeepingSettings() {
        DeviceModel m;
        QCOMPARE(m.rowCount(), 0);
        QCOMPARE(m.roleNames(),
                 (QHash<int, QByteArray>{{256, "eInfo"}, {257, "eAtt"}, {258, "eFreq"}}));
        QSignalSpy resets(&m, &QAbstractItemModel::modelReset);
        auto infos = [&m] {
            QStringList out;
            for (const DeviceItem& i : m.items())
                out << i.info();
            return out;
        };

        m.setDevList({DeviceItem("A"), DeviceItem("B")});
        QCOMPARE(resets.count(), 1);
        QCOMPARE(infos(), QStringList({"A", "B"}));
        QCOMPARE(m.data(m.index(1), 257), QVariant(false));
        QCOMPARE(m.data(m.index(1), 258).toDouble(), 3000.0);

        QVERIFY(m.setData(m.index(0), 1500.5, 258));
        QVERIFY(m.setData(m.index(0), true, 257));
        // A pass in another answer order, with a repeated entry: rows and settings stay.
        m.setDevList({DeviceItem("B"), DeviceItem("A"), DeviceItem("B")});
        QCOMPARE(infos(), QStringList({"A", "B"}));
        QCOMPARE(m.data(m.index(0), 258).toDouble(), 1500.5);
        QCOMPARE(m.data(m.index(0), 257), QVariant(true));
        // A leaves; C, new, follows the B that stays.
        m.setDevList({DeviceItem("C"), DeviceItem("B")});
        QCOMPARE(infos(), QStringList({"B", "C"}));
        m.setDevList({});
        QCOMPARE(m.rowCount(), 0);
        m.setDevList({});
        QCOMPARE(resets.count(), 5);  // a reset also when nothing changed
    }

    void deviceDataRules() {
        DeviceModel m;
        m.setDevList({DeviceItem("A")});
        QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
        QVERIFY(m.setData(m.index(0), QStringLiteral("Z"), 256));
        QCOMPARE(m.data(m.index(0), 256).toString(), QStringLiteral("A"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(m.data(m.index(0), Qt::DisplayRole), QVariant(true));
        QVERIFY(!m.data(m.index(1), 256).isValid());
        QVERIFY(!m.setData(m.index(1), 1.0, 258));
    }

    // --- event log ---
    void logKeepsNewestThousandLines() {
        LogsModel m;
        QCOMPARE(m.rowCount(), 0);
        QCOMPARE(m.lastLog(), QString());
        QCOMPARE(m.roleNames(), (QHash<int, QByteArray>{{256, "eLog"}}));
        m.addLog(QStringLiteral("A"));
        m.addLog(QStringLiteral("B"));
        QCOMPARE(m.data(m.index(0), 256).toString(), QStringLiteral("A"));
        QCOMPARE(m.lastLog(), QStringLiteral("B"));
        for (int i = 3; i <= 1001; ++i)
            m.addLog(QString::number(i));
        QCOMPARE(m.rowCount(), 1000);
        QCOMPARE(m.data(m.index(0), 256).toString(), QStringLiteral("B"));
        QCOMPARE(m.lastLog(), QStringLiteral("1001"));
        QSignalSpy resets(&m, &QAbstractItemModel::modelReset);
        m.addLog(QString());
        QCOMPARE(resets.count(), 1);
        QCOMPARE(m.rowCount(), 1000);
        QCOMPARE(m.lastLog(), QString());
    }

    void logDataRules() {
        LogsModel m;
        m.addLog(QStringLiteral("line"));
        QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
        QVERIFY(m.setData(m.index(0), QStringLiteral("edited"), 256));
        QCOMPARE(m.lastLog(), QStringLiteral("line"));
        QCOMPARE(changed.count(), 0);
        QVERIFY(!m.setData(m.index(1), QStringLiteral("x"), 256));
        QCOMPARE(m.data(m.index(0), Qt::DisplayRole), QVariant(true));
        QVERIFY(!m.data(m.index(1), 256).isValid());
    }
};

QTEST_GUILESS_MAIN(TestModels)
#include "tst_models.moc"
