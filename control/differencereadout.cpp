#include "differencereadout.h"

#include <QDateTime>
#include <cmath>
#include <limits>
#include <utility>

#include "wording.h"

DifferenceReadout::DifferenceReadout(LogSink log, qint64 pollMs, iWriter* writer)
    : m_log(std::move(log)),
      m_pairs(pollMs),
      m_pollMs(pollMs),
      m_dB(std::numeric_limits<double>::quiet_NaN()),
      m_file(writer, [this](const QString& line) { m_log(QStringLiteral("A−B: ") + line); }) {}

bool DifferenceReadout::readingA(qint64 ms, double dBm, double freqKHz) {
    m_freqA = freqKHz;
    return took(m_pairs.readingA(ms, dBm), ms, dBm);
}

bool DifferenceReadout::readingB(qint64 ms, double dBm) {
    return took(m_pairs.readingB(ms, dBm), ms, dBm);
}

void DifferenceReadout::restart() {
    m_pairs.reset();
    m_dB = std::numeric_limits<double>::quiet_NaN();
    m_stats.reset();
}

bool DifferenceReadout::took(const std::optional<MeterDifference::Value>& value, qint64 ms,
                             double dBm) {
    const double before = m_dB;
    // The first reading of a cycle leaves the last cycle's value shown until its pair comes;
    // a reading without a value, or a cycle without a pair, leaves none.
    if (!value) {
        if (!std::isfinite(dBm) || ms - m_ms > m_pollMs)
            m_dB = std::numeric_limits<double>::quiet_NaN();
        return std::isnan(m_dB) != std::isnan(before);
    }
    m_dB = value->dB;
    m_ms = value->ms;
    m_stats.add(value->dB);
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(value->ms);
    if (m_file.on()) {
        const QString failed = m_file.write(
            PowerData(at, value->dB, QStringLiteral("дБ"), m_freqA, QStringLiteral("кГц")));
        if (!failed.isEmpty())
            m_alert = QStringLiteral("A−B: ") + failed;
    }
    m_log(at.toString(QStringLiteral("dd.MM.yy HH:mm:ss")) + QStringLiteral(" A−B = ") +
          Wording::num(value->dB) + QStringLiteral(" дБ"));
    return true;
}

QString DifferenceReadout::text() const {
    if (!std::isfinite(m_dB))
        return QStringLiteral("—");
    return m_ratio ? QString::number(MeterDifference::powerRatio(m_dB), 'g', 4)
                   : QString::number(m_dB, 'f', 2);
}

QString DifferenceReadout::statistics() const {
    const auto dB = [](double v) { return QString::number(v, 'f', 2) + QStringLiteral(" дБ"); };
    // The mean of the power ratios, as the mean power of a single meter is taken.
    return m_stats.line(dB(m_stats.min()), dB(m_stats.max()), dB(m_stats.mean()));
}

QString DifferenceReadout::record(const QString& mainPath) {
    if (mainPath.isEmpty()) {
        if (m_file.on()) {
            m_file.stop();
            m_log(QStringLiteral("A−B: запись в файл остановлена."));
            m_file.endFailedRun(QStringLiteral("Не записано значений: "));
        }
        return {};
    }
    if (m_file.on())
        return {};
    const QString path = Recorder::differenceName(mainPath);
    m_file.setFileName(path);
    const QString problem = m_file.start();
    m_log(problem.isEmpty() ? QStringLiteral("A−B: начинаю писать в файл ") + path
                            : QStringLiteral("A−B: запись в файл не начата: ") + problem);
    return problem;
}
