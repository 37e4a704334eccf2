#pragma once

#include <QAbstractScrollArea>
#include <QSize>

#include "render/jobrenderer.h"

namespace velkar {

class CJobPicture;

// The scrolling widget that shows a job picture. It draws what it is given,
// keeps the scroll range the picture asks for, shows the zoom cursor, and
// tells what the mouse did; what a click means is decided above it.
class CVelkarView : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum class ZoomCursor { None, ZoomOut, ZoomIn };

    explicit CVelkarView(QWidget* parent = nullptr);

    // The picture drawn at every paint; nullptr draws nothing.
    void SetPicture(CJobPicture* picture) { m_pPicture = picture; }
    void SetZoomCursor(ZoomCursor cursor);
    // Repaints the whole visible area at the next turn of the event loop.
    void RepaintAll();

    // Total scrolling size in pixels (logical units).
    QSize ScrollSize() const { return m_scrollSize; }
    void SetScrollSizes(QSize total);
    // True while the viewport paints (other widgets cannot repaint at once then).
    bool IsPainting() const { return m_bInPaintEvent; }

signals:
    // A paint is about to draw the picture (work left for the next paint runs here).
    void aboutToPaint();
    // The picture was drawn into the viewport with this outcome.
    void pictureDrawn(const velkar::RenderOutcome& outcome);
    // Emitted after every paint of the viewport (tests and the screenshot tool wait for it).
    void painted();
    void leftPressed();
    void rightPressed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void UpdateScrollBars();

    CJobPicture* m_pPicture = nullptr;
    QSize m_scrollSize{100, 100};
    bool m_bInPaintEvent = false;
};

}  // namespace velkar
