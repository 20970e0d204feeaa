#include "ortix.h"

#include "ortix_driver.h"

#include <limits>

Ortix::Ortix() : driver(new Ortix_driver), pwr(std::numeric_limits<double>::quiet_NaN()) {
    connect(driver, &Ortix_driver::power, this, &Ortix::getPwr);
    connect(driver, &Ortix_driver::devListUpdated, this, &Ortix::getDevList);
    connect(driver, &Ortix_driver::deviceMissing, this, &Ortix::deviceState);
}

Ortix::~Ortix() {
    delete driver;
}

bool Ortix::start(int) {
    return false;
}

bool Ortix::stop() {
    return false;
}

double Ortix::power() {
    return pwr;
}

void Ortix::setFreq(const double&) {}

void Ortix::setAtt(bool) {}

void Ortix::getPwr(double var) {
    pwr = var;
    emit powerUpdated();
}
