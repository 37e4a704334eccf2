#pragma once

#include <cstdint>
#include <vector>

class QPainterPath;

namespace velkar {

class PlotJobSink;
struct KnifeUse;

// Cuts paths given in job units: curves become straight segments within one
// job unit (0.025 mm) of the curve, points are whole units with no point equal
// to the one before it, and a closed subpath ends exactly on its first point.
// A subpath that is a single point is not cut.
class PathFlattener {
public:
    explicit PathFlattener(PlotJobSink& sink) : m_sink(sink) {}

    // Writes every subpath of path as a move and its lines with the knife that
    // is selected in the sink, adding the cuts to use. closeOpen closes open
    // subpaths (a filled shape is cut along its whole edge). Raises
    // PlotRangeError for a coordinate that is not finite or lies beyond
    // PlotJobSink::MaxCoordinate, before anything of the path is written.
    void Cut(const QPainterPath& path, bool closeOpen, KnifeUse& use);

private:
    struct Point {
        std::int64_t x, y;
        bool operator==(const Point&) const = default;
    };
    void Add(double x, double y);
    void AddCurve(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3);
    void FinishSubpath(bool closed, bool closeOpen, KnifeUse& use);

    PlotJobSink& m_sink;
    std::vector<Point> m_points;  // the subpath being built, reused
};

}  // namespace velkar
