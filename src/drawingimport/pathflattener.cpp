#include "drawingimport/pathflattener.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "drawingimport/drawingstats.h"
#include "import/plotjobsink.h"

namespace velkar {

namespace {

// Half of the allowed distance goes to the segments, the rest to the rounding
// of each point to a whole unit (at most 0.71 units).
constexpr double SegmentTolerance = 0.25;

std::int64_t Round(double v) {
    return static_cast<std::int64_t>(std::floor(v + 0.5));
}

void CheckRange(const QPainterPath& path) {
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element& e = path.elementAt(i);
        if (!(std::fabs(e.x) <= PlotJobSink::MaxCoordinate && std::fabs(e.y) <= PlotJobSink::MaxCoordinate))
            throw PlotRangeError("a coordinate lies beyond 1000000000 units (25 km)");
    }
}

}  // namespace

void PathFlattener::Add(double x, double y) {
    const Point p{Round(x), Round(y)};
    if (m_points.empty() || !(m_points.back() == p)) m_points.push_back(p);
}

void PathFlattener::AddCurve(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3) {
    // With n equal steps in t a cubic stays within (3/4) M / n^2 of its chords,
    // M the larger second difference of its control points.
    const double m =
        std::max(std::hypot(x0 - 2 * x1 + x2, y0 - 2 * y1 + y2), std::hypot(x1 - 2 * x2 + x3, y1 - 2 * y2 + y3));
    const double steps = std::ceil(std::sqrt(0.75 * m / SegmentTolerance));
    const int n = static_cast<int>(std::clamp(steps, 1.0, 1.0e6));
    for (int i = 1; i < n; ++i) {
        const double t = double(i) / n, u = 1 - t;
        const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        Add(a * x0 + b * x1 + c * x2 + d * x3, a * y0 + b * y1 + c * y2 + d * y3);
    }
    Add(x3, y3);
}

void PathFlattener::FinishSubpath(bool closed, bool closeOpen, KnifeUse& use) {
    if (m_points.size() < 2) {
        m_points.clear();
        return;
    }
    if (!closed && closeOpen && !(m_points.back() == m_points.front())) m_points.push_back(m_points.front());
    if (closed) m_points.back() = m_points.front();  // rounding cannot part what the drawing joined
    double length = 0;
    m_sink.MoveTo(double(m_points.front().x), double(m_points.front().y));
    for (std::size_t i = 1; i < m_points.size(); ++i) {
        const Point& p = m_points[i];
        length += std::hypot(double(p.x - m_points[i - 1].x), double(p.y - m_points[i - 1].y));
        m_sink.LineTo(double(p.x), double(p.y));
    }
    ++use.paths;
    use.lengthMm += length / 40;
    m_points.clear();
}

void PathFlattener::Cut(const QPainterPath& path, bool closeOpen, KnifeUse& use) {
    CheckRange(path);
    m_points.clear();
    double startX = 0, startY = 0, lastX = 0, lastY = 0;
    const int count = path.elementCount();
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element& e = path.elementAt(i);
        if (e.isMoveTo()) {
            FinishSubpath(lastX == startX && lastY == startY, closeOpen, use);
            startX = lastX = e.x, startY = lastY = e.y;
            Add(e.x, e.y);
        } else if (e.isLineTo()) {
            Add(e.x, e.y);
            lastX = e.x, lastY = e.y;
        } else if (e.isCurveTo() && i + 2 < count) {
            const QPainterPath::Element& c2 = path.elementAt(i + 1);
            const QPainterPath::Element& end = path.elementAt(i + 2);
            AddCurve(lastX, lastY, e.x, e.y, c2.x, c2.y, end.x, end.y);
            lastX = end.x, lastY = end.y;
            i += 2;
        }
    }
    FinishSubpath(lastX == startX && lastY == startY, closeOpen, use);
}

}  // namespace velkar
