#include "recorder.h"

#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <utility>

#include "csvwriter.h"
#include "wording.h"

namespace {

const QString kReadingTime = QStringLiteral("dd.MM.yy HH:mm:ss");

// Leaves room for the time stamp and extension within the 255-byte name limit of common
// file systems.
constexpr int kMaxStemBytes = 200;

}  // namespace

Recorder::Recorder(iWriter* supplied, LogSink log) : log(std::move(log)), writer(supplied) {
    if (!writer) {
        m_ownedWriter = std::make_unique<CsvWriter>();
        writer = m_ownedWriter.get();
    }
}

Recorder::~Recorder() = default;

void Recorder::setFileName(const QString& url) {
    const QUrl parsed(url, QUrl::TolerantMode);
    // Qt's own dialogs hand over a typed name as a plain path ("/home/x.csv", "C:/x.csv"):
    // that is a local file too. Other schemes are no file to write.
    if (parsed.isLocalFile())
        m_fileName = parsed.toLocalFile();
    else if (parsed.scheme().size() <= 1)
        m_fileName = url;
    else
        m_fileName.clear();
}

void Recorder::nameFor(const QString& identification, const QDateTime& now) {
    m_fileName = fileStem(identification) + QLatin1Char(' ') +
                 now.toLocalTime().toString(QStringLiteral("dd-MM-yyyy_HH-mm-ss")) +
                 QStringLiteral(".csv");
}

QString Recorder::start() {
    const QString problem = recordFileProblem(m_fileName);
    if (!problem.isEmpty())
        return problem;
    m_on = true;
    m_writtenLines = m_failedTotal = 0;
    return {};
}

QString Recorder::recordFileProblem(const QString& path) {
    if (path.isEmpty())
        return QStringLiteral("файл для записи не выбран.");
    const QFileInfo file(path);
    if (file.exists()) {
        // A device or pipe would block or swallow the recording.
        if (!file.isFile())
            return path + QStringLiteral(" не является обычным файлом.");
        if (!file.isWritable())
            return QStringLiteral("нет права записи в файл ") + path + '.';
        return {};
    }
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("папка ") + folder.filePath() + QStringLiteral(" не существует.");
    if (!folder.isWritable())
        return QStringLiteral("нет права записи в папку ") + folder.filePath() + '.';
    return {};
}

QString Recorder::fileStem(const QString& identification) {
    QString stem = identification;
    stem.replace(QLatin1Char('/'), QLatin1Char('_'));
    stem.replace(QLatin1Char(':'), QLatin1Char('_'));
    // The text comes from the meter: nothing in it may leave the working directory or make a
    // name that Windows or Linux refuses.
    static const QString forbidden = QStringLiteral("\\*?\"<>|");
    for (QChar& c : stem) {
        if (forbidden.contains(c) || c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    }
    if (stem.size() > kMaxStemBytes)
        stem.truncate(kMaxStemBytes);
    if (!stem.isEmpty() && stem.back().isHighSurrogate())
        stem.chop(1);
    while (stem.toUtf8().size() > kMaxStemBytes) {
        stem.chop(1);
        if (!stem.isEmpty() && stem.back().isHighSurrogate())
            stem.chop(1);
    }
    return stem;
}

QString Recorder::besideName(const QString& mainPath, const QString& serial) {
    const QString safe = fileStem(serial.trimmed());
    return safe.isEmpty() ? QString() : withSuffix(mainPath, QStringLiteral(" SN ") + safe);
}

QString Recorder::differenceName(const QString& mainPath) {
    return withSuffix(mainPath, QStringLiteral(" A-B"));
}

QString Recorder::withSuffix(const QString& mainPath, const QString& suffix) {
    if (mainPath.isEmpty())
        return {};
    // The extension as the operator wrote it ("run.CSV"), only where there is one.
    const qsizetype slash =
        std::max(mainPath.lastIndexOf(QLatin1Char('/')), mainPath.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = mainPath.lastIndexOf(QLatin1Char('.'));
    const bool extension = dot > slash + 1;
    return (extension ? mainPath.left(dot) : mainPath) + suffix +
           (extension ? mainPath.mid(dot) : QString());
}

void Recorder::endFailedRun(const QString& prefix) {
    if (m_failedRun == 0)
        return;
    log(prefix + QString::number(m_failedRun));
    m_failedRun = 0;
}

QString Recorder::readingLine(const PowerData& record) {
    return record.time().toString(kReadingTime) + QStringLiteral(" Мощность = ") +
           Wording::num(record.power()) + QLatin1Char(' ') + record.powerUnit();
}

QString Recorder::write(const PowerData& record) {
    const bool written = writer->write(m_fileName, record);
    ++(written ? m_writtenLines : m_failedTotal);
    if (written) {
        endFailedRun(QStringLiteral("Запись в файл возобновлена, не записано показаний: "));
        log(readingLine(record) + QStringLiteral(" записана в файл."));
    } else if (m_failedRun++ == 0) {
        // Said once per run of failures, not once a second; the run's end gives its count.
        const QString line = QStringLiteral("Внимание! Запись невозможна в файл ") + m_fileName;
        log(line);
        return line;
    }
    return {};
}
