#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QStringDecoder>
#include <array>
#include <deque>
#include <functional>
#include <optional>

#include "ifileparser.h"

class CsvParser final : public iFileParser {
public:
    // Larger files are refused before reading: their records would take more memory than a chart
    // should (about five million readings, two months at one a second).
    static constexpr qint64 MaxFileBytes = 256LL * 1024 * 1024;
    // The file is read in pieces of this size, so a file that shrinks or fails while it is read
    // ends the reading where it ends instead of taking the program down.
    static constexpr qint64 ChunkBytes = 1 << 20;

    // A longer line is skipped unread, like a line of too few fields.
    static constexpr qsizetype MaxLineBytes = 1 << 20;

    enum class Outcome { Read, Missing, LinkLoop, NotRegular, TooLarge, NotOpened, Cancelled };

    // What the last reading made of the file's lines. Blank lines count as neither; a skipped
    // line is one of too few fields, over MaxLineBytes, without a number for the power or in a
    // unit the program does not know (the last two give a record without a value).
    struct Tally {
        qint64 fileBytes = -1;  // size of the opened file, -1 before one was opened
        qint64 read = 0;
        qint64 skipped = 0;
        qint64 firstSkipped = 0;  // its line number, from 1
    };

    QList<PowerData>& getData() override { return m_data; }
    bool parse(const QString& path) override;
    // Reads records from bytes in memory exactly as from a file holding them.
    void parseBytes(const QByteArray& bytes);
    // Whether a path can be read at all, decided before opening it: a pipe or a device would
    // block or never end, and a file over MaxFileBytes is refused. Read when it can. The reading
    // itself checks the file it opened again.
    static Outcome check(const QString& path);
    // The whole reading for a loader in another thread: records are appended to `out`; after
    // every piece `progress(bytesRead, fileSize)` is called and ends the reading when it returns
    // false (Cancelled). Each record has its line's power unit, in the program's own text.
    Outcome read(const QString& path, std::deque<PowerData>& out,
                 const std::function<bool(qint64, qint64)>& progress = {});

    // The time field of a record line, "dd.MM.yyyy HH::mm::ss", read as local time. The same
    // moment as QDateTime::fromString with that pattern gives (mostly held in UTC), without its
    // per-call cost.
    QDateTime parseTime(const char* text, qsizetype size);

    const Tally& tally() const { return m_tally; }

private:
    void begin();
    // Takes the next piece of the file; `last` for the final one.
    void feed(const char* data, qsizetype size, bool last, std::deque<PowerData>& out);
    void parseLines(const char* data, qsizetype size, std::deque<PowerData>& out);
    void skipLine();
    // The record a line starts from for its power-unit field: its unit, or none if unknown.
    const PowerData* unitRecord(const char* field, qsizetype size);

    QList<PowerData> m_data;
    // Per reading: an incomplete last line waiting for the next piece, the text decoder for
    // files that start with a UTF-16 byte-order mark, whether the start was looked at.
    QByteArray m_carry;
    std::optional<QStringDecoder> m_decoder;
    bool m_atStart = true;
    bool m_inLongLine = false;  // the rest of an over-long line is passed over
    qint64 m_lineNo = 0;
    Tally m_tally;
    // The last power-unit fields seen, and the record each line in that unit starts from: a file
    // has a handful of unit texts (a power near a prefix boundary switches to and fro), and each
    // is looked up once, not once a line.
    struct UnitSeen {
        QByteArray field;
        PowerData record;  // no unit: not known
    };
    std::array<UnitSeen, 4> m_units;
    std::size_t m_unitsNext = 0;
    // Local-time offset of the last hour seen, valid when that hour has no offset change; reset
    // for every reading, as the time zone may have changed in between.
    qint64 m_cachedHour = -1;
    qint64 m_cachedOffsetSecs = 0;
    bool m_cachedHourUniform = false;
};
