#include "app/velkarapp.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

#include "app/dialogs/aboutdlg.h"
#include "app/jobsession.h"
#include "app/mainframe.h"
#include "app/dialogs/materialdlg.h"
#include "app/velkardoc.h"
#include "app/commandids.h"
#include "app/dialogs/messagebox.h"
#include "view/velkarview.h"

namespace velkar {

CVelkarApp::CVelkarApp(QObject* parent) : QObject(parent) {
    m_recent.Load();
    m_pDoc = new CVelkarDoc(this);
    m_pFrame = new CMainFrame();
    m_pFrame->setAttribute(Qt::WA_DeleteOnClose, false);
    m_pDoc->SetDialogParent(m_pFrame);
    const std::pair<int, void (CVelkarApp::*)()> appCommands[] = {
        {cmd::FileNew, &CVelkarApp::OnFileNew},
        {cmd::AppAbout, &CVelkarApp::OnAppAbout},
        {cmd::AppExit, &CVelkarApp::OnAppExit},
    };
    for (const auto& [id, slot] : appCommands) connect(m_pFrame->Action(id), &QAction::triggered, this, slot);
    connect(m_pFrame->Action(cmd::FileSave), &QAction::triggered, m_pDoc, &CVelkarDoc::OnFileSave);
    connect(m_pFrame->Action(cmd::FileSaveAs), &QAction::triggered, m_pDoc, &CVelkarDoc::OnFileSaveAs);
    connect(m_pFrame, &CMainFrame::recentFileChosen, this, &CVelkarApp::OnOpenRecentFile);
    m_pFrame->SetDocumentTitle(m_pDoc->Title());
    m_pFrame->SetRecentFiles(m_recent.Entries());
    connect(m_pDoc, &CVelkarDoc::titleChanged, m_pFrame, &CMainFrame::SetDocumentTitle);
    connect(m_pDoc, &CVelkarDoc::pathUsed, this, &CVelkarApp::AddRecentFile);
    connect(m_pDoc, &CVelkarDoc::updateAllViews, Session(), &CJobSession::OnRedraw);
    connect(Session(), &CJobSession::titleRequested, m_pDoc, &CVelkarDoc::SetTitle);
    Session()->OnInitialUpdate();
}

CVelkarApp::~CVelkarApp() { delete m_pFrame; }

CVelkarView* CVelkarApp::View() const { return m_pFrame->View(); }

CJobSession* CVelkarApp::Session() const { return m_pFrame->Session(); }

namespace {

// Reads the number after an option; false with a message when it is missing,
// not a number or outside [min, max].
bool OptionNumber(const QStringList& arguments, qsizetype& i, double min, double max, double& value, QString* error) {
    const QString option = arguments.at(i);
    if (i + 1 >= arguments.size()) {
        if (error) *error = QStringLiteral("%1 needs a value").arg(option);
        return false;
    }
    bool ok = false;
    value = arguments.at(++i).toDouble(&ok);
    if (!ok || !(value >= min && value <= max)) {
        if (error)
            *error = QStringLiteral("%1 must be a number from %2 to %3, not '%4'")
                         .arg(option, QString::number(min), QString::number(max), arguments.at(i));
        return false;
    }
    return true;
}

}  // namespace

bool CVelkarApp::InitInstance(const QStringList& arguments, QString* error) {
    QString document;
    CJobSession* view = Session();
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        double number = 0.0;
        if (a == QLatin1String("--job") || a == QLatin1String("--screenshot")) {
            if (i + 1 >= arguments.size()) {
                if (error) *error = QStringLiteral("%1 needs a file").arg(a);
                return false;
            }
            const QString path = QFileInfo(arguments.at(++i)).absoluteFilePath();
            if (a == QLatin1String("--screenshot")) {
                m_strScreenshot = path;
            } else {
                view->m_strJobPath = path;
                view->m_strSourcePath = path;
            }
        } else if (a == QLatin1String("--scale")) {
            if (!OptionNumber(arguments, i, CJobSession::MinScale, CJobSession::MaxScale, number, error)) return false;
            view->m_dScale = number;
        } else if (a == QLatin1String("--sharp")) {
            if (!OptionNumber(arguments, i, 0.0, 2.0, number, error)) return false;
            view->m_fSharpOffset = static_cast<float>(number);
        } else if (a == QLatin1String("--close")) {
            if (!OptionNumber(arguments, i, 0.0, 5.0, number, error)) return false;
            view->m_fCloseOffset = static_cast<float>(number);
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            if (error) *error = QStringLiteral("unknown option '%1'").arg(a);
            return false;
        } else if (document.isEmpty()) {
            document = a;
        } else {
            if (error) *error = QStringLiteral("more than one file named: '%1'").arg(a);
            return false;
        }
    }
    if (!document.isEmpty()) m_strStartFile = QFileInfo(document).absoluteFilePath();
    m_pFrame->show();
    m_pFrame->activateWindow();
    return true;
}

void CVelkarApp::ShowStartupMaterialDialog() { CMaterialDlg::RunWithProfile(m_pFrame); }

int CVelkarApp::Run() {
    if (!m_strScreenshot.isEmpty()) return RunScreenshot();
    ShowStartupMaterialDialog();
    // Closing the material dialog must not end the program; only the main window does.
    if (!m_pFrame->isVisible()) return 0;
    if (!m_strStartFile.isEmpty())
        QTimer::singleShot(0, Session(), [s = Session(), path = m_strStartFile] { s->OpenOrImportFile(path); });
    return QApplication::exec();
}

int CVelkarApp::RunScreenshot() {
    // Picture of the main window once the view has drawn the job (or after a
    // few seconds, should no paint come), then quit.
    int result = 0;
    bool taken = false;
    auto take = [this, &result, &taken] {
        if (taken) return;
        taken = true;
        if (!m_pFrame->grab().save(m_strScreenshot)) {
            std::fprintf(stderr, "velkar: cannot write %s\n", m_strScreenshot.toLocal8Bit().constData());
            result = 1;
        }
        QApplication::exit(result);
    };
    QObject::connect(View(), &CVelkarView::painted, this, [this, take] { QTimer::singleShot(100, this, take); },
                     Qt::SingleShotConnection);
    QTimer::singleShot(5000, this, take);
    Session()->OnRedraw();
    QApplication::exec();
    return result;
}

void CVelkarApp::OnFileNew() {
    if (!m_pDoc->OnNewDocument()) return;
    Session()->OnInitialUpdate();
    Session()->OnRedraw();
}

void CVelkarApp::OnAppAbout() {
    CAboutDlg dlg(m_pFrame);
    dlg.exec();
}

void CVelkarApp::OnAppExit() { m_pFrame->close(); }

void CVelkarApp::OnOpenRecentFile(int index) {
    if (index < 0 || index >= m_recent.Entries().size()) return;
    const QString path = m_recent.Entries().at(index);
    if (!QFileInfo::exists(path)) {
        ShowMessage(m_pFrame, QStringLiteral("Cannot open %1: the file does not exist.").arg(path));
        m_recent.Remove(index);
        m_recent.Save();
        m_pFrame->SetRecentFiles(m_recent.Entries());
        return;
    }
    m_pDoc->OnOpenDocument(path);
}

void CVelkarApp::AddRecentFile(const QString& path) {
    m_recent.Add(path);
    m_recent.Save();
    m_pFrame->SetRecentFiles(m_recent.Entries());
}

}  // namespace velkar
