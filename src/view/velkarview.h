#pragma once

#include <QAbstractScrollArea>
#include <QRect>
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

    // The logical area the scroll bars run over; it may start left of or
    // above the origin. SetScrollSizes(total) is the area from (0, 0).
    QRect ScrollArea() const { return m_scrollArea; }
    void SetScrollArea(const QRect& area);
    QSize ScrollSize() const { return m_scrollArea.size(); }
    void SetScrollSizes(QSize total) { SetScrollArea(QRect(QPoint(0, 0), total)); }
    // The logical point at the viewport's top-left corner; ScrollTo keeps it within the area.
    QPoint ScrollPosition() const;
    void ScrollTo(QPoint topLeft);
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
    // Ctrl + wheel: steps notches away from the operator (negative: towards),
    // over the logical point at.
    void wheelZoom(int steps, QPoint at);
    // The pointer is over the logical point at; pointerLeft: it left the picture.
    void pointerMoved(QPoint at);
    void pointerLeft();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void UpdateScrollBars();

    CJobPicture* m_pPicture = nullptr;
    QRect m_scrollArea{0, 0, 100, 100};
    int m_nWheelAngle = 0;  // Ctrl + wheel turn not yet a whole notch
    bool m_bInPaintEvent = false;
};

}  // namespace velkar
