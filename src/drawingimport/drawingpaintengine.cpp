#include "drawingimport/drawingpaintengine.h"

#include <QPainterPath>

#include "drawingimport/drawingrecorder.h"

namespace velkar {

void DrawingPaintEngine::updateState(const QPaintEngineState& newState) {
    const DirtyFlags dirty = newState.state();
    if (dirty & DirtyTransform) m_transform = newState.transform();
    if (dirty & DirtyPen) m_pen = newState.pen();
    if (dirty & DirtyBrush) m_brush = newState.brush();
    if (dirty & DirtyOpacity) m_dOpacity = newState.opacity();
}

void DrawingPaintEngine::drawPath(const QPainterPath& path) {
    m_recorder.AddShape(path, m_transform, m_pen, m_brush, m_dOpacity);
}

void DrawingPaintEngine::drawPolygon(const QPointF* points, int pointCount, PolygonDrawMode mode) {
    if (pointCount < 1) return;
    QPainterPath path(points[0]);
    for (int i = 1; i < pointCount; ++i) path.lineTo(points[i]);
    if (mode == PolylineMode) {
        m_recorder.AddShape(path, m_transform, m_pen, Qt::NoBrush, m_dOpacity);  // a polyline is never filled
        return;
    }
    path.closeSubpath();
    m_recorder.AddShape(path, m_transform, m_pen, m_brush, m_dOpacity);
}

void DrawingPaintEngine::drawPixmap(const QRectF&, const QPixmap&, const QRectF&) {
    m_recorder.AddImage();
}

void DrawingPaintEngine::drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) {
    m_recorder.AddImage();
}

void DrawingPaintEngine::drawTiledPixmap(const QRectF&, const QPixmap&, const QPointF&) {
    m_recorder.AddImage();
}

int DrawingPaintDevice::metric(PaintDeviceMetric metric) const {
    switch (metric) {
        case PdmWidth:
        case PdmHeight:
            return 1000;
        case PdmWidthMM:
        case PdmHeightMM:
            return 353;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 72;
        case PdmDepth:
            return 32;
        case PdmNumColors:
            return 0x7fffffff;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return static_cast<int>(devicePixelRatioFScale());
        default:
            return 0;
    }
}

}  // namespace velkar
