#include "csvparser.h"

#include <QDebug>
#include <QFile>
#include <QTime>
#include <cstring>

namespace {

const QString kTimeFormat = QStringLiteral("dd.MM.yyyy HH::mm::ss");
constexpr qsizetype kTimeLength = 21;  // "05.12.2026 14::05::09"
constexpr qint64 kUnixEpochJulianDay = 2440588;

inline bool digits2(const char* p, int& out) {
    if (p[0] < '0' || p[0] > '9' || p[1] < '0' || p[1] > '9') return false;
    out = (p[0] - '0') * 10 + (p[1] - '0');
    return true;
}

double parseNumber(const char* text, qsizetype size) {
    bool ok = false;
    const double v = QByteArray::fromRawData(text, size).toDouble(&ok);
    if (ok) return v;
    // Blanks outside ASCII are still blanks to the text stream's reader.
    const double w = QString::fromUtf8(text, size).toDouble(&ok);
    return ok ? w : 0.0;
}

}  // namespace

QDateTime CsvParser::parseTime(const char* t, qsizetype size) {
    int day, month, yh, yl, hour, minute, second;
    if (size == kTimeLength && t[2] == '.' && t[5] == '.' && t[10] == ' ' && t[13] == ':' &&
        t[14] == ':' && t[17] == ':' && t[18] == ':' && digits2(t, day) && digits2(t + 3, month) &&
        digits2(t + 6, yh) && digits2(t + 8, yl) && digits2(t + 11, hour) &&
        digits2(t + 15, minute) && digits2(t + 19, second)) {
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
                    if (!m_cachedHourUniform) break;
                    m_cachedHourUniform = QDateTime::fromSecsSinceEpoch(u + k, Qt::LocalTime)
                                              .offsetFromUtc() == m_cachedOffsetSecs;
                }
            }
            if (m_cachedHourUniform) {
                const qint64 localSecs = (date.toJulianDay() - kUnixEpochJulianDay) * 86400 +
                                         hour * 3600 + minute * 60 + second;
                return QDateTime::fromSecsSinceEpoch(localSecs - m_cachedOffsetSecs,
                                                     Qt::LocalTime);
            }
        }
    }
    return QDateTime::fromString(QString::fromUtf8(t, size), kTimeFormat);
}

bool CsvParser::parse(const QString& path) {
    m_data.clear();
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        qDebug() << "CsvParser: File not exists";
        return false;
    }
    qDebug().noquote() << "CsvParser: File open, path = " + path;

    const qint64 size = file.size();
    if (size > 0) {
        if (const uchar* mapped = file.map(0, size)) {
            parseBuffer(reinterpret_cast<const char*>(mapped), size);
            file.unmap(const_cast<uchar*>(mapped));
        } else {
            const QByteArray all = file.readAll();
            parseBuffer(all.constData(), all.size());
        }
    } else {
        // Sequential or special files report no size; read what they hold.
        const QByteArray all = file.readAll();
        parseBuffer(all.constData(), all.size());
    }
    file.close();
    qDebug().noquote() << "CsvParser: File close, data size = " + QString::number(m_data.size());
    return true;
}

void CsvParser::parseBytes(const QByteArray& bytes) {
    m_data.clear();
    parseBuffer(bytes.constData(), bytes.size());
}

void CsvParser::parseBuffer(const char* data, qsizetype size) {
    const char* p = data;
    const char* const end = data + size;
    if (size >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;  // UTF-8 byte-order mark
    m_data.reserve(size / 40);

    QByteArray cleaned;
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* lineEnd = nl ? nl : end;
        const char* line = p;
        qsizetype len = lineEnd - line;
        p = nl ? nl + 1 : end;

        // Text-mode reading drops every carriage return, not only the one before the line feed.
        if (std::memchr(line, '\r', size_t(len))) {
            cleaned = QByteArray(line, len);
            cleaned.replace('\r', QByteArray());
            line = cleaned.constData();
            len = cleaned.size();
        }

        const char* fieldStart[5];
        qsizetype fieldLen[5];
        int fields = 0;
        const char* f = line;
        const char* const le = line + len;
        while (fields < 5) {
            const char* sc = static_cast<const char*>(std::memchr(f, ';', size_t(le - f)));
            fieldStart[fields] = f;
            fieldLen[fields] = (sc ? sc : le) - f;
            ++fields;
            if (!sc) break;
            f = sc + 1;
        }
        if (fields < 5) {
            qDebug() << "CsvParser: Структура файла не поддерживается";
            return;
        }
        m_data.append(PowerData(parseTime(fieldStart[0], fieldLen[0]),
                                parseNumber(fieldStart[3], fieldLen[3]), QString(), 0.0,
                                QString()));
    }
}
