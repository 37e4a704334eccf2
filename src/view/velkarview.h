#pragma once

#include <cstdint>

#include <QAbstractScrollArea>
#include <QSize>
#include <QString>

#include "view/commandtarget.h"
#include "view/jobrenderer.h"

class QPainter;
class QPrinter;

namespace velkar {

// The scrolling view that owns all job state of the running program and
// handles the job commands. The picture is drawn from the job file at every
// paint; see CJobRenderer.
class CVelkarView : public QAbstractScrollArea, public CCommandTarget {
    Q_OBJECT
public:
    explicit CVelkarView(QWidget* parent = nullptr);

    // Job and view state; other parts of the program read and write these directly.
    bool m_bZoomOut = false;          // Zoom Out armed: a left click halves m_dScale
    bool m_bZoomIn = false;           // Zoom In armed: a left click doubles m_dScale
    double m_dScale = 1.0;            // millimetres of job per pixel, 0.0025 to 512
    float m_fCloseOffset = 0.0f;      // mm
    float m_fSharpOffset = 0.0f;      // mm
    float m_fMoveX = 0.0f;            // mm, accumulated picture move
    float m_fMoveY = 0.0f;            // mm
    float m_fSmooth = 0.0f;           // mm, shown only
    QString m_strSourcePath;          // file last chosen by Import or Open
    QString m_strJobPath;             // job drawn and sent; empty: no job
    std::int32_t m_nFileType = -1;    // recognised plotter type, -1 none
    std::int32_t m_nImportFlavour = 1;
    std::int32_t m_nJobRecords = 0;   // record count of the job, from its first header
    std::int32_t m_nRecordCount = 0;  // counter handed to the converters
    std::int32_t m_nMaterialWidth = 100;   // pixels at the current scale
    std::int32_t m_nMaterialLength = 100;  // pixels at the current scale
    bool m_bDefineColor = false;
    bool m_bSending = false;          // a send runs: nothing is drawn
    bool m_bPenTip = false;           // only meaningful with m_bDefineColor
    bool m_bConvertPending = false;   // a conversion waits for the next paint
    bool m_bOrderPaths = false;       // "Standard PLT": order the paths per knife instead of keeping the drawing order

    // Zoom limits and the value Zoom In falls back to past the upper limit.
    static constexpr double MinScale = 0.0025;
    static constexpr double MaxScale = 512.0;
    static constexpr double ZoomInFallback = 64.0;

    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

    // The paint entry shared by the screen and the printer. exposed is the
    // area worth drawing in logical units (empty: everything).
    virtual void OnDraw(QPainter& painter, const QRect& exposed);
    // Draws the current job with the view's state and keeps what the drawing reports.
    void DrawJob(QPainter& painter, const QRect& exposed);
    // Runs when the view is first shown and after every File New.
    void OnInitialUpdate();
    // Any change announced by the document repaints the whole view.
    void OnUpdate();
    // Prints the picture through OnDraw onto printer.
    void PrintTo(QPrinter& printer);

    // Total scrolling size in pixels (logical units).
    QSize ScrollSize() const { return m_scrollSize; }
    void SetScrollSizes(QSize total);
    // The settings a drawing with the current state uses (material read from the profile).
    RenderSettings CurrentRenderSettings() const;

    // Commands handled by the view.
    void OnZoomOut();
    void OnZoomIn();
    void OnRedraw();
    void OnMove();
    void OnCutterParameter();
    void OnMaterial();
    void OnSerialPort();
    void OnDefineColor();
    void OnPenTip();
    void OnFilePrint();
    void OnFilePrintDirect();
    void OnFilePrintPreview();
    // Job commands: Import, Open and Cut. Import and Open are refused while a send runs.
    void OnImport();
    void OnOpen();
    void OnCut();
    // A file named on the command line or dropped on the window: a PT1 job
    // (by its extension or its first header) is opened as Open does, anything
    // else imported as Import does, with the dialog showing the file.
    void OpenOrImportFile(const QString& path);
    // The conversion an Import left for the next paint; OnDraw runs it first.
    void RunPendingConversion();

signals:
    // Import or Open made path the current job: the document takes it as its title.
    void titleRequested(const QString& path);
    // A send to the cutter has ended (whichever way).
    void sendFinished();
    // Emitted after every paint of the viewport (tests and the screenshot tool wait for it).
    void painted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void ZoomClick();
    void UpdateCursor();
    void RepaintAll();
    void UpdateScrollBars();

    QSize m_scrollSize{100, 100};
    bool m_bInPaintEvent = false;  // the window's backing store is being painted
};

}  // namespace velkar
