// The main window under Qt Quick Test, with the real controller on the scripted fake meter.
#include <QApplication>
#include <QFile>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QtQuickTest>
#include <memory>

#include "../support/fakedevice.h"
#include "../support/tracelist.h"
#include "chartbuilder.h"
#include "meterdeck.h"
#include "startup.h"

struct Logic {
    FakeDevice device;
    Meterdeck meterdeck{std::vector<iDevice*>{&device}};
    ChartBuilder builder{meterdeck.powerModel()};
    TraceList traces;
};

// Fresh objects for every test, published under the names the documents use ("device": the fake).
class Rig : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList calls READ calls)
public:
    QStringList calls() const { return m_logic.back()->device.calls; }
    Q_INVOKABLE void reset() {
        // Kept: a window torn down after the test may still look at the old ones.
        m_logic.push_back(std::make_unique<Logic>());
        Logic& l = *m_logic.back();
        QQmlContext* root = m_engine->rootContext();
        root->setContextProperty("meterdeck", &l.meterdeck);
        root->setContextProperty("deviceModel", l.meterdeck.deviceModel());
        root->setContextProperty("powerModel", l.meterdeck.powerModel());
        root->setContextProperty("logsModel", l.meterdeck.logsModel());
        root->setContextProperty("chartBuilder", &l.builder);
        root->setContextProperty("device", &l.device);
        startup::logChartBuilder(l.meterdeck.logsModel(), &l.builder);
    }
    Q_INVOKABLE void refuseStart() { m_logic.back()->device.startResult = false; }
    Q_INVOKABLE void addLog(const QString& line, int times = 1) {
        for (int i = 0; i < times; ++i)
            m_logic.back()->meterdeck.logsModel()->addLog(line);
    }
    // Further meters for the chart, and readings of one of them (one a second up to now).
    Q_INVOKABLE QObject* traceList() {
        QQmlEngine::setObjectOwnership(&m_logic.back()->traces, QQmlEngine::CppOwnership);
        return &m_logic.back()->traces;
    }
    Q_INVOKABLE void feed(QObject* model, double level, int count) {
        const QDateTime now = QDateTime::currentDateTime();
        for (int i = count - 1; i >= 0; --i)
            qobject_cast<PowerDataModel*>(model)->append(
                PowerData(now.addSecs(-i), level, "дБм", 3000.0, "кГц"));
    }
    Q_INVOKABLE QString path(const QString& name) const { return m_dir.filePath(name); }
    // A recording read in the background (over 2 MB, one reading a second), as a file URL.
    Q_INVOKABLE QString bigRecording() {
        QFile f(path("big.csv"));
        const QDateTime t0(QDate(2026, 5, 1), QTime(0, 0));
        if (!f.exists() && f.open(QIODevice::WriteOnly))
            for (int i = 0; i < 60000; ++i)
                f.write(t0.addSecs(i).toString("dd.MM.yyyy HH::mm::ss;3000;кГц;-").toUtf8() +
                        QByteArray::number(i % 50) + ";дБм\n");
        return QUrl::fromLocalFile(f.fileName()).toString();
    }

public slots:
    void qmlEngineAvailable(QQmlEngine* engine) {
        m_engine = engine;
        engine->rootContext()->setContextProperty("rig", this);
    }

private:
    QQmlEngine* m_engine = nullptr;
    std::vector<std::unique_ptr<Logic>> m_logic;
    QTemporaryDir m_dir;
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);  // the chart needs a widgets application
    Rig rig;
    startup::prepareQml();
    return quick_test_main_with_setup(argc, argv, "tst_qml", QUICK_TEST_SOURCE_DIR, &rig);
}

#include "tst_qml.moc"
