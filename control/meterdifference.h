#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// A−B of two meters' levels (a directional coupler's forward and reflected power, an
// amplifier's output and input), from readings of the same poll cycle only: each reading of A or
// B is paired with the other meter's latest reading if that one is unused and was taken at most
// one poll apart; a reading without a value, or none in time, gives no difference. Each reading
// takes part in one difference at most: one value per cycle.
class MeterDifference {
public:
    explicit MeterDifference(qint64 pollMs) : m_pollMs(pollMs) {}

    // The difference in dB, stamped with the later reading's time (ms since the epoch).
    struct Value {
        qint64 ms = 0;
        double dB = 0.0;
    };
    // A reading of A or of B (dBm; not finite: no value). Returns the difference it completes.
    std::optional<Value> readingA(qint64 ms, double dBm) { return take(m_a, m_b, ms, dBm, false); }
    std::optional<Value> readingB(qint64 ms, double dBm) { return take(m_b, m_a, ms, dBm, true); }
    // Forgets both sides (a meter chosen anew, a connection lost).
    void reset() {
        m_a = {};
        m_b = {};
    }

    // A−B in dB as the ratio A/B of the powers (a read-out in watts shows the ratio).
    static double powerRatio(double dB);
    // The read-out's label: "A−B, дБ", or "A/B" for the ratio.
    static QString label(bool ratio);

private:
    struct Side {
        bool fresh = false;  // a reading not yet used in a difference
        qint64 ms = 0;
        double dBm = 0.0;
    };
    std::optional<Value> take(Side& self, Side& other, qint64 ms, double dBm, bool isB);

    qint64 m_pollMs;
    Side m_a, m_b;
};
