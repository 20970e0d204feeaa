#include "csvparser.h"
#include "recordformat.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QTime>
#include <cmath>
#include <cstring>

#if defined(Q_OS_UNIX)
#include <sys/stat.h>
#include <cerrno>
#endif

#include "powerunits.h"
#include "recordfile.h"

namespace {

constexpr qint64 kUnixEpochJulianDay = 2440588;

inline bool digits2(const char* p, int& out) {
    if (p[0] < '0' || p[0] > '9' || p[1] < '0' || p[1] > '9')
        return false;
    out = (p[0] - '0') * 10 + (p[1] - '0');
    return true;
}

bool hasDigit(const char* text, qsizetype size) {
    for (qsizetype i = 0; i < size; ++i)
        if (text[i] >= '0' && text[i] <= '9')
            return true;
    return false;
}

// A power field as a number; NaN for anything that is none (an empty field is no zero).
double parseNumber(const char* text, qsizetype size) {
    bool ok = false;
    const double v = QByteArray::fromRawData(text, size).toDouble(&ok);
    if (ok && (v != 0 || hasDigit(text, size)))
        return v;
    // Blanks outside ASCII are still blanks to the text conversion; a spreadsheet in a Russian
    // locale writes a decimal comma; a number too large for a double is an infinity there.
    QString number = QString::fromUtf8(text, size);
    if (number.count(u',') == 1 && !number.contains(u'.'))
        number.replace(u',', u'.');
    const double w = number.toDouble(&ok);
    return ok || std::isinf(w) ? w : qQNaN();
}

// What a spreadsheet writes for an empty row: nothing but blanks and separators.
bool blankLine(const char* text, qsizetype size) {
    for (qsizetype i = 0; i < size; ++i)
        if (text[i] != ' ' && text[i] != '\t' && text[i] != RecordFormat::Separator)
            return false;
    return true;
}

// The last line feed of a piece, or null.
const char* lastLineFeed(const char* data, qsizetype size) {
    for (const char* p = data + size; p != data;)
        if (*--p == '\n')
            return p;
    return nullptr;
}

}  // namespace

QDateTime CsvParser::parseTime(const char* t, qsizetype size) {
    int day, month, yh, yl, hour, minute, second;
    if (size == RecordFormat::TimeLength && t[2] == '.' && t[5] == '.' && t[10] == ' ' &&
        t[13] == ':' && t[14] == ':' && t[17] == ':' && t[18] == ':' && digits2(t, day) &&
        digits2(t + 3, month) && digits2(t + 6, yh) && digits2(t + 8, yl) &&
        digits2(t + 11, hour) && digits2(t + 15, minute) && digits2(t + 19, second)) {
        const QDate date(yh * 100 + yl, month, day);
        if (date.isValid() && hour < 24 && minute < 60 && second < 60) {
            const qint64 hourKey = date.toJulianDay() * 24 + hour;
            if (hourKey != m_cachedHour) {
                // Building a local time costs a time-zone look-up; do it a few times per hour, and
                // trust the offset only for hours well clear of a daylight-saving change, where
                // every wall-clock time exists exactly once.
                m_cachedHour = hourKey;
                const QTime first(hour, 0, 0);
                const QDateTime a(date, first, Qt::LocalTime);
                m_cachedOffsetSecs = a.offsetFromUtc();
                m_cachedHourUniform = a.isValid() && a.time() == first;
                const qint64 u = a.toSecsSinceEpoch();
                for (qint64 k : {-10800, 3599, 14399}) {
                    if (!m_cachedHourUniform)
                        break;
                    m_cachedHourUniform =
                        QDateTime::fromSecsSinceEpoch(u + k, Qt::LocalTime).offsetFromUtc() ==
                        m_cachedOffsetSecs;
                }
            }
            if (m_cachedHourUniform) {
                const qint64 localSecs = (date.toJulianDay() - kUnixEpochJulianDay) * 86400 +
                                         hour * 3600 + minute * 60 + second;
                // The moment itself, kept in UTC: equal to the local time it reads, and neither
                // building it nor drawing it needs a time-zone look-up (millions of lines).
                return QDateTime::fromSecsSinceEpoch(localSecs - m_cachedOffsetSecs, Qt::UTC);
            }
        }
    }
    return QDateTime::fromString(QString::fromUtf8(t, size), RecordFormat::TimePattern);
}

CsvParser::Outcome CsvParser::check(const QString& path) {
    if (path.isEmpty())
        return Outcome::Missing;
    const QFileInfo info(path);  // through symbolic links
    if (!info.exists()) {
#if defined(Q_OS_UNIX)
        struct stat st {};
        if (::stat(QFile::encodeName(path).constData(), &st) != 0 && errno == ELOOP)
            return Outcome::LinkLoop;
#endif
        return Outcome::Missing;
    }
    // Only a regular file: isFile() is false for pipes, sockets and devices.
    if (!info.isFile())
        return Outcome::NotRegular;
    if (info.size() > MaxFileBytes)
        return Outcome::TooLarge;
    return Outcome::Read;
}

void CsvParser::begin() {
    m_carry.clear();
    m_decoder.reset();
    m_atStart = true;
    m_inLongLine = false;
    m_lineNo = 0;
    m_tally = Tally();
    m_units = {};
    m_unitsNext = 0;
    m_cachedHour = -1;
}

CsvParser::Outcome CsvParser::read(const QString& path, std::deque<PowerData>& out,
                                   const std::function<bool(qint64, qint64)>& progress) {
    begin();
    // What was checked by name may have been replaced since: the opened file is what counts,
    // its size too.
    const Outcome can = check(path);
    if (can != Outcome::Read && can != Outcome::TooLarge)
        return can;
    QFile file;
    switch (RecordFile::open(file, path, QIODevice::ReadOnly)) {
        case RecordFile::Status::Opened:
            break;
        case RecordFile::Status::Missing:
            return Outcome::Missing;
        case RecordFile::Status::LinkLoop:
            return Outcome::LinkLoop;
        case RecordFile::Status::NotRegular:
            return Outcome::NotRegular;
        default:
            return Outcome::NotOpened;
    }
    const qint64 size = m_tally.fileBytes = file.size();
    if (size > MaxFileBytes)
        return Outcome::TooLarge;

    QByteArray chunk(ChunkBytes, Qt::Uninitialized);
    qint64 done = 0;
    for (;;) {
        // A file cut short while it is read simply ends earlier: read() gives 0 (or -1 on a
        // media error) at the new end.
        const qint64 got = file.read(chunk.data(), chunk.size());
        const bool last = got <= 0 || done + got >= MaxFileBytes;
        if (got > 0)
            done += got;
        feed(chunk.constData(), std::max<qint64>(got, 0), last, out);
        if (last)
            break;
        if (progress && !progress(done, size))
            return Outcome::Cancelled;
    }
    if (progress)
        progress(done, size);
    return Outcome::Read;
}

bool CsvParser::parse(const QString& path) {
    m_data.clear();
    std::deque<PowerData> records;
    const Outcome outcome = read(path, records);
    if (outcome == Outcome::Missing || outcome == Outcome::LinkLoop ||
        outcome == Outcome::NotRegular || outcome == Outcome::NotOpened) {
        qDebug() << "CsvParser: File not exists";
        return false;
    }
    qDebug().noquote() << "CsvParser: File open, path = " + path;
    m_data.reserve(qsizetype(records.size()));
    for (PowerData& r : records)
        m_data.append(std::move(r));
    qDebug().noquote() << "CsvParser: File close, data size = " + QString::number(m_data.size());
    return true;
}

void CsvParser::parseBytes(const QByteArray& bytes) {
    m_data.clear();
    begin();
    std::deque<PowerData> records;
    feed(bytes.constData(), bytes.size(), true, records);
    for (PowerData& r : records)
        m_data.append(std::move(r));
}

void CsvParser::feed(const char* data, qsizetype size, bool last, std::deque<PowerData>& out) {
    QByteArray decoded;
    if (m_atStart) {
        // A byte-order mark as spreadsheet programs write it: UTF-8 is skipped, UTF-16 decoded
        // (the text conversion's own detection). Needs the first bytes whole.
        if (m_carry.size() + size < 3 && !last) {
            m_carry.append(data, size);
            return;
        }
        m_carry.append(data, size);
        m_atStart = false;
        if (m_carry.startsWith("\xEF\xBB\xBF")) {
            decoded = m_carry.mid(3);
            m_carry.clear();
            data = decoded.constData();
            size = decoded.size();
        } else if (m_carry.startsWith("\xFF\xFE") || m_carry.startsWith("\xFE\xFF")) {
            m_decoder.emplace(m_carry.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                             : QStringConverter::Utf16BE);
            const QByteArray raw = m_carry.mid(2);
            m_carry.clear();
            decoded = QString(m_decoder->decode(raw)).toUtf8();
            data = decoded.constData();
            size = decoded.size();
        } else {
            decoded = std::move(m_carry);
            m_carry.clear();
            data = decoded.constData();
            size = decoded.size();
        }
    } else if (m_decoder) {
        decoded = QString(m_decoder->decode(QByteArrayView(data, size))).toUtf8();
        data = decoded.constData();
        size = decoded.size();
    }

    if (m_inLongLine) {
        const char* nl =
            size > 0 ? static_cast<const char*>(std::memchr(data, '\n', size_t(size))) : nullptr;
        if (!nl)
            return;
        m_inLongLine = false;
        size -= nl + 1 - data;
        data = nl + 1;
    }

    // Whole lines only; the rest waits for the next piece (or is the last line at the end).
    const char* lastNl = size > 0 ? lastLineFeed(data, size) : nullptr;
    if (!m_carry.isEmpty()) {
        const char* firstNl =
            size > 0 ? static_cast<const char*>(std::memchr(data, '\n', size_t(size))) : nullptr;
        if (firstNl) {
            m_carry.append(data, firstNl + 1 - data);
            parseLines(m_carry.constData(), m_carry.size(), out);
            m_carry.clear();
            const qsizetype skip = firstNl + 1 - data;
            data += skip;
            size -= skip;
        } else {
            m_carry.append(data, size);
            size = 0;
        }
    }
    if (size > 0) {
        if (lastNl && lastNl >= data) {
            parseLines(data, lastNl + 1 - data, out);
            m_carry.append(lastNl + 1, data + size - (lastNl + 1));
        } else {
            m_carry.append(data, size);
        }
    }
    // No record line is a megabyte long: a file without line ends (a disk image, zeros) must not
    // be gathered into one line in memory. The rest of it is passed over up to its line feed.
    if (m_carry.size() > MaxLineBytes) {
        ++m_lineNo;
        skipLine();
        m_carry.clear();
        m_inLongLine = true;
    }
    if (last && !m_carry.isEmpty()) {
        parseLines(m_carry.constData(), m_carry.size(), out);
        m_carry.clear();
    }
}

void CsvParser::skipLine() {
    if (m_tally.skipped++ == 0) {
        m_tally.firstSkipped = m_lineNo;
        qDebug() << "CsvParser: Структура файла не поддерживается";
    }
}

const PowerData* CsvParser::unitRecord(const char* field, qsizetype size) {
    for (const UnitSeen& seen : m_units)
        if (seen.field.size() == size &&
            std::memcmp(seen.field.constData(), field, size_t(size)) == 0)
            return &seen.record;
    UnitSeen& seen = m_units[m_unitsNext++ % m_units.size()];
    seen.field = QByteArray(field, size);
    // The system's encoding when the text is no UTF-8 (a Windows code page).
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8(QByteArrayView(field, size));
    if (utf8.hasError())
        text = QString::fromLocal8Bit(field, size);
    const std::optional<PowerUnits::Unit> unit = PowerUnits::parse(text);
    seen.record = PowerData(QDateTime(), 0.0, unit ? PowerUnits::text(*unit) : QString(), 0.0, {});
    return &seen.record;
}

void CsvParser::parseLines(const char* data, qsizetype size, std::deque<PowerData>& out) {
    const char* p = data;
    const char* const end = data + size;
    QByteArray cleaned;
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* lineEnd = nl ? nl : end;
        const char* line = p;
        qsizetype len = lineEnd - line;
        p = nl ? nl + 1 : end;
        ++m_lineNo;

        // Text-mode reading drops every carriage return, not only the one before the line feed.
        if (std::memchr(line, '\r', size_t(len))) {
            cleaned = QByteArray(line, len);
            cleaned.replace('\r', QByteArray());
            line = cleaned.constData();
            len = cleaned.size();
        }

        using namespace RecordFormat;
        const char* fieldStart[FieldCount];
        qsizetype fieldLen[FieldCount];
        int fields = 0;
        const char* f = line;
        const char* const le = line + len;
        while (fields < FieldCount) {
            const char* sc = static_cast<const char*>(std::memchr(f, Separator, size_t(le - f)));
            fieldStart[fields] = f;
            fieldLen[fields] = (sc ? sc : le) - f;
            ++fields;
            if (!sc)
                break;
            f = sc + 1;
        }
        if (fields < FieldCount) {
            if (!blankLine(line, len))
                skipLine();
            continue;
        }
        const PowerData& start = *unitRecord(fieldStart[PowerUnit], fieldLen[PowerUnit]);
        // A power without a number or a unit is kept as a record without a value.
        const double power =
            start.powerUnitId() != 0 ? parseNumber(fieldStart[Power], fieldLen[Power]) : qQNaN();
        if (std::isnan(power)) {
            if (blankLine(line, len))
                continue;
            skipLine();
        } else {
            ++m_tally.read;
        }
        PowerData& record = out.emplace_back(start);
        record.setTime(parseTime(fieldStart[Time], fieldLen[Time]));
        record.setPower(power);
    }
}
