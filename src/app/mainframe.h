#pragma once

#include <map>
#include <vector>

#include <QMainWindow>
#include <QStringList>

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QShortcut;
class QToolBar;

namespace velkar {

class CJobSession;
class CVelkarView;

// The main window: menus, tool bar and status bar built from the command
// table, with the view as its central widget and the job session behind it.
// Each command is an action; the job commands go to the session, the
// window's own (tool bar, status bar) stay here, and the application
// connects the rest.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);

    CVelkarView* View() const { return m_pView; }
    CJobSession* Session() const { return m_pSession; }

    // The action of a command of the table, nullptr when there is none.
    QAction* Action(int id) const;
    // Sets the enabling and check marks of every action from the job state.
    void UpdateActions();

    // Shows text in the message pane at once; without repaintNow at the
    // pane's next paint (needed while another widget of the window paints).
    void SetStatusText(QString text, bool repaintNow = true);
    QString StatusText() const;
    // The idle text of the message pane.
    static QString IdleText();

    // Entries of the recent-file list, newest first, shown in the File menu.
    void SetRecentFiles(const QStringList& paths);
    // Updates the caption from the document's title.
    void SetDocumentTitle(const QString& title);

    QToolBar* ToolBar() const { return m_pToolBar; }

signals:
    // An entry of the recent-file list was chosen (0 is the newest).
    void recentFileChosen(int index);

protected:
    // While a send or a conversion runs, closing asks whether to cancel it
    // and closes only once it has stopped.
    void closeEvent(QCloseEvent* event) override;
    // A dropped file is opened or imported as one named on the command line.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateAccelerators();
    QAction* MakeAction(int id);

    CVelkarView* m_pView;
    CJobSession* m_pSession;
    QToolBar* m_pToolBar = nullptr;
    QLabel* m_pMessagePane = nullptr;
    QLabel* m_pJobPane = nullptr;      // the job's size and knives
    QLabel* m_pPointerPane = nullptr;  // the pointer's position in mm
    QProgressBar* m_pConvertProgress = nullptr;  // shown while a conversion runs
    QPushButton* m_pConvertCancel = nullptr;
    QShortcut* m_pEscape = nullptr;              // Esc cancels a running conversion
    std::map<int, QAction*> m_actions;
    std::vector<QAction*> m_recentActions;
    QMenu* m_pFileMenu = nullptr;
    QAction* m_pRecentPlaceholder = nullptr;  // "Recent", shown greyed while the list is empty
    QStringList m_recentFiles;
    bool m_bCloseAfterSend = false;
};

}  // namespace velkar
