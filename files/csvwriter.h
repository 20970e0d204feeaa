#pragma once

#include <QStringEncoder>

#include "iwriter.h"
#include "recordfile.h"

// Appends one ";"-separated line per reading; the line is on stable storage before write()
// reports success. The file may stay open between lines (RecordFile::Appender), but every line
// goes to the file its name leads to at that moment.
class CsvWriter final : public iWriter {
public:
    bool write(const QString& fileName, PowerData data) override;
    void release() override { m_file.close(); }

    // The exact line for a record, line feed included, before encoding.
    static QString formatLine(const PowerData& data);

    // Durability flush after each line; benchmarks switch it off to see the rest of the cost.
    void setSyncEnabled(bool on) { m_sync = on; }

private:
    bool m_sync = true;
    QStringEncoder m_encoder{QStringConverter::System};
    RecordFile::Appender m_file;
};
