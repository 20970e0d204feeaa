#pragma once

#include <utility>

// Passes on the points inside lo … hi and, so that the line runs on to the plot's edge, the point
// before and the point after each run of them (in model order).
template <class Out>
class WindowClip {
public:
    WindowClip(double lo, double hi, Out out) : m_lo(lo), m_hi(hi), m_out(std::move(out)) {}
    void push(double x, double y) {
        const bool inside = x >= m_lo && x <= m_hi;
        bool passed = inside;
        if (inside) {
            if (m_hasPrev && !m_prevInside && !m_prevPassed)
                m_out(m_prevX, m_prevY);
            m_out(x, y);
        } else if (m_hasPrev && m_prevInside) {
            m_out(x, y);
            passed = true;
        }
        m_hasPrev = true;
        m_prevInside = inside;
        m_prevPassed = passed;
        m_prevX = x;
        m_prevY = y;
    }

private:
    double m_lo, m_hi;
    Out m_out;
    bool m_hasPrev = false, m_prevInside = false, m_prevPassed = false;
    double m_prevX = 0, m_prevY = 0;
};
