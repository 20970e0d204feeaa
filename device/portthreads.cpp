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

PortEnumerator::PortEnumerator(std::function<QStringList()> enumerate,
                               std::function<bool(const QString&)> present, QObject* target)
    : fn(std::move(enumerate)), presentFn(std::move(present)), target(target) {}

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

void PortEnumerator::check(const QString& portName) {
    const bool present = presentFn(portName);
    std::lock_guard<std::mutex> lock(targetMutex);
    if (target)
        QMetaObject::invokeMethod(target, "checked", Qt::QueuedConnection, Q_ARG(QString, portName),
                                  Q_ARG(bool, present));
}

ProbeThread::ProbeThread(const QString& portName, int timeoutMs, int pass,
                         std::function<void(const QString&)> beforeOpen, const LineLedger& ledger)
    : name(portName), timeout(timeoutMs), passId(pass), hook(std::move(beforeOpen)), line(ledger) {
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
    ComPortInfo probe(name, timeout, line, &aborted);
    if (probe.permissionDenied() && !aborted.load())
        emit refused(name);
    connect(&probe, &ComPortInfo::info, &probe, [this](const QByteArray& info, const QString&) {
        if (!aborted.load())
            emit reported(info, name, passId);
    });
    connect(&probe, &ComPortInfo::slow, &probe, [this](const QString&) {
        if (!aborted.load())
            emit slow(name);
    });
    connect(&probe, &ComPortInfo::done, &probe, [this] { quit(); });
    exec();
    line = probe.ledger();
}
