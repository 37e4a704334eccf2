#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QColor>
#include <QRect>
#include <QSize>

class QPainter;

namespace velkar {

// What a drawing of a job needs: the job file and the view's scale, knife
// offsets and picture move. Lengths are millimetres; the material size is the
// profile's, as read just before the drawing.
struct RenderSettings {
    std::string jobPath;     // empty: no job, nothing is drawn
    bool sending = false;    // a send is running: nothing is drawn
    double scale = 1.0;      // millimetres of job per pixel
    float sharpOffset = 0.0f;
    float closeOffset = 0.0f;
    float moveX = 0.0f;
    float moveY = 0.0f;
    long materialLengthMm = 200;
    long materialWidthMm = 200;
};

// What a drawing leaves behind for the view.
struct RenderOutcome {
    bool drawn = false;               // false: no job, a send, or the file could not be opened
    std::int32_t jobRecords = 0;      // record count of the job's first header
    std::int32_t materialWidth = 0;   // pixels at the drawing's scale
    std::int32_t materialLength = 0;  // pixels at the drawing's scale
    QSize scrollSize;                 // total scrolling size the picture wants
};

// A job file held in memory: the figures of its headers and its body, as far
// as the file goes (a damaged header cannot make it claim more).
struct JobImage {
    struct Record {
        std::int32_t x = 0;
        std::int32_t y = 0;
        std::uint8_t code = 0;
    };
    bool valid = false;  // the file could be opened
    std::int32_t count = 0;
    std::int32_t orientation = 0;
    std::int32_t maxY = 0;
    std::vector<Record> body;
};

// The knife's compensated track of a job at one scale divisor and one pair of
// offsets (pixels), before the picture's origin and mirror are applied.
struct KnifeTrack {
    struct Segment {
        std::int32_t x1, y1, x2, y2;
    };
    // Segments from first on are drawn in the colour of knife.
    struct Pen {
        std::size_t first;
        std::int32_t knife;
    };
    // Bounds of ChunkSize segments in a row, so that a partial repaint passes
    // over what lies outside it a chunk at a time.
    struct Chunk {
        std::int32_t left, top, right, bottom;
    };
    static constexpr std::size_t ChunkSize = 128;

    int divisor = 0;
    float sharp = 0.0f;
    float close = 0.0f;
    bool firstFromOrigin = false;  // the first cut starts at the painter's origin, before any travel
    std::vector<Segment> segments;
    std::vector<Pen> pens;
    std::vector<Chunk> chunks;
};

// Draws a job the one way the screen, the printer and picture files share: the
// material frame with its top-left corner at (300, 100), then the knife's
// compensated track, one pen colour per knife, in logical units of the painter
// (one unit per pixel, y downward). Draw reads the job file each time; the
// screen keeps the job and its track (see CJobPicture) and draws with DrawTrack.
class CJobRenderer {
public:
    // Job units per pixel: scale x 40 truncated, at least 1.
    static int ScaleDivisor(double scale);
    // Material size in pixels at a divisor: mm x 40 / divisor, truncated,
    // kept within the range a painter can address.
    static std::int32_t MaterialPixels(long mm, int divisor);
    // Pen colour of a knife; knives outside 1 to 8 draw black.
    static QColor KnifeColor(std::int32_t knife);
    // The frame pen's colour and width.
    static QColor FrameColor() { return QColor(200, 200, 200); }
    static constexpr int FrameWidth = 5;
    // Left and top edge of the material frame.
    static constexpr int FrameLeft = 300;
    static constexpr int FrameTop = 100;

    // Draws into painter. Segments that lie wholly outside exposed (logical
    // units) are skipped; an empty rectangle means draw everything. Never
    // throws: a read error ends the drawing where it happened.
    static RenderOutcome Draw(QPainter& painter, const RenderSettings& settings, const QRect& exposed = QRect());

    // Reads the job file at path in blocks of records. Never throws: a read
    // error ends the body where it happened; a file that cannot be opened
    // leaves image.valid false.
    static void LoadJob(const std::string& path, JobImage& image);
    // The knife track of job at divisor with sharp and close in pixels.
    static void BuildTrack(const JobImage& job, int divisor, float sharp, float close, KnifeTrack& track);
    // Draw with a job and track already in memory (track built for the settings' divisor and offsets).
    static RenderOutcome DrawTrack(QPainter& painter, const JobImage& job, const KnifeTrack& track,
                                   const RenderSettings& settings, const QRect& exposed = QRect());
    // The divisor and the offsets in pixels that settings draw with.
    static int DivisorOf(const RenderSettings& settings) { return ScaleDivisor(settings.scale); }
    static float PixelOffset(float mm, int divisor) { return mm * 40.0f / static_cast<float>(divisor); }
};

}  // namespace velkar
