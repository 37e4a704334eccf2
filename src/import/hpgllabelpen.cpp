#include "import/hpgllabelpen.h"

#include <cmath>

namespace velkar {

namespace {

constexpr double UnitsPerCentimetre = 400;

bool Finite(const double* v, int n) {
    for (int i = 0; i < n; ++i)
        if (!(std::fabs(v[i]) < 1e9)) return false;
    return true;
}

}  // namespace

void HpglLabelPen::Reset() {
    // The size a plotter starts with is relative: half a percent of the span wide.
    m_bRelativeSize = true;
    m_dWidth = 0.5, m_dHeight = 0.75;
    m_bRelativeDirection = false;
    m_dRun = 1, m_dRise = 0;
    m_nOrigin = 1;
    m_dExtraChars = 0, m_dExtraLines = 0;
}

void HpglLabelPen::AbsoluteSize(const double* v, int n) {
    if (n < 2) {
        m_bRelativeSize = true, m_dWidth = 0.5, m_dHeight = 0.75;
    } else if (Finite(v, 2)) {
        m_bRelativeSize = false, m_dWidth = v[0], m_dHeight = v[1];
    }
}

void HpglLabelPen::RelativeSize(const double* v, int n) {
    if (n < 2) {
        m_bRelativeSize = true, m_dWidth = 0.5, m_dHeight = 0.75;
    } else if (Finite(v, 2)) {
        m_bRelativeSize = true, m_dWidth = v[0], m_dHeight = v[1];
    }
}

void HpglLabelPen::AbsoluteDirection(const double* v, int n) {
    if (n < 2 || !Finite(v, 2) || (v[0] == 0 && v[1] == 0)) {
        m_bRelativeDirection = false, m_dRun = 1, m_dRise = 0;
        return;
    }
    m_bRelativeDirection = false, m_dRun = v[0], m_dRise = v[1];
}

void HpglLabelPen::RelativeDirection(const double* v, int n) {
    if (n < 2 || !Finite(v, 2) || (v[0] == 0 && v[1] == 0)) {
        m_bRelativeDirection = false, m_dRun = 1, m_dRise = 0;
        return;
    }
    m_bRelativeDirection = true, m_dRun = v[0], m_dRise = v[1];
}

void HpglLabelPen::Origin(const double* v, int n) {
    const int origin = n >= 1 && v[0] >= 1 && v[0] <= 21 ? static_cast<int>(v[0]) : 1;
    m_nOrigin = origin;
}

void HpglLabelPen::ExtraSpace(const double* v, int n) {
    m_dExtraChars = n >= 1 && Finite(v, 1) ? v[0] : 0;
    m_dExtraLines = n >= 2 && Finite(v + 1, 1) ? v[1] : 0;
}

HpglLabelPen::Steps HpglLabelPen::StepsFor(double spanX, double spanY) const {
    double width = m_bRelativeSize ? m_dWidth / 100 * spanX : m_dWidth * UnitsPerCentimetre;
    double height = m_bRelativeSize ? m_dHeight / 100 * spanY : m_dHeight * UnitsPerCentimetre;
    double run = m_dRun, rise = m_dRise;
    if (m_bRelativeDirection) run *= spanX, rise *= spanY;
    double length = std::hypot(run, rise);
    double ux = 1, uy = 0;
    if (length > 0 && std::isfinite(length)) ux = run / length, uy = rise / length;
    const double advance = 1.5 * width * (1 + m_dExtraChars);
    const double line = 2 * height * (1 + m_dExtraLines);
    return {advance * ux, advance * uy, line * uy, -line * ux};
}

void HpglLabelPen::Label(const char* text, std::size_t size, double spanX, double spanY, double& x, double& y) {
    const Steps s = StepsFor(spanX, spanY);
    // Centred and right-aligned labels start half or all of their first line's length back.
    int origin = m_nOrigin > 10 ? m_nOrigin - 10 : m_nOrigin;
    if (origin >= 4 && origin <= 9) {
        double chars = 0;
        for (std::size_t i = 0; i < size && text[i] != '\r' && text[i] != '\n'; ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if (c == '\b') chars -= 1;
            else if (c >= 0x20 && c != 0x7f) chars += 1;
        }
        const double back = origin <= 6 ? chars / 2 : chars;
        x -= back * s.charX, y -= back * s.charY;
    }
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            x = m_dReturnX, y = m_dReturnY;
        } else if (c == '\n') {
            x += s.lineX, y += s.lineY;
            m_dReturnX += s.lineX, m_dReturnY += s.lineY;
        } else if (c == '\b') {
            x -= s.charX, y -= s.charY;
        } else if (c >= 0x20 && c != 0x7f) {
            x += s.charX, y += s.charY;
        }
    }
}

void HpglLabelPen::LabelPart(const char* text, std::size_t size, double spanX, double spanY, double& x, double& y,
                             Run& run) {
    const Steps s = StepsFor(spanX, spanY);
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' || c == '\n') run.firstLineDone = true;
        if (c == '\r') {
            run.returned = true;
            x = m_dReturnX, y = m_dReturnY;
        } else if (c == '\n') {
            x += s.lineX, y += s.lineY;
            m_dReturnX += s.lineX, m_dReturnY += s.lineY;
        } else if (c == '\b') {
            x -= s.charX, y -= s.charY;
            if (!run.firstLineDone) run.firstLine -= 1;
        } else if (c >= 0x20 && c != 0x7f) {
            x += s.charX, y += s.charY;
            if (!run.firstLineDone) run.firstLine += 1;
        }
    }
}

void HpglLabelPen::LabelEnd(double spanX, double spanY, double& x, double& y, const Run& run) const {
    // The shift back of a centred or right-aligned label, taken at the end: a carriage
    // return put the pen where the shift no longer counts.
    const int origin = m_nOrigin > 10 ? m_nOrigin - 10 : m_nOrigin;
    if (run.returned || origin < 4 || origin > 9) return;
    const Steps s = StepsFor(spanX, spanY);
    const double back = origin <= 6 ? run.firstLine / 2 : run.firstLine;
    x -= back * s.charX, y -= back * s.charY;
}

void HpglLabelPen::CharacterPlot(const double* v, int n, double spanX, double spanY, double& x, double& y) {
    const Steps s = StepsFor(spanX, spanY);
    if (n < 2) {
        x = m_dReturnX + s.lineX, y = m_dReturnY + s.lineY;
        m_dReturnX = x, m_dReturnY = y;
        return;
    }
    if (!Finite(v, 2)) return;
    // Lines count upwards here, the opposite of a line feed.
    x += v[0] * s.charX - v[1] * s.lineX;
    y += v[0] * s.charY - v[1] * s.lineY;
}

}  // namespace velkar
