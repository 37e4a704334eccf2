#pragma once

#include <QBrush>
#include <QPaintEngine>
#include <QPen>
#include <QTransform>

namespace velkar {

class DrawingRecorder;

// A paint engine that paints nothing: it hands every shape, with the pen, brush
// and transform it was painted with, to a DrawingRecorder, and counts raster
// images. Text arrives as glyph outlines (QPaintEngine's own handling of text
// fills them as paths). It claims every feature, so that QPainter passes
// transforms, gradients and paths through unchanged instead of emulating them.
class DrawingPaintEngine : public QPaintEngine {
public:
    explicit DrawingPaintEngine(DrawingRecorder& recorder) : QPaintEngine(AllFeatures), m_recorder(recorder) {}

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& newState) override;
    void drawPath(const QPainterPath& path) override;
    void drawPolygon(const QPointF* points, int pointCount, PolygonDrawMode mode) override;
    void drawPixmap(const QRectF& r, const QPixmap& pm, const QRectF& sr) override;
    void drawImage(const QRectF& r, const QImage& image, const QRectF& sr, Qt::ImageConversionFlags flags) override;
    void drawTiledPixmap(const QRectF& r, const QPixmap& pixmap, const QPointF& s) override;
    Type type() const override { return User; }

private:
    DrawingRecorder& m_recorder;
    QTransform m_transform;
    QPen m_pen;
    QBrush m_brush;
    double m_dOpacity = 1;
};

// The device that DrawingPaintEngine paints on: no pixels, 72 dots to the
// inch so that point sizes of fonts are user units.
class DrawingPaintDevice : public QPaintDevice {
public:
    explicit DrawingPaintDevice(DrawingRecorder& recorder) : m_engine(recorder) {}
    QPaintEngine* paintEngine() const override { return &m_engine; }

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    mutable DrawingPaintEngine m_engine;
};

}  // namespace velkar
