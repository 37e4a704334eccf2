#pragma once

#include <cstdint>

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>

#include "render/jobextent.h"
#include "render/jobrenderer.h"

namespace velkar {

class CJobPicture;
class CVelkarView;
struct JobState;

// Where the view looks and what the status bar tells of it: the scroll area
// over the material and the job, a new job scrolled to its start, Fit, the
// Ctrl + wheel zoom about the pointer, the job's size and knives and the
// pointer's position in millimetres from the material's corner.
class CViewNavigator : public QObject {
    Q_OBJECT
public:
    // All three are borrowed and must outlive the navigator.
    CViewNavigator(JobState& state, const CJobPicture& picture, CVelkarView* view, QObject* parent = nullptr);

    // The job shown is a new one: once drawn, the view scrolls to its start.
    void NewJob() { m_bNewJob = true; }
    // Zooms so that the job and the material fill the window.
    void Fit();
    // Halves the scale (a larger picture) for each step away from the
    // operator, doubles it for each towards, keeping the point at in place.
    void WheelZoom(int steps, QPoint at);

    const CJobExtent& Extent() const { return m_extent; }
    // The line the Cut question adds when the job is larger than the material; empty when it fits.
    QString SizeWarning() const;
    // The scroll area for settings: the material's as the renderer gives it,
    // widened to the job with a margin.
    QRect ScrollAreaFor(const RenderSettings& settings) const;

    static constexpr int JobMargin = 100;  // pixels around the job within the scroll area
    static constexpr int FitMargin = 10;   // pixels left free around the fitted picture

signals:
    // The job pane's text (see CJobExtent::Summary) and the pointer pane's ("x 12.5 mm, y 30.0 mm").
    void jobText(const QString& text);
    void pointerText(const QString& text);

private:
    void Drawn(const RenderOutcome& outcome);
    void Painted();
    void Pointer(QPoint at);
    void ScrollToStart();
    // The settings of the last drawing with another scale.
    RenderSettings SettingsAt(double scale) const;
    // Material and job together at settings, in logical pixels.
    QRect PictureArea(const RenderSettings& settings) const;
    void SetScale(double scale);

    JobState& m_state;
    const CJobPicture& m_picture;
    CVelkarView* m_pView;
    CJobExtent m_extent;
    std::uint64_t m_nLoads = 0;
    bool m_bNewJob = false;
    QString m_strJobText;
};

}  // namespace velkar
