#pragma once

#include <cstdint>

#include <QRect>
#include <QString>

#include "render/jobrenderer.h"

namespace velkar {

// Where a job held in memory lies and which knives cut it: what the view needs
// to place, scroll and fit the picture and what the operator is told of its size.
class CJobExtent {
public:
    CJobExtent() = default;
    // The bounds of the job's move and line points (job units) and the knives
    // that cut: a line cuts with the knife last selected, knife 1 before any
    // selection; a knife outside 1 to 8 counts as knife 1, as it is drawn.
    explicit CJobExtent(const JobImage& job);

    bool HasPoints() const { return m_bPoints; }
    // Width (x) and length (y) of the bounds in millimetres; 0 without points.
    double WidthMm() const;
    double LengthMm() const;
    // Bit k set: knife k cuts (k from 1 to 8).
    std::uint32_t Knives() const { return m_nKnives; }
    bool LargerThan(long materialWidthMm, long materialLengthMm) const;

    // The logical rectangle the points cover when drawn with settings (frame
    // corner, picture move and mirror as the renderer places them); empty
    // without points. The knife offsets may reach a few pixels beyond it.
    QRect Pixels(const RenderSettings& settings) const;

    // "job 120.5 x 80.0 mm, knives 1, 2" (", nothing to cut" without a cut),
    // with " - larger than the material (200 x 200 mm)" when it is; empty
    // without points.
    QString Summary(long materialWidthMm, long materialLengthMm) const;
    // "the job (250.0 x 80.0 mm) is larger than the material (200 x 200 mm)",
    // or empty when the job fits.
    QString SizeWarning(long materialWidthMm, long materialLengthMm) const;

private:
    QString SizeText() const;

    bool m_bPoints = false;
    std::int32_t m_nMinX = 0;
    std::int32_t m_nMinY = 0;
    std::int32_t m_nMaxX = 0;
    std::int32_t m_nMaxY = 0;
    std::uint32_t m_nKnives = 0;
    bool m_bMirror = false;
    std::int32_t m_nHeaderMaxY = 0;  // the mirror's axis
};

}  // namespace velkar
