#include "csvwriter.h"
#include "recordformat.h"

namespace {

char16_t* putTwo(char16_t* out, int value) {
    *out++ = char16_t(u'0' + value / 10);
    *out++ = char16_t(u'0' + value % 10);
    return out;
}

// RecordFormat::TimePattern laid out by hand: QDateTime::toString parses the pattern anew for
// every call. The fields are the date-time's own, so the local time is Qt's to the letter; years
// of other than four digits take the general way.
QString timeText(const QDateTime& time) {
    const QDate date = time.date();
    if (!time.isValid() || date.year() < 1000 || date.year() > 9999)
        return time.toString(RecordFormat::TimePattern);
    const QTime clock = time.time();
    QString text(RecordFormat::TimeLength, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    out = putTwo(out, date.day());
    *out++ = u'.';
    out = putTwo(out, date.month());
    *out++ = u'.';
    out = putTwo(out, date.year() / 100);
    out = putTwo(out, date.year() % 100);
    *out++ = u' ';
    for (const int field : {clock.hour(), clock.minute()}) {
        out = putTwo(out, field);
        *out++ = u':';
        *out++ = u':';
    }
    putTwo(out, clock.second());
    return text;
}

}  // namespace

QString CsvWriter::formatLine(const PowerData& data) {
    using namespace RecordFormat;
    QString line = timeText(data.time());
    line += QLatin1Char(Separator);
    line += QString::number(data.freq(), 'g', Digits);
    line += QLatin1Char(Separator);
    line += data.freqUnit();
    line += QLatin1Char(Separator);
    line += QString::number(data.power(), 'g', Digits);
    line += QLatin1Char(Separator);
    line += data.powerUnit();
    line += QLatin1Char('\n');
    return line;
}

bool CsvWriter::write(const QString& fileName, PowerData data) {
    if (fileName.isEmpty())
        return false;
    // Whole lines only: nothing of one can be left in the encoder's state for the next.
    m_encoder.resetState();
    return m_file.append(fileName, m_encoder.encode(formatLine(data)), m_sync);
}
