#pragma once

#include <QRect>

#include "render/jobrenderer.h"

class QPainter;

namespace velkar {

// The picture of one job as the screen shows it: the settings it is drawn
// with, and what the last drawing reported.
class CJobPicture {
public:
    void SetSettings(const RenderSettings& settings) { m_settings = settings; }
    const RenderSettings& Settings() const { return m_settings; }

    // Draws the job; exposed is the area worth drawing (empty: everything).
    RenderOutcome Draw(QPainter& painter, const QRect& exposed);

private:
    RenderSettings m_settings;
};

}  // namespace velkar
