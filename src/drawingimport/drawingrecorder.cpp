#include "drawingimport/drawingrecorder.h"

#include <QBrush>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <cstdio>

#include "drawingimport/knifemarker.h"
#include "import/plotjobsink.h"

namespace velkar {

namespace {

constexpr std::uint32_t GradientKey = 0x1000000;

bool Visible(const QBrush& brush) {
    return brush.style() != Qt::NoBrush && !(brush.style() == Qt::SolidPattern && brush.color().alpha() == 0);
}

std::uint32_t ColourKey(const QBrush& brush) {
    return brush.style() == Qt::SolidPattern ? (brush.color().rgb() & 0xffffffu) : GradientKey;
}

std::string ColourName(std::uint32_t key) {
    if (key == GradientKey) return "gradient";
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(key));
    return text;
}

}  // namespace

DrawingRecorder::DrawingRecorder(PlotJobSink& sink, const QTransform& userToJob, DrawingStats& stats)
    : m_sink(sink), m_flattener(sink), m_userToJob(userToJob), m_stats(stats) {}

bool DrawingRecorder::TakeMarker(const QPen& pen, const QBrush& brush) {
    if (pen.style() != Qt::NoPen || brush.style() != Qt::SolidPattern) return false;
    const QColor c = brush.color();
    if (c.red() != KnifeMarkerRed || c.green() != KnifeMarkerGreen) return false;
    const int knife = c.blue() - KnifeMarkerEndBlue;
    if (knife < 0 || knife > 8) return false;
    if (knife > 0)
        m_layerKnives.push_back(knife);
    else if (!m_layerKnives.empty())
        m_layerKnives.pop_back();
    return true;
}

int DrawingRecorder::KnifeOfColour(std::uint32_t key, const std::string& name) {
    auto it = m_colourKnives.find(key);
    if (it != m_colourKnives.end()) return it->second;
    const int knife = m_nColours < 8 ? m_nColours + 1 : 8;
    if (m_nColours < 8)
        m_stats.knives[knife - 1].sources.push_back(name);
    else
        ++m_stats.coloursBeyondEight;
    ++m_nColours;
    m_colourKnives.emplace(key, knife);
    return knife;
}

void DrawingRecorder::AddShape(const QPainterPath& path, const QTransform& transform, const QPen& pen,
                               const QBrush& brush, double opacity) {
    if (m_failure) return;
    const bool stroked = opacity > 0 && pen.style() != Qt::NoPen && Visible(pen.brush());
    const bool filled = opacity > 0 && Visible(brush);
    if (m_bHaveFill) {
        if (stroked && !filled && path == m_fill.path && transform == m_fill.transform) {
            m_bHaveFill = false;
            Cut({m_fill.path, transform, pen, m_fill.brush}, true, true);
            return;
        }
        FlushFill();
    }
    if (TakeMarker(pen, brush)) return;
    if (filled && !stroked) {
        m_fill = {path, transform, pen, brush};
        m_bHaveFill = true;
    } else if (stroked || filled) {
        Cut({path, transform, pen, brush}, stroked, filled);
    }
}

void DrawingRecorder::FlushFill() {
    m_bHaveFill = false;
    Cut(m_fill, false, true);
}

void DrawingRecorder::Cut(const Shape& shape, bool stroked, bool filled) {
    if (m_failure) return;
    try {
        int knife = 0;
        if (!m_layerKnives.empty()) {
            knife = m_layerKnives.back();
            std::vector<std::string>& sources = m_stats.knives[knife - 1].sources;
            if (std::find(sources.begin(), sources.end(), "layer") == sources.end()) sources.emplace_back("layer");
        } else {
            const std::uint32_t key = ColourKey(stroked ? shape.pen.brush() : shape.brush);
            knife = KnifeOfColour(key, ColourName(key));
        }
        m_sink.SelectPen(knife);
        m_flattener.Cut((shape.transform * m_userToJob).map(shape.path), filled && !stroked, m_stats.knives[knife - 1]);
    } catch (...) {
        m_failure = std::current_exception();
    }
}

void DrawingRecorder::Finish() {
    if (m_bHaveFill) FlushFill();
    if (m_failure) std::rethrow_exception(m_failure);
}

}  // namespace velkar
