#include "view/velkarview.h"

#include <algorithm>

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include "render/artwork.h"
#include "render/jobpicture.h"

namespace velkar {

CVelkarView::CVelkarView(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("view"));
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    UpdateScrollBars();
}

void CVelkarView::SetScrollSizes(QSize total) {
    if (total == m_scrollSize) return;
    m_scrollSize = total;
    UpdateScrollBars();
}

void CVelkarView::UpdateScrollBars() {
    const QSize page = viewport()->size();
    // Page and line steps follow the total size: a tenth, and a tenth of that.
    const int hPage = std::max(1, m_scrollSize.width() / 10);
    const int vPage = std::max(1, m_scrollSize.height() / 10);
    horizontalScrollBar()->setRange(0, std::max(0, m_scrollSize.width() - page.width()));
    horizontalScrollBar()->setPageStep(hPage);
    horizontalScrollBar()->setSingleStep(std::max(1, hPage / 10));
    verticalScrollBar()->setRange(0, std::max(0, m_scrollSize.height() - page.height()));
    verticalScrollBar()->setPageStep(vPage);
    verticalScrollBar()->setSingleStep(std::max(1, vPage / 10));
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
        const QPoint offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
        painter.translate(-offset);
        const RenderOutcome outcome = m_pPicture->Draw(painter, event->rect().translated(offset));
        if (outcome.drawn) {
            SetScrollSizes(outcome.scrollSize);
            emit pictureDrawn(outcome);
        }
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
