#include "import/plotjobsink.h"

#include <cmath>
#include <limits>

namespace velkar {

namespace {

std::int32_t RoundUnit(double v) {
    // Written as a negated range test so that NaN is refused too.
    if (!(v >= -PlotJobSink::MaxCoordinate && v <= PlotJobSink::MaxCoordinate))
        throw PlotRangeError("a coordinate lies beyond 1000000000 units (25 km)");
    // floor(v + 0.5) without a library call: truncation, then one step down for negatives.
    const double t = v + 0.5;
    std::int64_t i = static_cast<std::int64_t>(t);
    if (static_cast<double>(i) > t) --i;
    return static_cast<std::int32_t>(i);
}

}  // namespace

PlotJobSink::PlotJobSink(JobWriter& writer, std::int32_t& count) : m_writer(writer), m_nCount(count) { m_nCount = 0; }

void PlotJobSink::Emit(std::uint8_t code, std::int32_t x, std::int32_t y) {
    // Three headers follow the body, and the count must stay an int32.
    if (m_nCount >= std::numeric_limits<std::int32_t>::max() - 4)
        throw PlotRangeError("the drawing needs more records than a job can hold");
    m_work.code = code;
    m_work.x = x;
    m_work.y = y;
    m_writer.Write(m_work);
    ++m_nCount;
}

void PlotJobSink::EmitPoint(std::uint8_t code, double x, double y) {
    double rx = x, ry = y;
    switch (m_nRotation) {
    case 90: rx = -y, ry = x; break;
    case 180: rx = -x, ry = -y; break;
    case 270: rx = y, ry = -x; break;
    default: break;
    }
    std::int32_t ix = RoundUnit(rx);
    std::int32_t iy = RoundUnit(ry);
    m_box.AddX(ix);
    m_box.AddY(iy);
    Emit(code, ix, iy);
}

void PlotJobSink::Start() {
    m_work.code = RecJobStart;
    m_writer.Write(m_work);
    ++m_nCount;
}

void PlotJobSink::SelectPen(double pen) {
    m_nKnife = 1;
    for (int k = 2; k <= 8; ++k)
        if (pen == k) m_nKnife = k;
}

void PlotJobSink::EnsureKnife() {
    if (m_nKnife == m_nWrittenKnife) return;
    m_work.code = RecKnife;
    m_work.x = m_nKnife;
    Emit(RecKnife, m_nKnife, m_work.y);
    m_nWrittenKnife = m_nKnife;
    m_bAtPoint = false;  // the knife was lifted for the change
}

void PlotJobSink::MoveTo(double x, double y) {
    EnsureKnife();
    EmitPoint(RecMove, x, y);
    m_dX = x;
    m_dY = y;
    m_bAtPoint = true;
}

void PlotJobSink::LineTo(double x, double y) {
    EnsureKnife();
    if (!m_bAtPoint) EmitPoint(RecMove, m_dX, m_dY);
    EmitPoint(RecLine, x, y);
    m_dX = x;
    m_dY = y;
    m_bAtPoint = true;
}

void PlotJobSink::SetPoint(double x, double y) {
    m_dX = x;
    m_dY = y;
    m_bAtPoint = false;
}

void PlotJobSink::SetRotation(int degrees) { m_nRotation = degrees; }

void PlotJobSink::Finish() {
    Emit(RecPathEnd, m_work.x, m_work.y);
    m_writer.Finish(m_work, m_nCount, m_box, OrientationMirrorY);
}

}  // namespace velkar
