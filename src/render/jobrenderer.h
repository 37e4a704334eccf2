#pragma once

#include <cstdint>
#include <string>

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

// Draws a job the one way the screen, the printer and picture files share: the
// material frame with its top-left corner at (300, 100), then the knife's
// compensated track, one pen colour per knife, in logical units of the painter
// (one unit per pixel, y downward). The job file is read record by record at
// every call; nothing is cached.
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
};

}  // namespace velkar
