#pragma once

#include <memory>

#include <QObject>
#include <QString>

#include "app/jobstate.h"
#include "render/jobpicture.h"

class QPrinter;
class QWidget;

namespace velkar {

class CVelkarView;
class CViewNavigator;

// The job on screen and its commands: Import, Open, Cut, Move, the zoom modes,
// the knife and material settings, printing. The view draws the session's
// picture and tells it about clicks; the main frame's actions call the
// command slots and ask the Can... functions for their enabling.
class CJobSession : public QObject, public JobState {
    Q_OBJECT
public:
    explicit CJobSession(CVelkarView* view, QObject* parent = nullptr);
    ~CJobSession() override;

    CVelkarView* View() const { return m_pView; }
    // Scrolling, Fit, the wheel zoom and the status bar's job and pointer texts.
    CViewNavigator* Navigator() const { return m_pNavigator; }
    // The settings a drawing with the current state uses (material read from the profile).
    RenderSettings CurrentRenderSettings() const;
    // Repaints the whole view with the state as it is then.
    void RepaintAll();
    // Runs when the view is first shown and after every File New.
    void OnInitialUpdate();
    // Prints the picture onto printer as the screen draws it.
    void PrintTo(QPrinter& printer);

    // Enabling of the job commands.
    bool CanCut() const { return !m_strJobPath.isEmpty() && !m_bSending && !IsConverting(); }
    // The running send or conversion holds the job; a new one waits until it has ended.
    bool CanImportOrOpen() const { return !m_bSending && !IsConverting(); }
    // Pen Tip only means something with Define Color; without it, it is cleared.
    bool UpdatePenTip();

    // A file named on the command line or dropped on the window: a PT1 job
    // (by its extension or its first header) is opened as Open does, anything
    // else imported as Import does, with the dialog showing the file.
    void OpenOrImportFile(const QString& path);
    // Starts the conversion an Import left for the next paint on a worker
    // thread; the job is taken when it has ended.
    void RunPendingConversion();
    bool IsConverting() const { return m_pConversion != nullptr; }
    // Stops the running conversion; the job shown before the Import stays.
    void CancelConversion();
    // Waits for the running conversion to end and takes its outcome.
    void FinishConversion();

public slots:
    void OnZoomOut();
    void OnZoomIn();
    void OnRedraw() { RepaintAll(); }
    void OnFit();
    void OnMove();
    void OnCutterParameter();
    void OnMaterial();
    void OnSerialPort();
    void OnDefineColor() { m_bDefineColor = !m_bDefineColor; }
    void OnPenTip() { m_bPenTip = !m_bPenTip; }
    void OnFilePrint();
    void OnFilePrintDirect();
    void OnFilePrintPreview();
    // Import and Open are refused while a send runs.
    void OnImport();
    void OnOpen();
    void OnCut();

signals:
    // Import or Open made path the current job: the document takes it as its title.
    void titleRequested(const QString& path);
    // A send to the cutter has ended (whichever way).
    void sendFinished();
    // Text for the status bar's message pane; repaintNow: show it at once.
    void statusText(const QString& text, bool repaintNow);
    // A conversion started, went on (percent of the input taken), ended.
    void conversionStarted();
    void conversionProgress(int percent);
    void conversionEnded();

private:
    QWidget* Window() const;
    void ZoomClick();
    void Disarm();
    void UpdateCursor();
    // Import with the dialog (showing prefill); a conversion is left for the next paint.
    void Import(const QString& prefill = QString());

    struct Conversion;

    CVelkarView* m_pView;
    CJobPicture m_picture;
    CViewNavigator* m_pNavigator;
    JobState m_beforeImport;  // what a cancelled conversion goes back to
    std::unique_ptr<Conversion> m_pConversion;
};

}  // namespace velkar
