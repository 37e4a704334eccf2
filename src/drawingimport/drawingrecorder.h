#pragma once

#include <QBrush>
#include <QPainterPath>
#include <QPen>
#include <QTransform>
#include <cstdint>
#include <exception>
#include <string>
#include <unordered_map>
#include <vector>

#include "drawingimport/drawingstats.h"
#include "drawingimport/pathflattener.h"

namespace velkar {

class PlotJobSink;

// Turns the shapes that a renderer paints into cuts, in the order they are
// painted: each visible shape once along its geometry (a stroked path along its
// centre line, a filled one along its edge), with a knife per colour.
//
// The knife of a shape is the one its enclosing "Knife N" layer names (see
// knifemarker.h), or else the one of its stroke colour (of its fill colour when
// it has no stroke): distinct colours take knives 1 to 8 in order of first
// appearance, later ones knife 8. Shapes painted with a gradient or a pattern
// share the colour "gradient". A shape with neither stroke nor fill is not cut.
//
// Nothing thrown here crosses the renderer: the first failure (a coordinate
// out of range, a failed write) stops the recording and Rethrow() raises it.
class DrawingRecorder {
public:
    // userToJob maps the painted coordinates to job units.
    DrawingRecorder(PlotJobSink& sink, const QTransform& userToJob, DrawingStats& stats);

    // path in the painter's logical coordinates; transform and opacity the
    // painter's. A fill followed by a stroke of the same path (which is how
    // Qt's SVG renderer paints a shape that has both) is one shape.
    void AddShape(const QPainterPath& path, const QTransform& transform, const QPen& pen, const QBrush& brush,
                  double opacity);
    void AddImage() { ++m_stats.images; }

    // Cuts what is still held back; then raises the failure that stopped the
    // recording, if any.
    void Finish();

private:
    struct Shape {
        QPainterPath path;
        QTransform transform;
        QPen pen;
        QBrush brush;
    };
    bool TakeMarker(const QPen& pen, const QBrush& brush);
    int KnifeOfColour(std::uint32_t key, const std::string& name);
    void FlushFill();
    void Cut(const Shape& shape, bool stroked, bool filled);

    PlotJobSink& m_sink;
    PathFlattener m_flattener;
    QTransform m_userToJob;
    DrawingStats& m_stats;
    std::unordered_map<std::uint32_t, int> m_colourKnives;
    int m_nColours = 0;
    std::vector<int> m_layerKnives;
    Shape m_fill;              // a fill held back until it is known whether a stroke of it follows
    bool m_bHaveFill = false;  // knives of the open "Knife N" layers, innermost last
    std::exception_ptr m_failure;
};

}  // namespace velkar
