#pragma once

#include <QList>
#include <QString>

#include "powerdata.h"

// Reads a record file back into records.
class iFileParser {
public:
    virtual QList<PowerData>& getData() = 0;
    virtual bool parse(const QString& path) = 0;

protected:
    ~iFileParser() = default;
};
