#include "import/hpglscaling.h"

#include <cmath>

#include "import/plotjobsink.h"

namespace velkar {

void HpglScaling::Reset() {
    m_dP1X = 0, m_dP1Y = 0, m_dP2X = m_dSizeX, m_dP2Y = m_dSizeY;
    Off();
}

void HpglScaling::Off() {
    m_nType = -1;
    Update();
}

void HpglScaling::InputPoints(const double* v, int n) {
    if (n == 0) {
        m_dP1X = 0, m_dP1Y = 0, m_dP2X = m_dSizeX, m_dP2Y = m_dSizeY;
    } else if (n >= 2) {
        double dx = m_dP2X - m_dP1X, dy = m_dP2Y - m_dP1Y;
        m_dP1X = v[0], m_dP1Y = v[1];
        if (n >= 4)
            m_dP2X = v[2], m_dP2Y = v[3];
        else
            m_dP2X = v[0] + dx, m_dP2Y = v[1] + dy;  // P2 follows P1
    }
    Off();
}

void HpglScaling::InputRelative(const double* v, int n) {
    if (n < 2) {
        InputPoints(v, 0);
        return;
    }
    double p[4] = {m_dSizeX * v[0] / 100, m_dSizeY * v[1] / 100, 0, 0};
    if (n >= 4) p[2] = m_dSizeX * v[2] / 100, p[3] = m_dSizeY * v[3] / 100;
    InputPoints(p, n >= 4 ? 4 : 2);
}

void HpglScaling::PlotSize(const double* v, int n) {
    if (n >= 1 && v[0] > 0 && v[0] < PlotJobSink::MaxCoordinate) m_dSizeX = v[0];
    if (n >= 2 && v[1] > 0 && v[1] < PlotJobSink::MaxCoordinate) m_dSizeY = v[1];
    Reset();
}

void HpglScaling::Scale(const double* v, int n) {
    if (n < 4) {
        Off();
        return;
    }
    for (int i = 0; i < 4; ++i) m_dRange[i] = v[i];
    m_nType = n >= 5 && (v[4] == 1 || v[4] == 2) ? static_cast<int>(v[4]) : 0;
    m_dLeft = n >= 6 ? v[5] : 50;
    m_dBottom = n >= 7 ? v[6] : 50;
    Update();
}

double HpglScaling::Diagonal() const { return std::hypot(m_dP2X - m_dP1X, m_dP2Y - m_dP1Y); }

void HpglScaling::Update() {
    double sx = 1, sy = 1, ox = 0, oy = 0;
    if (m_nType >= 0) {
        const double xmin = m_dRange[0], xmax = m_dRange[1], ymin = m_dRange[2], ymax = m_dRange[3];
        const double width = m_dP2X - m_dP1X, height = m_dP2Y - m_dP1Y;
        if (m_nType == 2) {
            sx = xmax, sy = ymax;
        } else {
            sx = width / (xmax - xmin);
            sy = height / (ymax - ymin);
            if (m_nType == 1) {
                double s = std::fmin(std::fabs(sx), std::fabs(sy));
                sx = std::copysign(s, sx), sy = std::copysign(s, sy);
            }
        }
        ox = m_dP1X - xmin * sx;
        oy = m_dP1Y - ymin * sy;
        if (m_nType == 1) {
            ox += (width - sx * (xmax - xmin)) * m_dLeft / 100;
            oy += (height - sy * (ymax - ymin)) * m_dBottom / 100;
        }
        if (!(std::isfinite(sx) && std::isfinite(sy) && std::isfinite(ox) && std::isfinite(oy) && sx != 0 && sy != 0))
            sx = 1, sy = 1, ox = 0, oy = 0;
    }
    m_dSX = sx, m_dSY = sy, m_dOX = ox, m_dOY = oy;
}

}  // namespace velkar
