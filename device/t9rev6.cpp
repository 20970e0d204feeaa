#include "t9rev6.h"

#include "t9rev6_driver.h"

#include <limits>

T9rev6::T9rev6() : T9rev6(DriverSettings{}) {}

T9rev6::T9rev6(const DriverSettings& settings)
    : driver(new T9Rev6_driver(settings)),
      pwr(std::numeric_limits<double>::quiet_NaN()),
      pwrFreq(std::numeric_limits<double>::quiet_NaN()) {
    // The driver emits from its worker thread: these are queued.
    connect(driver, &T9Rev6_driver::reading, this, &T9rev6::getReading);
    connect(driver, &T9Rev6_driver::devListUpdated, this, &T9rev6::getDevList);
    connect(driver, &T9Rev6_driver::deviceMissing, this, &T9rev6::deviceState);
    connect(driver, &T9Rev6_driver::replyLost, this, &T9rev6::lostReply);
    connect(driver, &T9Rev6_driver::replyUnusable, this, &T9rev6::unusableReply);
    connect(driver, &T9Rev6_driver::portRefused, this, &T9rev6::portRefused);
    connect(driver, &T9Rev6_driver::portSlow, this, &T9rev6::portSlow);
}

T9rev6::~T9rev6() {
    delete driver;
}

bool T9rev6::start(int index) {
    // By identification: the driver may have finished a newer pass in which the indexes moved.
    measuring = driver->startMeter(lastDevList.value(index));
    return measuring;
}

bool T9rev6::startAt(const QString& identification, const QString& port) {
    measuring = driver->startAt(identification, port);
    return measuring;
}

QString T9rev6::portOf(const QString& identification) const {
    return driver->portOf(identification);
}

void T9rev6::holdPorts(const QStringList& ports, const QStringList& meters) {
    driver->holdPorts(ports, meters);
}

bool T9rev6::stop() {
    measuring = false;
    driver->stop();
    return true;
}

double T9rev6::power() {
    return pwr;
}

QString T9rev6::portName() const {
    return measuring ? driverObject()->openedPort() : QString();
}

void T9rev6::setFreq(const double& freq) {
    driver->setFreq(freq);
}

void T9rev6::setAtt(bool att) {
    driver->setAtt(att);
}

// A value without its request: the frequency it was measured at is not known.
void T9rev6::getPwr(double var) {
    takeReading(var, std::numeric_limits<double>::quiet_NaN(), false);
}

void T9rev6::getReading(double var, double freqKHz, bool att) {
    takeReading(var, freqKHz, att);
}

void T9rev6::takeReading(double var, double freqKHz, bool att) {
    // A reading the driver sent just before stop() is delivered after it: a closed connection
    // must not show (or record) a value again.
    if (!measuring)
        return;
    pwr = var;
    pwrFreq = freqKHz;
    pwrAtt = att;
    emit powerUpdated();
}

void T9rev6::lostReply() {
    if (measuring)
        emit replyLost();
}

void T9rev6::unusableReply(QByteArray reply) {
    if (measuring)
        emit replyUnusable(QString::fromUtf8(reply));
}
