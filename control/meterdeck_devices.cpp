// The production constructor lives apart, so the rest of the controller links without the
// device layer (tests build it on their own devices).
#include "meterdeck.h"

#include "ortix.h"
#include "pollclock.h"
#include "t9rev6.h"

Meterdeck::Meterdeck() : QObject(nullptr) {
    setUp(nullptr);
    // One poll for every meter of a measurement: their requests go out together.
    DriverSettings settings;
    settings.pollClock = std::make_shared<PollClock>(settings.powInterval);
    auto* t9rev6 = new T9rev6(settings);
    auto* ortix = new Ortix();
    m_ownedDevices.emplace_back(t9rev6);
    m_ownedDevices.emplace_back(ortix);
    attach({t9rev6, ortix});
    setFurtherDevices(furtherMeters(settings));
}

FurtherMeters::DeviceMaker Meterdeck::furtherMeters(const DriverSettings& mainSettings) {
    DriverSettings settings = mainSettings;
    settings.discover = false;
    return [settings] { return std::unique_ptr<QObject>(std::make_unique<T9rev6>(settings)); };
}
