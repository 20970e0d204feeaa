#include "portthreads.h"

#include "comportinfo.h"

#include <QCoreApplication>

#include <memory>

#include <utility>

void releaseWhenFinished(QThread* thread) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;  // no event loop to do it in: it ends with the process
    // Whoever sees the thread finished first deletes it: the signal, or the check below.
    auto claimed = std::make_shared<std::atomic<bool>>(false);
    QObject::connect(thread, &QThread::finished, app, [thread, claimed] {
        if (!claimed->exchange(true)) {
            thread->wait();
            delete thread;
        }
    });
    if (thread->isFinished() && !claimed->exchange(true)) {
        thread->wait();
        delete thread;
    }
}

PortEnumerator::PortEnumerator(std::function<QStringList()> enumerate, QObject* target)
    : fn(std::move(enumerate)), target(target) {}

void PortEnumerator::detach() {
    std::lock_guard<std::mutex> lock(targetMutex);
    target = nullptr;
}

void PortEnumerator::enumerate() {
    const QStringList names = fn();
    std::lock_guard<std::mutex> lock(targetMutex);
    if (target)
        QMetaObject::invokeMethod(target, "enumerated", Qt::QueuedConnection,
                                  Q_ARG(QStringList, names));
}

ProbeThread::ProbeThread(const QString& portName, int timeoutMs, int pass,
                         std::function<void(const QString&)> beforeOpen)
    : name(portName), timeout(timeoutMs), passId(pass), hook(std::move(beforeOpen)) {
    setObjectName(QStringLiteral("probe ") + portName);
}

void ProbeThread::abort() {
    aborted.store(true);
    quit();  // also ends an event loop that has not started yet
}

void ProbeThread::run() {
    if (hook)
        hook(name);
    if (aborted.load())
        return;
    QByteArray result;
    bool done = false;
    bool denied = false;
    {
        ComPortInfo probe(name, timeout);
        denied = probe.permissionDenied();
        connect(&probe, &ComPortInfo::info, &probe, [&](const QByteArray& info, const QString&) {
            result = info;
            done = true;
            quit();
        });
        exec();
    }  // the port is closed here, before anyone hears of the result
    if (denied && !aborted.load())
        emit refused(name);
    if (done && !aborted.load())
        emit reported(result, name, passId);
}
