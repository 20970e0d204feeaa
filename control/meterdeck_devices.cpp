// The production constructor lives apart, so the rest of the controller links without the
// device layer (tests build it on their own devices).
#include "meterdeck.h"

#include "ortix.h"
#include "t9rev6.h"

Meterdeck::Meterdeck() : QObject(nullptr) {
    setUp(nullptr);
    auto* t9rev6 = new T9rev6();
    auto* ortix = new Ortix();
    m_ownedDevices.emplace_back(t9rev6);
    m_ownedDevices.emplace_back(ortix);
    attach({t9rev6, ortix});
}
