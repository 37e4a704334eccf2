#include "app/viewnavigator.h"

#include <algorithm>
#include <cmath>

#include <QScrollBar>
#include <QTimer>

#include "app/jobstate.h"
#include "render/jobpicture.h"
#include "view/velkarview.h"

namespace velkar {

CViewNavigator::CViewNavigator(JobState& state, const CJobPicture& picture, CVelkarView* view, QObject* parent)
    : QObject(parent), m_state(state), m_picture(picture), m_pView(view) {
    connect(view, &CVelkarView::pictureDrawn, this, &CViewNavigator::Drawn);
    connect(view, &CVelkarView::painted, this, &CViewNavigator::Painted);
    connect(view, &CVelkarView::wheelZoom, this, &CViewNavigator::WheelZoom);
    connect(view, &CVelkarView::pointerMoved, this, &CViewNavigator::Pointer);
    connect(view, &CVelkarView::pointerLeft, this, [this] { emit pointerText(QString()); });
}

RenderSettings CViewNavigator::SettingsAt(double scale) const {
    RenderSettings s = m_picture.Settings();
    s.scale = scale;
    s.moveX = m_state.m_fMoveX;
    s.moveY = m_state.m_fMoveY;
    return s;
}

QRect CViewNavigator::PictureArea(const RenderSettings& s) const {
    const int z = CJobRenderer::DivisorOf(s);
    const QRect material(CJobRenderer::FrameLeft, CJobRenderer::FrameTop,
                         CJobRenderer::MaterialPixels(s.materialWidthMm, z) + 1,
                         CJobRenderer::MaterialPixels(s.materialLengthMm, z) + 1);
    return material.united(m_extent.Pixels(s));
}

QRect CViewNavigator::ScrollAreaFor(const RenderSettings& s) const {
    const int z = CJobRenderer::DivisorOf(s);
    // The material's area: the frame with room left of, above, right of and below it.
    const QRect area(0, 0, CJobRenderer::MaterialPixels(s.materialWidthMm, z) + 400,
                     CJobRenderer::MaterialPixels(s.materialLengthMm, z) + 500);
    if (!m_extent.HasPoints()) return area;
    return area.united(m_extent.Pixels(s).adjusted(-JobMargin, -JobMargin, JobMargin, JobMargin));
}

void CViewNavigator::Drawn(const RenderOutcome&) {
    if (m_picture.Loads() != m_nLoads) {
        m_nLoads = m_picture.Loads();
        m_extent = CJobExtent(m_picture.Job());
    }
    m_pView->SetScrollArea(ScrollAreaFor(m_picture.Settings()));
    if (m_bNewJob) {
        m_bNewJob = false;
        // Scrolling from inside the paint would repaint within it.
        QTimer::singleShot(0, this, &CViewNavigator::ScrollToStart);
    }
}

void CViewNavigator::Painted() {
    const RenderSettings& s = m_picture.Settings();
    if (s.sending) return;
    if (s.jobPath.empty() || !m_picture.Job().valid) m_extent = CJobExtent();
    const QString text = m_extent.Summary(s.materialWidthMm, s.materialLengthMm);
    if (text == m_strJobText) return;
    m_strJobText = text;
    emit jobText(text);
}

void CViewNavigator::ScrollToStart() {
    // The view opens on the material as ever, unless the job begins out of sight.
    const QRect job = m_extent.Pixels(m_picture.Settings());
    const QRect seen(QPoint(0, 0), m_pView->viewport()->size());
    const QPoint start = job.isEmpty() || seen.contains(job.topLeft())
                             ? QPoint(0, 0)
                             : job.topLeft() - QPoint(FitMargin, FitMargin);
    m_pView->ScrollTo(start);
}

QString CViewNavigator::SizeWarning() const {
    const RenderSettings& s = m_picture.Settings();
    return m_extent.SizeWarning(s.materialWidthMm, s.materialLengthMm);
}

void CViewNavigator::SetScale(double scale) {
    m_state.m_dScale = std::clamp(scale, JobState::MinScale, JobState::MaxScale);
}

void CViewNavigator::Fit() {
    const QSize page = m_pView->viewport()->size() - QSize(2 * FitMargin, 2 * FitMargin);
    if (page.width() < 1 || page.height() < 1) return;
    // At divisor 1 the area is about the job units; each divisor shrinks it as much.
    const QRect unit = PictureArea(SettingsAt(1.0 / 40.0));
    const auto ceilDiv = [](int a, int b) { return (a + b - 1) / b; };
    const int maxDivisor = CJobRenderer::ScaleDivisor(JobState::MaxScale);
    int z = std::clamp(std::max(ceilDiv(unit.width(), page.width()), ceilDiv(unit.height(), page.height())), 1,
                       maxDivisor);
    // Truncations may leave it a pixel too large.
    while (z < maxDivisor) {
        const QSize size = PictureArea(SettingsAt(z / 40.0)).size();
        if (size.width() <= page.width() && size.height() <= page.height()) break;
        ++z;
    }
    double scale = z / 40.0;
    while (CJobRenderer::ScaleDivisor(scale) < z) scale = std::nextafter(scale, 1e9);
    SetScale(scale);
    const RenderSettings s = SettingsAt(m_state.m_dScale);
    m_pView->SetScrollArea(ScrollAreaFor(s));
    m_pView->ScrollTo(PictureArea(s).topLeft() - QPoint(FitMargin, FitMargin));
    m_pView->RepaintAll();
}

void CViewNavigator::WheelZoom(int steps, QPoint at) {
    const int before = CJobRenderer::ScaleDivisor(m_state.m_dScale);
    SetScale(m_state.m_dScale * std::pow(0.5, steps));
    const RenderSettings s = SettingsAt(m_state.m_dScale);
    const int after = CJobRenderer::DivisorOf(s);
    if (after == before) return;
    // Everything drawn lies at the frame's corner plus job units over the divisor.
    const QPoint corner(CJobRenderer::FrameLeft, CJobRenderer::FrameTop);
    const QPointF fromCorner = QPointF(at - corner) * (double(before) / double(after));
    const QPoint inView = at - m_pView->ScrollPosition();
    m_pView->SetScrollArea(ScrollAreaFor(s));
    m_pView->ScrollTo(corner + fromCorner.toPoint() - inView);
    m_pView->RepaintAll();
}

void CViewNavigator::Pointer(QPoint at) {
    if (m_picture.Settings().jobPath.empty()) {
        emit pointerText(QString());
        return;
    }
    const double mmPerPixel = CJobRenderer::ScaleDivisor(m_state.m_dScale) / 40.0;
    emit pointerText(QStringLiteral("x %1 mm, y %2 mm")
                         .arg((at.x() - CJobRenderer::FrameLeft) * mmPerPixel, 0, 'f', 1)
                         .arg((at.y() - CJobRenderer::FrameTop) * mmPerPixel, 0, 'f', 1));
}

}  // namespace velkar
