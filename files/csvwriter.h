#pragma once

#include "iwriter.h"

// Appends one ";"-separated line per reading; opens and closes the file on every call, and the
// line is on stable storage before write() reports success.
class CsvWriter final : public iWriter {
public:
    bool write(const QString& fileName, PowerData data) override;

    // The exact line for a record, line feed included, before encoding.
    static QString formatLine(const PowerData& data);

    // Durability flush after each line; benchmarks switch it off to see the rest of the cost.
    void setSyncEnabled(bool on) { m_sync = on; }

private:
    bool m_sync = true;
};
