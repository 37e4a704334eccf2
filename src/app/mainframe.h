#pragma once

#include <map>
#include <vector>

#include <QMainWindow>
#include <QStringList>

#include "view/commandtarget.h"

class QAction;
class QLabel;
class QMenu;
class QToolBar;

namespace velkar {

class CVelkarView;

// The main window: menus, tool bar and status bar built from the command
// table, with the view as its central widget. Commands go along the route
// set with SetCommandRoute (view, document, frame, application); the first
// target that maps a command handles it.
class CMainFrame : public QMainWindow, public CCommandTarget {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);

    CVelkarView* View() const { return m_pView; }
    // The route after the frame's own place in it: targets in order, the frame included.
    void SetCommandRoute(std::vector<CCommandTarget*> route) { m_route = std::move(route); }

    // Sends id along the route; false when no target maps it.
    bool Execute(int id);
    // The menu or tool-bar action of id, nullptr when there is none.
    QAction* Action(int id) const;
    // Asks the route for the state of each given command and applies it.
    void UpdateCommandUI(const std::vector<int>& ids);
    void UpdateAllCommandUI();

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

    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

protected:
    // While a send runs, closing asks whether to cancel it and closes only
    // once it has stopped.
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
    QToolBar* m_pToolBar = nullptr;
    QLabel* m_pMessagePane = nullptr;
    std::vector<CCommandTarget*> m_route;
    std::map<int, QAction*> m_actions;
    std::map<QMenu*, std::vector<int>> m_menuItems;
    std::vector<QAction*> m_recentActions;
    QMenu* m_pFileMenu = nullptr;
    QAction* m_pRecentPlaceholder = nullptr;  // "Recent", shown greyed while the list is empty
    QStringList m_recentFiles;
    bool m_bCloseAfterSend = false;
};

}  // namespace velkar
