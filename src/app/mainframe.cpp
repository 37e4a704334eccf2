#include "app/mainframe.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "app/commandtable.h"
#include "app/cutjob.h"
#include "app/jobsession.h"
#include "app/progresswnd.h"
#include "app/viewnavigator.h"
#include "render/artwork.h"
#include "app/commandids.h"
#include "app/dialogs/messagebox.h"
#include "view/velkarview.h"

namespace velkar {

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("mainframe"));
    setWindowIcon(CArtwork::Icon(QStringLiteral(":/velkar/icons/velkar.svg"), QSize(32, 32)));
    m_pView = new CVelkarView(this);
    setCentralWidget(m_pView);
    m_pSession = new CJobSession(m_pView, this);
    CreateMenus();
    // Commands without a menu item: reached by a key or by the program.
    for (int id : {cmd::FilePrint, cmd::FilePrintDirect, cmd::FilePrintPreview}) MakeAction(id);
    CreateToolBar();
    CreateStatusBar();
    CreateAccelerators();
    SetDocumentTitle(QStringLiteral("Velkar"));
    resize(1000, 760);
    setAcceptDrops(true);

    CJobSession* s = m_pSession;
    const std::pair<int, void (CJobSession::*)()> sessionCommands[] = {
        {cmd::FileOpen, &CJobSession::OnOpen},
        {cmd::Import, &CJobSession::OnImport},
        {cmd::Cut, &CJobSession::OnCut},
        {cmd::ZoomOut, &CJobSession::OnZoomOut},
        {cmd::ZoomIn, &CJobSession::OnZoomIn},
        {cmd::Redraw, &CJobSession::OnRedraw},
        {cmd::Fit, &CJobSession::OnFit},
        {cmd::Move, &CJobSession::OnMove},
        {cmd::SerialPort, &CJobSession::OnSerialPort},
        {cmd::CutterParameter, &CJobSession::OnCutterParameter},
        {cmd::Material, &CJobSession::OnMaterial},
        {cmd::DefineColor, &CJobSession::OnDefineColor},
        {cmd::PenTip, &CJobSession::OnPenTip},
        {cmd::FilePrint, &CJobSession::OnFilePrint},
        {cmd::FilePrintDirect, &CJobSession::OnFilePrintDirect},
        {cmd::FilePrintPreview, &CJobSession::OnFilePrintPreview},
    };
    for (const auto& [id, slot] : sessionCommands) connect(Action(id), &QAction::triggered, s, slot);
    connect(Action(cmd::ViewToolbar), &QAction::triggered, this,
            [this] { m_pToolBar->setVisible(!m_pToolBar->isVisible()); });
    connect(Action(cmd::ViewStatusBar), &QAction::triggered, this,
            [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    // After every command the actions show the state it left.
    for (const auto& [id, action] : m_actions) {
        (void)id;
        connect(action, &QAction::triggered, this, &CMainFrame::UpdateActions, Qt::QueuedConnection);
    }
    connect(s, &CJobSession::statusText, this, &CMainFrame::SetStatusText);
    connect(s->Navigator(), &CViewNavigator::jobText, m_pJobPane, &QLabel::setText);
    connect(s->Navigator(), &CViewNavigator::pointerText, m_pPointerPane, &QLabel::setText);
    m_pEscape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_pEscape->setObjectName(QStringLiteral("conversionescape"));
    m_pEscape->setEnabled(false);
    connect(m_pEscape, &QShortcut::activated, s, &CJobSession::CancelConversion);
    connect(m_pConvertCancel, &QPushButton::clicked, s, &CJobSession::CancelConversion);
    connect(s, &CJobSession::conversionStarted, this, [this] {
        m_pConvertProgress->setValue(0);
        m_pConvertProgress->show();
        m_pConvertCancel->show();
        m_pEscape->setEnabled(true);
        UpdateActions();
    });
    connect(s, &CJobSession::conversionProgress, m_pConvertProgress, &QProgressBar::setValue);
    connect(s, &CJobSession::conversionEnded, this, [this] {
        m_pConvertProgress->hide();
        m_pConvertCancel->hide();
        m_pEscape->setEnabled(false);
        UpdateActions();
    });
    connect(s, &CJobSession::sendFinished, this, [this] {
        if (!m_bCloseAfterSend) return;
        m_bCloseAfterSend = false;
        // Closed from the event loop, once the send's stack has unwound.
        QTimer::singleShot(0, this, &QWidget::close);
    });

    // Tool-bar buttons follow the job state while the program is idle.
    auto* idle = new QTimer(this);
    connect(idle, &QTimer::timeout, this, &CMainFrame::UpdateActions);
    idle->start(250);
    UpdateActions();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_pSession->IsConverting()) {
        QMessageBox box(QMessageBox::NoIcon, AppTitle(),
                        QStringLiteral("A job is being converted.\nCancel the conversion and close?"),
                        QMessageBox::Yes | QMessageBox::No, this);
        if (box.exec() != QMessageBox::Yes) {
            event->ignore();
            return;
        }
        m_pSession->CancelConversion();
        m_pSession->FinishConversion();
    }
    if (!m_pSession->m_bSending) {
        QMainWindow::closeEvent(event);
        return;
    }
    // The view and its job file are in use by the send on this thread's stack.
    event->ignore();
    CProgressWnd* running = CCutJob::Running();
    if (running && running->IsFinishing() && !running->IsAbandonRequested()) {
        // Closing while a command is being finished abandons it.
        QMessageBox box(QMessageBox::NoIcon, AppTitle(),
                        QStringLiteral("The cutter is still taking the command in progress.\nAbandon it and close?"),
                        QMessageBox::Yes | QMessageBox::No, this);
        if (box.exec() != QMessageBox::Yes) return;
        m_bCloseAfterSend = true;
        if (CProgressWnd* progress = CCutJob::Running()) progress->Abandon();
        return;
    }
    if (m_bCloseAfterSend) return;
    QMessageBox box(QMessageBox::NoIcon, AppTitle(),
                    QStringLiteral("A job is being sent to the cutter.\nCancel the send and close?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    if (box.exec() != QMessageBox::Yes) return;
    m_bCloseAfterSend = true;
    if (!m_pSession->m_bSending) {
        // The send ended while the question was open.
        m_bCloseAfterSend = false;
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    if (CProgressWnd* progress = CCutJob::Running()) progress->OnCancelButton();
}

namespace {

// The one local file of a drag, or an empty string.
QString DraggedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
    const QUrl url = data->urls().constFirst();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!m_pSession->m_bSending && !DraggedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QString path = DraggedFile(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    // The dialogs open after the drop has finished, not inside it.
    QTimer::singleShot(0, m_pSession, [s = m_pSession, path] { s->OpenOrImportFile(path); });
}

QString CMainFrame::IdleText() { return QString::fromUtf8("就绪"); }

QAction* CMainFrame::MakeAction(int id) {
    const CommandInfo* info = CCommandTable::Find(id);
    auto* action = new QAction(info ? info->menuText : QString(), this);
    if (info) {
        action->setStatusTip(info->StatusTip());
        const QString tip = info->ToolTip();
        if (!tip.isEmpty()) action->setToolTip(tip);
        if (!info->icon.isEmpty()) action->setIcon(CArtwork::Icon(info->icon, QSize(18, 18)));
    }
    switch (id) {
        case cmd::ViewToolbar:
        case cmd::ViewStatusBar:
        case cmd::ZoomOut:
        case cmd::ZoomIn:
        case cmd::DefineColor:
        case cmd::PenTip: action->setCheckable(true); break;
        default: break;
    }
    m_actions[id] = action;
    return action;
}

void CMainFrame::CreateMenus() {
    for (const MenuInfo& menuInfo : CCommandTable::Menus()) {
        QMenu* menu = menuBar()->addMenu(menuInfo.title);
        for (int id : menuInfo.items) {
            if (id == 0) {
                menu->addSeparator();
                continue;
            }
            if (id == cmd::FileMru1) {
                m_pFileMenu = menu;
                m_pRecentPlaceholder = MakeAction(id);
                m_pRecentPlaceholder->setEnabled(false);
                menu->addAction(m_pRecentPlaceholder);
                continue;
            }
            menu->addAction(MakeAction(id));
        }
        // Check marks and enabling are settled when the menu opens; Pen Tip
        // loses its mark there once Define Color is off.
        connect(menu, &QMenu::aboutToShow, this, [this] {
            m_pSession->UpdatePenTip();
            UpdateActions();
        });
    }
}

void CMainFrame::SetRecentFiles(const QStringList& paths) {
    m_recentFiles = paths;
    for (QAction* a : m_recentActions) {
        m_pFileMenu->removeAction(a);
        // May be the action whose trigger led here.
        a->deleteLater();
    }
    m_recentActions.clear();
    for (int i = 0; i < m_recentFiles.size(); ++i) {
        auto* action = new QAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(m_recentFiles.at(i))), this);
        action->setStatusTip(CCommandTable::Find(cmd::FileMru1)->StatusTip());
        connect(action, &QAction::triggered, this, [this, i] { emit recentFileChosen(static_cast<int>(i)); });
        m_pFileMenu->insertAction(m_pRecentPlaceholder, action);
        m_recentActions.push_back(action);
    }
    m_pRecentPlaceholder->setVisible(m_recentFiles.isEmpty());
}

void CMainFrame::CreateToolBar() {
    m_pToolBar = new QToolBar(this);
    m_pToolBar->setObjectName(QStringLiteral("toolbar"));
    m_pToolBar->setIconSize(QSize(18, 18));
    m_pToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    const std::vector<int>& buttons = CCommandTable::ToolBar();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (i > 0) m_pToolBar->addSeparator();
        QAction* action = Action(buttons[i]);
        m_pToolBar->addAction(action ? action : MakeAction(buttons[i]));
    }
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
}

void CMainFrame::CreateStatusBar() {
    m_pMessagePane = new QLabel(IdleText(), this);
    m_pMessagePane->setObjectName(QStringLiteral("messagepane"));
    statusBar()->addWidget(m_pMessagePane, 1);
    m_pConvertProgress = new QProgressBar(this);
    m_pConvertProgress->setObjectName(QStringLiteral("conversionprogress"));
    m_pConvertProgress->setRange(0, 100);
    m_pConvertProgress->setMaximumWidth(160);
    m_pConvertProgress->hide();
    statusBar()->addPermanentWidget(m_pConvertProgress);
    m_pConvertCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_pConvertCancel->setObjectName(QStringLiteral("conversioncancel"));
    m_pConvertCancel->hide();
    statusBar()->addPermanentWidget(m_pConvertCancel);
    // What the view shows: the job's size and knives, the pointer's position.
    for (QLabel** pane : {&m_pJobPane, &m_pPointerPane}) {
        *pane = new QLabel(this);
        statusBar()->addPermanentWidget(*pane);
    }
    m_pJobPane->setObjectName(QStringLiteral("jobpane"));
    m_pPointerPane->setObjectName(QStringLiteral("pointerpane"));
    for (const char* text : {"大写", "数字", "滚动"}) {
        auto* pane = new QLabel(QString::fromUtf8(text), this);
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        // The lock states are not visible to the program on every platform;
        // the panes show their names greyed.
        pane->setEnabled(false);
        statusBar()->addPermanentWidget(pane);
    }
    // Back to the idle text once a menu prompt goes away.
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& message) {
        if (message.isEmpty()) m_pMessagePane->setText(IdleText());
    });
}

void CMainFrame::CreateAccelerators() {
    for (const AcceleratorInfo& accel : CCommandTable::Accelerators()) {
        auto* shortcut = new QShortcut(accel.key, this);
        const int id = accel.id;
        // The edit and pane keys have no command behind them and do nothing.
        connect(shortcut, &QShortcut::activated, this, [this, id] {
            QAction* action = Action(id);
            if (!action) return;
            UpdateActions();
            if (action->isEnabled()) action->trigger();
        });
    }
}

QAction* CMainFrame::Action(int id) const {
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::UpdateActions() {
    const CJobSession& s = *m_pSession;
    Action(cmd::Cut)->setEnabled(s.CanCut());
    Action(cmd::Import)->setEnabled(s.CanImportOrOpen());
    Action(cmd::FileOpen)->setEnabled(s.CanImportOrOpen());
    Action(cmd::ZoomOut)->setChecked(s.m_bZoomOut);
    Action(cmd::ZoomIn)->setChecked(s.m_bZoomIn);
    Action(cmd::DefineColor)->setChecked(s.m_bDefineColor);
    Action(cmd::PenTip)->setEnabled(s.m_bDefineColor);
    Action(cmd::PenTip)->setChecked(s.m_bDefineColor && s.m_bPenTip);
    Action(cmd::ViewToolbar)->setChecked(!m_pToolBar->isHidden());
    Action(cmd::ViewStatusBar)->setChecked(!statusBar()->isHidden());
}

void CMainFrame::SetStatusText(QString text, bool repaintNow) {
    statusBar()->clearMessage();
    m_pMessagePane->setText(text);
    if (repaintNow) m_pMessagePane->repaint();
}

QString CMainFrame::StatusText() const {
    const QString message = statusBar()->currentMessage();
    return message.isEmpty() ? m_pMessagePane->text() : message;
}

void CMainFrame::SetDocumentTitle(const QString& title) { setWindowTitle(title + QStringLiteral(" - ") + AppTitle()); }

}  // namespace velkar
