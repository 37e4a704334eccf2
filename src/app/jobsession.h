#pragma once

#include <QObject>
#include <QString>

#include "app/jobstate.h"
#include "render/jobpicture.h"

class QPrinter;
class QWidget;

namespace velkar {

class CVelkarView;

// The job on screen and its commands: Import, Open, Cut, Move, the zoom modes,
// the knife and material settings, printing. The view draws the session's
// picture and tells it about clicks; the main frame's actions call the
// command slots and ask the Can... functions for their enabling.
class CJobSession : public QObject, public JobState {
    Q_OBJECT
public:
    explicit CJobSession(CVelkarView* view, QObject* parent = nullptr);

    CVelkarView* View() const { return m_pView; }
    // The settings a drawing with the current state uses (material read from the profile).
    RenderSettings CurrentRenderSettings() const;
    // Repaints the whole view with the state as it is then.
    void RepaintAll();
    // Runs when the view is first shown and after every File New.
    void OnInitialUpdate();
    // Prints the picture onto printer as the screen draws it.
    void PrintTo(QPrinter& printer);

    // Enabling of the job commands.
    bool CanCut() const { return !m_strJobPath.isEmpty() && !m_bSending; }
    // The running send holds the job; a new one waits until it has ended.
    bool CanImportOrOpen() const { return !m_bSending; }
    // Pen Tip only means something with Define Color; without it, it is cleared.
    bool UpdatePenTip();

    // A file named on the command line or dropped on the window: a PT1 job
    // (by its extension or its first header) is opened as Open does, anything
    // else imported as Import does, with the dialog showing the file.
    void OpenOrImportFile(const QString& path);
    // The conversion an Import left for the next paint.
    void RunPendingConversion();

public slots:
    void OnZoomOut();
    void OnZoomIn();
    void OnRedraw() { RepaintAll(); }
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

private:
    QWidget* Window() const;
    void ZoomClick();
    void Disarm();
    void UpdateCursor();
    void Imported(bool pending);

    CVelkarView* m_pView;
    CJobPicture m_picture;
};

}  // namespace velkar
