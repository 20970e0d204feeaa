#pragma once

#include <QString>

#include "powerdata.h"

// Appends one record to a record file.
class iWriter {
public:
    virtual bool write(const QString& fileName, PowerData data) = 0;
    // Lets go of a file kept open between lines (the recording stopped): a stick can then be
    // taken out, a deleted file's room is freed.
    virtual void release() {}

protected:
    ~iWriter() = default;
};
