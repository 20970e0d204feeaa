#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>

#include "ifileparser.h"

class CsvParser final : public iFileParser {
public:
    QList<PowerData>& getData() override { return m_data; }
    bool parse(const QString& path) override;
    // Reads records from bytes in memory exactly as from a file holding them.
    void parseBytes(const QByteArray& bytes);

    // The time field of a record line, "dd.MM.yyyy HH::mm::ss", as local time. Same result as
    // QDateTime::fromString with that pattern, without its per-call cost.
    QDateTime parseTime(const char* text, qsizetype size);

private:
    void parseBuffer(const char* data, qsizetype size);

    QList<PowerData> m_data;
    // Local-time offset of the last hour seen, valid when that hour has no offset change.
    qint64 m_cachedHour = -1;
    qint64 m_cachedOffsetSecs = 0;
    bool m_cachedHourUniform = false;
};
