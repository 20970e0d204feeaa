#pragma once

#include <QString>

#include "powerdata.h"

// Appends one record to a record file.
class iWriter {
public:
    virtual bool write(const QString& fileName, PowerData data) = 0;

protected:
    ~iWriter() = default;
};
