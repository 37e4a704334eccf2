#include "view/velkarview.h"

#include <algorithm>

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include "render/artwork.h"
#include "render/jobpicture.h"

namespace velkar {

CVelkarView::CVelkarView(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("view"));
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setMouseTracking(true);  // the pointer's position is told without a button held
    UpdateScrollBars();
}

void CVelkarView::SetScrollArea(const QRect& area) {
    if (area == m_scrollArea) return;
    m_scrollArea = area;
    UpdateScrollBars();
}

void CVelkarView::UpdateScrollBars() {
    const QSize page = viewport()->size();
    const QRect& a = m_scrollArea;
    // Page and line steps follow the total size: a tenth, and a tenth of that.
    const int hPage = std::max(1, a.width() / 10);
    const int vPage = std::max(1, a.height() / 10);
    horizontalScrollBar()->setRange(a.left(), std::max(a.left(), a.left() + a.width() - page.width()));
    horizontalScrollBar()->setPageStep(hPage);
    horizontalScrollBar()->setSingleStep(std::max(1, hPage / 10));
    verticalScrollBar()->setRange(a.top(), std::max(a.top(), a.top() + a.height() - page.height()));
    verticalScrollBar()->setPageStep(vPage);
    verticalScrollBar()->setSingleStep(std::max(1, vPage / 10));
}

QPoint CVelkarView::ScrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void CVelkarView::ScrollTo(QPoint topLeft) {
    horizontalScrollBar()->setValue(topLeft.x());
    verticalScrollBar()->setValue(topLeft.y());
}

void CVelkarView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CVelkarView::scrollContentsBy(int dx, int dy) { viewport()->scroll(dx, dy); }

void CVelkarView::paintEvent(QPaintEvent* event) {
    m_bInPaintEvent = true;
    emit aboutToPaint();
    if (m_pPicture) {
        QPainter painter(viewport());
        const QPoint offset = ScrollPosition();
        painter.translate(-offset);
        const RenderOutcome outcome = m_pPicture->Draw(painter, event->rect().translated(offset));
        // The owner of the picture sets the scroll area it wants.
        if (outcome.drawn) emit pictureDrawn(outcome);
    }
    m_bInPaintEvent = false;
    emit painted();
}

void CVelkarView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit leftPressed();
    else if (event->button() == Qt::RightButton)
        emit rightPressed();
    QAbstractScrollArea::mousePressEvent(event);
}

void CVelkarView::mouseMoveEvent(QMouseEvent* event) {
    emit pointerMoved(event->position().toPoint() + ScrollPosition());
    QAbstractScrollArea::mouseMoveEvent(event);
}

bool CVelkarView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave) emit pointerLeft();
    return QAbstractScrollArea::viewportEvent(event);
}

void CVelkarView::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        m_nWheelAngle = 0;
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    // Fine-grained wheels and touch pads send parts of a notch.
    m_nWheelAngle += event->angleDelta().y();
    const int steps = m_nWheelAngle / QWheelEvent::DefaultDeltasPerStep;
    m_nWheelAngle -= steps * QWheelEvent::DefaultDeltasPerStep;
    if (steps != 0) emit wheelZoom(steps, event->position().toPoint() + ScrollPosition());
    event->accept();
}

void CVelkarView::SetZoomCursor(ZoomCursor cursor) {
    // Set on the view itself so that the viewport and the scroll bars show it too.
    switch (cursor) {
        case ZoomCursor::ZoomOut: setCursor(CArtwork::ZoomOutCursor()); break;
        case ZoomCursor::ZoomIn: setCursor(CArtwork::ZoomInCursor()); break;
        case ZoomCursor::None: unsetCursor(); break;
    }
}

void CVelkarView::RepaintAll() { viewport()->update(); }

}  // namespace velkar
