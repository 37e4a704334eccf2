#include "render/jobrenderer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include <QImage>
#include <QPaintEngine>
#include <QTransform>

#include <QLine>
#include <QPainter>
#include <QPen>
#include <QPoint>

#include "cutter/knifepath.h"
#include "job/binaryfile.h"
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

    // True when the rectangle (logical units) lies wholly inside the image.
    bool Holds(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) const {
        return left >= m_origin.x() && top >= m_origin.y() && right < m_origin.x() + m_width &&
               bottom < m_origin.y() + m_height;
    }

    // Line for a segment that Holds: the same pixels, without clipping.
    void LineInside(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2) {
        std::int64_t dx = x2 - x1;
        std::int64_t dy = y2 - y1;
        std::int64_t sx = 1;
        std::int64_t sy = m_stride;
        if (dx < 0) dx = -dx, sx = -1;
        if (dy < 0) dy = -dy, sy = -m_stride;
        std::uint32_t* p = m_bits + (y1 - m_origin.y()) * m_stride + (x1 - m_origin.x());
        if (dx < dy) {
            std::swap(dx, dy);
            std::swap(sx, sy);
        }
        // Bresenham as Walk does it, the minor step taken without a branch.
        std::int64_t e = 2 * dy - dx;
        const std::uint32_t c = m_color;
        for (std::int64_t i = 0; i <= dx; ++i) {
            *p = c;
            const std::int64_t step = e > 0 ? -1 : 0;
            p += sx + (sy & step);
            e += 2 * dy - (2 * dx & step);
        }
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
        const std::int64_t k = first == 0 ? 0 : CeilDiv(2 * db * first - da, 2 * da);
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
class TrackSink {
public:
    TrackSink(QPainter& painter, RasterCanvas* canvas, const QRect& exposed) : m_painter(painter), m_pCanvas(canvas) {
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

    // False when the rectangle lies wholly outside the exposed area.
    bool Touches(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) const {
        return !m_bCull || !(right < m_left || left > m_right || bottom < m_top || top > m_bottom);
    }

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

private:
    static constexpr std::size_t BatchSize = 16384;

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
    bool m_bCull = false;
    std::int64_t m_left = 0, m_top = 0, m_right = 0, m_bottom = 0;
    std::vector<QLine> m_lines;
    QLine m_last;
    bool m_bHaveLast = false;
};

// Keeps the knife's track as segments, with the knife changes and the chunk bounds.
class TrackBuilder final : public KnifePathSink {
public:
    explicit TrackBuilder(KnifeTrack& track) : m_track(track) {}

    void CutTo(std::int32_t x, std::int32_t y) override {
        // A cut to the point the last cut reached, in the same pen, sets no
        // pixel that is not set already (a short overcut at a coarse scale).
        if (m_bLastCut && x == m_curX && y == m_curY) return;
        m_bLastCut = true;
        if (!m_bHaveCur) {
            // Before any travel the pen stands at the painter's origin.
            m_track.firstFromOrigin = true;
            m_curX = x;
            m_curY = y;
        }
        Add({m_curX, m_curY, x, y});
        m_curX = x;
        m_curY = y;
        m_bHaveCur = true;
    }

    void TravelTo(std::int32_t x, std::int32_t y) override {
        m_bLastCut = false;
        m_curX = x;
        m_curY = y;
        m_bHaveCur = true;
    }

    void Knife(std::int32_t knife) {
        m_track.pens.push_back({m_track.segments.size(), knife});
        m_bLastCut = false;
    }
    // A cut to the point just reached draws nothing new.
    bool KeepsRepeatedCuts() const override { return false; }

private:
    void Add(const KnifeTrack::Segment& g) { m_track.segments.push_back(g); }

    KnifeTrack& m_track;
    bool m_bHaveCur = false;
    bool m_bLastCut = false;  // the last call was a cut, with no knife change since
    std::int32_t m_curX = 0;
    std::int32_t m_curY = 0;
};

// Feeds the records from first to last (not included) to a fresh knife path
// whose cuts go to track; knife: the pen in force before first, 0 for none.
void RunRecords(const JobImage& job, std::size_t first, std::size_t last, int z, float sharp, float close,
                std::int32_t knife, KnifeTrack& track) {
    TrackBuilder builder(track);
    if (knife != 0) builder.Knife(knife);
    CKnifePath path(sharp, close, builder);
    for (std::size_t i = first; i < last; ++i) {
        const JobImage::Record& r = job.body[i];
        switch (r.code) {
            case RecMove: path.Move(r.x / z, r.y / z); break;
            case RecLine: path.Line(r.x / z, r.y / z); break;
            case RecKnife:
                path.Knife();
                builder.Knife(r.x);
                break;
            case RecPathEnd: path.PathEnd(); break;
            default: break;
        }
    }
}

void AddChunks(KnifeTrack& track) {
    const std::vector<KnifeTrack::Segment>& segs = track.segments;
    for (std::size_t i = 0; i < segs.size(); ++i) {
        const KnifeTrack::Segment& g = segs[i];
        if (i % KnifeTrack::ChunkSize == 0)
            track.chunks.push_back({std::min(g.x1, g.x2), std::min(g.y1, g.y2), std::max(g.x1, g.x2),
                                    std::max(g.y1, g.y2)});
        KnifeTrack::Chunk& c = track.chunks.back();
        c.left = std::min({c.left, g.x1, g.x2});
        c.top = std::min({c.top, g.y1, g.y2});
        c.right = std::max({c.right, g.x1, g.x2});
        c.bottom = std::max({c.bottom, g.y1, g.y2});
    }
}

// Jobs from this size on build their track in two halves at once.
constexpr std::size_t TwoHalvesRecords = std::size_t{1} << 17;

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

void CJobRenderer::LoadJob(const std::string& path, JobImage& image) {
    image = JobImage();
    BinaryFile file;
    if (!file.Open(path, BinaryFile::Mode::Read)) return;
    image.valid = true;
    // Records are read a block at a time and decoded from memory.
    constexpr std::size_t BlockRecords = 65536 / RecordSize;
    std::vector<unsigned char> block(BlockRecords * RecordSize);
    try {
        // A short file leaves the header figures at what was read last, as a record reader would.
        JobRecord work;
        for (int i = 0; i < 3; ++i) {
            unsigned char one[RecordSize];
            if (file.Read(one, RecordSize) == RecordSize) work = JobRecord::Decode(one);
            if (i == 0) {
                image.count = work.x;
                image.orientation = work.y;
            }
        }
        image.maxY = work.y;
        // The count comes from the file; the end of the file ends the body whatever it claims.
        std::int64_t left = std::int64_t{image.count} - 3;
        struct stat st {};
        if (left > 0 && ::stat(path.c_str(), &st) == 0 && st.st_size > 0)
            image.body.reserve(static_cast<std::size_t>(
                std::min<std::int64_t>(left, static_cast<std::int64_t>(st.st_size) / std::int64_t{RecordSize})));
        while (left > 0) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(left, BlockRecords));
            const std::size_t got = file.Read(block.data(), want * RecordSize) / RecordSize;
            for (std::size_t r = 0; r < got; ++r) {
                const JobRecord rec = JobRecord::Decode(block.data() + r * RecordSize);
                image.body.push_back({rec.x, rec.y, rec.code});
            }
            if (got < want) break;
            left -= static_cast<std::int64_t>(got);
        }
    } catch (const FileError&) {
        // A file that fails mid-read is drawn as far as it could be read.
    }
    file.Abandon();
}

void CJobRenderer::BuildTrack(const JobImage& job, int z, float sharp, float close, KnifeTrack& track) {
    // The vectors keep their room: a zoom rebuilds a track of about the same size.
    track.divisor = z;
    track.sharp = sharp;
    track.close = close;
    track.firstFromOrigin = false;
    track.segments.clear();
    track.pens.clear();
    track.chunks.clear();
    const std::size_t n = job.body.size();
    track.segments.reserve(n + n / 2);
    // A move leaves nothing of the knife path's state behind, so the track
    // from the first move past the middle on can be built apart: the first
    // half runs up to and through that move, the second starts from it with
    // the pen in force there.
    std::size_t split = n;
    if (n >= TwoHalvesRecords && std::thread::hardware_concurrency() >= 2) {
        for (std::size_t i = n / 2; i < n; ++i) {
            if (job.body[i].code == RecMove) {
                split = i;
                break;
            }
        }
    }
    if (split < n) {
        std::int32_t knife = 0;
        for (std::size_t i = split; i-- > 0;) {
            if (job.body[i].code == RecKnife) {
                knife = job.body[i].x;
                break;
            }
        }
        KnifeTrack second;
        bool secondBuilt = false;
        try {
            std::thread worker([&] {
                try {
                    second.segments.reserve(n - split + (n - split) / 2);
                    RunRecords(job, split, n, z, sharp, close, knife, second);
                    secondBuilt = true;
                } catch (const std::bad_alloc&) {
                }
            });
            try {
                RunRecords(job, 0, split + 1, z, sharp, close, 0, track);
            } catch (...) {
                worker.join();
                throw;
            }
            worker.join();
        } catch (const std::system_error&) {
            // No thread to be had: the whole track is built below.
        }
        if (secondBuilt) {
            const std::size_t base = track.segments.size();
            track.segments.insert(track.segments.end(), second.segments.begin(), second.segments.end());
            for (const KnifeTrack::Pen& p : second.pens) track.pens.push_back({base + p.first, p.knife});
        } else {
            split = n;
            track.firstFromOrigin = false;
            track.segments.clear();
            track.pens.clear();
        }
    }
    if (split == n) RunRecords(job, 0, n, z, sharp, close, 0, track);
    AddChunks(track);
}

RenderOutcome CJobRenderer::Draw(QPainter& painter, const RenderSettings& s, const QRect& exposed) {
    if (s.jobPath.empty() || s.sending) return {};
    JobImage job;
    LoadJob(s.jobPath, job);
    if (!job.valid) return {};
    const int z = DivisorOf(s);
    KnifeTrack track;
    BuildTrack(job, z, PixelOffset(s.sharpOffset, z), PixelOffset(s.closeOffset, z), track);
    return DrawTrack(painter, job, track, s, exposed);
}

RenderOutcome CJobRenderer::DrawTrack(QPainter& painter, const JobImage& job, const KnifeTrack& track,
                                      const RenderSettings& s, const QRect& exposed) {
    RenderOutcome outcome;
    if (s.jobPath.empty() || s.sending || !job.valid) return outcome;
    const QPen savedPen = painter.pen();
    const int z = track.divisor;
    outcome.jobRecords = job.count;
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
    const bool mirror = job.orientation == OrientationMirrorY;
    const std::int64_t ySign = mirror ? -1 : 1;
    const std::int64_t yBase = mirror ? job.maxY / z + FrameTop : FrameTop;
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
    TrackSink sink(painter, canvas.get(), canvas ? area : exposed);
    sink.SetPen(QPen(KnifeColor(1), 1));
    const auto X = [xOrigin](std::int32_t x) { return xOrigin + x; };
    const auto Y = [yOrigin, ySign](std::int32_t y) { return std::int64_t{y} * ySign + yOrigin; };
    const std::vector<KnifeTrack::Segment>& segs = track.segments;
    std::size_t pen = 0;
    std::int32_t knife = 1;
    for (std::size_t c = 0; c < track.chunks.size(); ++c) {
        const KnifeTrack::Chunk& b = track.chunks[c];
        const std::size_t first = c * KnifeTrack::ChunkSize;
        const std::size_t last = std::min(segs.size(), first + KnifeTrack::ChunkSize);
        const std::int64_t left = X(b.left);
        const std::int64_t right = X(b.right);
        const std::int64_t top = mirror ? Y(b.bottom) : Y(b.top);
        const std::int64_t bottom = mirror ? Y(b.top) : Y(b.bottom);
        // The first cut may start at the painter's origin, outside its chunk's bounds.
        const bool fromOrigin = first == 0 && track.firstFromOrigin;
        if (!sink.Touches(left, top, right, bottom) && !fromOrigin) continue;
        // A chunk wholly inside the image needs no clipping, segment by segment.
        const bool inside = canvas && !fromOrigin && canvas->Holds(left, top, right, bottom);
        for (std::size_t i = first; i < last;) {
            if (pen < track.pens.size() && track.pens[pen].first <= i) {
                while (pen < track.pens.size() && track.pens[pen].first <= i) knife = track.pens[pen++].knife;
                sink.SetPen(QPen(KnifeColor(knife), 1));
            }
            // Segments up to the next pen change.
            const std::size_t end = pen < track.pens.size() ? std::min(last, track.pens[pen].first) : last;
            if (inside) {
                for (; i < end; ++i) {
                    const KnifeTrack::Segment& g = segs[i];
                    canvas->LineInside(X(g.x1), Y(g.y1), X(g.x2), Y(g.y2));
                }
                continue;
            }
            for (; i < end; ++i) {
                const KnifeTrack::Segment& g = segs[i];
                if (i == 0 && track.firstFromOrigin)
                    sink.AddSegment(0, 0, X(g.x2), Y(g.y2));
                else
                    sink.AddSegment(X(g.x1), Y(g.y1), X(g.x2), Y(g.y2));
            }
        }
    }
    sink.Flush();
    if (canvas) painter.drawImage(canvas->Origin(), canvas->Image());
    painter.setPen(savedPen);
    return outcome;
}

}  // namespace velkar
