#pragma once

#include <QString>
#include <functional>

// Where a part of the controller says what it did: the controller's event log.
using LogSink = std::function<void(const QString&)>;
