#include "render/jobrenderer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include <QImage>
#include <QPaintEngine>
#include <QTransform>

#include <QLine>
#include <QPainter>
#include <QPen>
#include <QPoint>

#include "cutter/knifepath.h"
#include "job/binaryfile.h"
#include "job/jobreader.h"
#include "job/jobrecord.h"

namespace velkar {
namespace {

// Painters work in int; coordinates beyond this are clipped before they reach one.
constexpr std::int64_t CoordLimit = std::int64_t{1} << 28;
// Larger raster areas are drawn through the painter instead of an own image.
constexpr std::int64_t MaxCanvasPixels = std::int64_t{64} << 20;

std::int64_t TruncateClamped(double value) {
    // Move fields are unchecked floats; keep their conversion defined for any value.
    constexpr double Limit = 1e15;
    if (std::isnan(value)) return 0;
    return static_cast<std::int64_t>(std::clamp(value, -Limit, Limit));
}

std::int64_t ClampCoord(std::int64_t v) { return std::clamp(v, -CoordLimit, CoordLimit); }

// Draws one-pixel lines straight into an image: on raster surfaces (the screen,
// PNG files) a million short segments cost far less this way than through the
// painter, which is then handed the finished image once.
class RasterCanvas {
public:
    // area: the logical rectangle the image stands for.
    explicit RasterCanvas(const QRect& area)
        : m_image(area.size(), QImage::Format_ARGB32_Premultiplied), m_origin(area.topLeft()) {
        m_image.fill(Qt::transparent);
        m_bits = reinterpret_cast<std::uint32_t*>(m_image.bits());
        m_stride = m_image.bytesPerLine() / 4;
        m_width = m_image.width();
        m_height = m_image.height();
    }

    bool IsValid() const { return !m_image.isNull(); }
    void SetColor(const QColor& color) { m_color = color.rgba(); }
    const QImage& Image() const { return m_image; }
    QPoint Origin() const { return m_origin; }

    // Both end points are drawn; coordinates are logical units within CoordLimit.
    // The pixels inside the image are the same whatever part of the segment
    // the image covers, so partial repaints join up with full ones.
    void Line(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2) {
        x1 -= m_origin.x();
        x2 -= m_origin.x();
        y1 -= m_origin.y();
        y2 -= m_origin.y();
        if ((x1 < 0 && x2 < 0) || (y1 < 0 && y2 < 0) || (x1 >= m_width && x2 >= m_width) ||
            (y1 >= m_height && y2 >= m_height))
            return;
        const std::int64_t dx = std::abs(x2 - x1);
        const std::int64_t dy = std::abs(y2 - y1);
        const std::int64_t sx = x1 < x2 ? 1 : -1;
        const std::int64_t sy = y1 < y2 ? 1 : -1;
        if (dx >= dy)
            Walk(x1, y1, dx, dy, sx, sy, m_width, m_height, 1, m_stride);
        else
            Walk(y1, x1, dy, dx, sy, sx, m_height, m_width, m_stride, 1);
    }

private:
    static std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? (a + b - 1) / b : -((-a) / b); }

    // Bresenham along the major axis a (da >= db), entered directly at the
    // first step inside the image: after i steps the minor axis has advanced
    // ceil((2 db i - da) / (2 da)) times.
    void Walk(std::int64_t a1, std::int64_t b1, std::int64_t da, std::int64_t db, std::int64_t sa, std::int64_t sb,
              std::int64_t sizeA, std::int64_t sizeB, std::int64_t strideA, std::int64_t strideB) {
        std::int64_t first = 0;
        std::int64_t last = 0;
        if (sa > 0) {
            first = std::max<std::int64_t>(0, -a1);
            last = std::min(da, sizeA - 1 - a1);
        } else {
            first = std::max<std::int64_t>(0, a1 - (sizeA - 1));
            last = std::min(da, a1);
        }
        if (first > last) return;
        const std::int64_t k = da == 0 ? 0 : CeilDiv(2 * db * first - da, 2 * da);
        std::int64_t e = 2 * db - da + 2 * db * first - 2 * da * k;
        std::int64_t a = a1 + sa * first;
        std::int64_t b = b1 + sb * k;
        const std::uint32_t c = m_color;
        for (std::int64_t i = first; i <= last; ++i) {
            if (b >= 0 && b < sizeB)
                m_bits[a * strideA + b * strideB] = c;
            else if ((sb > 0) == (b >= sizeB))
                break;  // past the far edge for good
            if (e > 0) {
                b += sb;
                e -= 2 * da;
            }
            e += 2 * db;
            a += sa;
        }
    }

    QImage m_image;
    QPoint m_origin;
    std::uint32_t* m_bits = nullptr;
    std::int64_t m_stride = 0;
    std::int64_t m_width = 0;
    std::int64_t m_height = 0;
    std::uint32_t m_color = 0xff000000u;
};

// Collects the mapped track and hands it to the painter in batches, so that a
// job of a million records costs a handful of painter calls instead of one per
// segment. Batches are flushed at every pen change, which keeps the order in
// which knives overdraw each other.
class TrackSink final : public KnifePathSink {
public:
    TrackSink(QPainter& painter, RasterCanvas* canvas, std::int64_t xOrigin, std::int64_t yOrigin, int ySign,
              const QRect& exposed)
        : m_painter(painter), m_pCanvas(canvas), m_xOrigin(xOrigin), m_yOrigin(yOrigin), m_ySign(ySign) {
        m_bCull = !exposed.isEmpty();
        if (m_bCull) {
            // One pixel of slack for the pen's width.
            m_left = std::int64_t{exposed.left()} - 1;
            m_top = std::int64_t{exposed.top()} - 1;
            m_right = std::int64_t{exposed.right()} + 1;
            m_bottom = std::int64_t{exposed.bottom()} + 1;
        }
        m_lines.reserve(BatchSize);
    }

    void CutTo(std::int32_t x, std::int32_t y) override {
        const std::int64_t px = m_xOrigin + x;
        const std::int64_t py = std::int64_t{y} * m_ySign + m_yOrigin;
        AddSegment(m_curX, m_curY, px, py);
        m_curX = px;
        m_curY = py;
    }

    void TravelTo(std::int32_t x, std::int32_t y) override {
        m_curX = m_xOrigin + x;
        m_curY = std::int64_t{y} * m_ySign + m_yOrigin;
    }

    void SetPen(const QPen& pen) {
        Flush();
        if (m_pCanvas)
            m_pCanvas->SetColor(pen.color());
        else
            m_painter.setPen(pen);
    }

    void Flush() {
        if (!m_lines.empty()) m_painter.drawLines(m_lines.data(), static_cast<int>(m_lines.size()));
        m_lines.clear();
        m_bHaveLast = false;
    }

private:
    static constexpr std::size_t BatchSize = 16384;

    void AddSegment(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2) {
        if (m_bCull) {
            if ((x1 < m_left && x2 < m_left) || (x1 > m_right && x2 > m_right) || (y1 < m_top && y2 < m_top) ||
                (y1 > m_bottom && y2 > m_bottom))
                return;
        }
        if (m_pCanvas) {
            if (std::max({std::abs(x1), std::abs(y1), std::abs(x2), std::abs(y2)}) > CoordLimit) {
                QLine clipped;
                if (!ClipToLimit(x1, y1, x2, y2, clipped)) return;
                m_pCanvas->Line(clipped.x1(), clipped.y1(), clipped.x2(), clipped.y2());
            } else {
                m_pCanvas->Line(x1, y1, x2, y2);
            }
            return;
        }
        QLine line;
        if (std::max({std::abs(x1), std::abs(y1), std::abs(x2), std::abs(y2)}) > CoordLimit) {
            if (!ClipToLimit(x1, y1, x2, y2, line)) return;
        } else {
            line = QLine(static_cast<int>(x1), static_cast<int>(y1), static_cast<int>(x2), static_cast<int>(y2));
        }
        // Overcuts at coarse scales often repeat the segment just drawn.
        if (m_bHaveLast && line == m_last) return;
        m_last = line;
        m_bHaveLast = true;
        m_lines.push_back(line);
        if (m_lines.size() >= BatchSize) {
            m_painter.drawLines(m_lines.data(), static_cast<int>(m_lines.size()));
            m_lines.clear();
        }
    }

    // Liang-Barsky against the square of CoordLimit; false when nothing is left.
    static bool ClipToLimit(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2, QLine& out) {
        const double lim = static_cast<double>(CoordLimit);
        const double dx = static_cast<double>(x2 - x1);
        const double dy = static_cast<double>(y2 - y1);
        double t0 = 0.0;
        double t1 = 1.0;
        const double p[4] = {-dx, dx, -dy, dy};
        const double q[4] = {static_cast<double>(x1) + lim, lim - static_cast<double>(x1),
                             static_cast<double>(y1) + lim, lim - static_cast<double>(y1)};
        for (int i = 0; i < 4; ++i) {
            if (p[i] == 0.0) {
                if (q[i] < 0.0) return false;
                continue;
            }
            const double t = q[i] / p[i];
            if (p[i] < 0.0) {
                if (t > t1) return false;
                t0 = std::max(t0, t);
            } else {
                if (t < t0) return false;
                t1 = std::min(t1, t);
            }
        }
        auto at = [&](double t, std::int64_t a, double d) {
            return static_cast<int>(ClampCoord(static_cast<std::int64_t>(std::llround(static_cast<double>(a) + t * d))));
        };
        out = QLine(at(t0, x1, dx), at(t0, y1, dy), at(t1, x1, dx), at(t1, y1, dy));
        return true;
    }

    QPainter& m_painter;
    RasterCanvas* m_pCanvas;  // null: lines go through the painter
    std::int64_t m_xOrigin;
    std::int64_t m_yOrigin;
    int m_ySign;
    // The device context's pen position starts at the origin.
    std::int64_t m_curX = 0;
    std::int64_t m_curY = 0;
    bool m_bCull = false;
    std::int64_t m_left = 0, m_top = 0, m_right = 0, m_bottom = 0;
    std::vector<QLine> m_lines;
    QLine m_last;
    bool m_bHaveLast = false;
};

}  // namespace

std::int32_t CJobRenderer::MaterialPixels(long mm, int divisor) {
    // Profile texts are read with atol and may hold anything a long can.
    const std::int64_t units = std::clamp<std::int64_t>(mm, -(std::int64_t{1} << 40), std::int64_t{1} << 40) * 40;
    return static_cast<std::int32_t>(ClampCoord(units / std::max(1, divisor)));
}

int CJobRenderer::ScaleDivisor(double scale) {
    const double product = scale * 40.0;
    if (!(product >= 1.0)) return 1;
    if (product >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    return static_cast<int>(product);
}

QColor CJobRenderer::KnifeColor(std::int32_t knife) {
    switch (knife) {
        case 2: return QColor(0, 0, 255);
        case 3: return QColor(255, 0, 0);
        case 4: return QColor(0, 255, 0);
        case 5: return QColor(255, 0, 255);
        case 6: return QColor(255, 255, 0);
        case 7: return QColor(0, 255, 255);
        case 8: return QColor(149, 129, 103);
        default: return QColor(0, 0, 0);
    }
}

RenderOutcome CJobRenderer::Draw(QPainter& painter, const RenderSettings& s, const QRect& exposed) {
    RenderOutcome outcome;
    if (s.jobPath.empty() || s.sending) return outcome;

    JobReader reader;
    if (!reader.Open(s.jobPath)) return outcome;

    const QPen savedPen = painter.pen();
    JobRecord work;
    try {
        reader.Read(work);
        const std::int32_t count = work.x;
        const std::int32_t orientation = work.y;
        reader.Read(work);
        reader.Read(work);
        const std::int32_t maxY = work.y;

        const int z = ScaleDivisor(s.scale);
        const float sharp = s.sharpOffset * 40.0f / static_cast<float>(z);
        const float close = s.closeOffset * 40.0f / static_cast<float>(z);
        outcome.jobRecords = count;
        outcome.materialLength = MaterialPixels(s.materialLengthMm, z);
        outcome.materialWidth = MaterialPixels(s.materialWidthMm, z);
        outcome.drawn = true;

        const int w = outcome.materialWidth;
        const int l = outcome.materialLength;
        QPen framePen(FrameColor(), FrameWidth);
        framePen.setCapStyle(Qt::RoundCap);
        framePen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(framePen);
        const QPoint frame[5] = {{FrameLeft, FrameTop},
                                 {FrameLeft + w, FrameTop},
                                 {FrameLeft + w, FrameTop + l},
                                 {FrameLeft, FrameTop + l},
                                 {FrameLeft, FrameTop}};
        painter.drawPolyline(frame, 5);
        outcome.scrollSize = QSize(w + 400, l + 500);

        // In single precision, as the send turns the same millimetres into job
        // units, so the picture sits where the knife will cut (2.3 mm is 92 units,
        // not 91). Multiplied before dividing: a divisor such as 39 makes 40 / z
        // inexact, and a move worth a whole number of pixels would truncate one short.
        const auto movePixels = [z](float mm) {
            return TruncateClamped(static_cast<double>(mm * 40.0f / static_cast<float>(z)));
        };
        const std::int64_t xOrigin = FrameLeft + movePixels(s.moveX);
        const int ySign = orientation == OrientationMirrorY ? -1 : 1;
        const std::int64_t yBase = orientation == OrientationMirrorY ? maxY / z + FrameTop : FrameTop;
        const std::int64_t yOrigin = yBase + movePixels(s.moveY);

        // Raster surfaces without scaling take the track as one finished image.
        std::unique_ptr<RasterCanvas> canvas;
        QRect area = exposed;
        const QTransform& t = painter.worldTransform();
        if (painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Raster &&
            t.type() <= QTransform::TxTranslate && painter.device()) {
            const QRect deviceArea(QPoint(static_cast<int>(-t.dx()), static_cast<int>(-t.dy())),
                                   QSize(painter.device()->width(), painter.device()->height()));
            area = area.isEmpty() ? deviceArea : area.intersected(deviceArea);
            if (!area.isEmpty() && std::int64_t{area.width()} * area.height() <= MaxCanvasPixels) {
                canvas = std::make_unique<RasterCanvas>(area);
                if (!canvas->IsValid()) canvas.reset();
            }
        }
        TrackSink sink(painter, canvas.get(), xOrigin, yOrigin, ySign, canvas ? area : exposed);
        CKnifePath path(sharp, close, sink);
        sink.SetPen(QPen(KnifeColor(1), 1));
        // The count comes from the file; the end of the file ends the body
        // whatever it claims, so a damaged header cannot spin the loop.
        for (std::int64_t i = 4; i <= count; ++i) {
            if (!reader.Read(work)) break;
            switch (work.code) {
                case RecMove: path.Move(work.x / z, work.y / z); break;
                case RecLine: path.Line(work.x / z, work.y / z); break;
                case RecKnife:
                    path.Knife();
                    sink.SetPen(QPen(KnifeColor(work.x), 1));
                    break;
                case RecPathEnd: path.PathEnd(); break;
                default: break;
            }
        }
        sink.Flush();
        if (canvas) painter.drawImage(canvas->Origin(), canvas->Image());
    } catch (const FileError&) {
        // A file that fails mid-read is drawn as far as it could be read.
    }
    reader.Close();
    painter.setPen(savedPen);
    return outcome;
}

}  // namespace velkar
