#pragma once

#include <QObject>
#include <QStringList>

#include "app/recentfilelist.h"

namespace velkar {

class CJobSession;
class CMainFrame;
class CVelkarDoc;
class CVelkarView;

// The application object: ties the document, the main window and the view
// together, runs the start-up sequence and handles the application's own
// commands (New, Exit, About, the recent files). A QApplication must exist.
class CVelkarApp : public QObject {
    Q_OBJECT
public:
    explicit CVelkarApp(QObject* parent = nullptr);
    ~CVelkarApp() override;

    // Creates the window, handles the command line and shows the main window.
    // A file named there is opened (a PT1 job) or imported (a plotter file,
    // with the import dialog showing it) once Run() has started. For
    // demonstrations: "--job FILE" shows FILE as the current job; "--scale S",
    // "--sharp MM" and "--close MM" preset the zoom and the knife offsets;
    // "--screenshot PNG" makes Run() save a picture of the window and quit.
    // False, with the reason in error, when the command line is refused.
    bool InitInstance(const QStringList& arguments, QString* error = nullptr);
    // Shows the material dialog once over the visible main window, then runs
    // the event loop until the main window closes; returns its exit code.
    int Run();
    // The start-up material dialog on its own (Run's first step).
    void ShowStartupMaterialDialog();

    CMainFrame* MainFrame() const { return m_pFrame; }
    CVelkarDoc* Document() const { return m_pDoc; }
    CVelkarView* View() const;
    CJobSession* Session() const;
    const CRecentFileList& RecentFiles() const { return m_recent; }

public slots:
    void OnFileNew();
    void OnAppAbout();
    void OnAppExit();
    void OnOpenRecentFile(int index);

private:
    void AddRecentFile(const QString& path);
    int RunScreenshot();

    CVelkarDoc* m_pDoc;
    CMainFrame* m_pFrame;
    CRecentFileList m_recent;
    QString m_strScreenshot;
    QString m_strStartFile;
};

}  // namespace velkar
