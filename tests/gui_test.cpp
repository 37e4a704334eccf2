// The desktop program as a whole: menus, tool bar and their actions, the job
// session's zoom, modes and settings, document commands, start-up and
// printing, driven through the real main window.
#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest/QtTest>

#include "app/commandids.h"
#include "app/dialogs/materialdlg.h"
#include "app/jobsession.h"
#include "app/mainframe.h"
#include "app/velkarapp.h"
#include "app/velkardoc.h"
#include "qtsupport.h"
#include "render/jobrenderer.h"
#include "serial/profile.h"
#include "testsupport.h"
#include "view/velkarview.h"

using namespace velkar;
using velkar::test::Click;
using velkar::test::OnNextModal;
using velkar::test::ProfileValue;
using velkar::test::Rec;
using velkar::test::SetEdit;

class GuiTest : public QObject {
    Q_OBJECT
    velkar::test::ScratchDir m_dir;
    std::unique_ptr<CVelkarApp> m_app;

    CMainFrame* Frame() { return m_app->MainFrame(); }
    CVelkarView* View() { return m_app->View(); }
    CJobSession* Session() { return m_app->Session(); }

    QMenu* Menu(const QString& title) {
        for (QAction* a : Frame()->menuBar()->actions())
            if (a->text() == title) return a->menu();
        return nullptr;
    }

    static QStringList Texts(const QList<QAction*>& actions) {
        QStringList t;
        for (QAction* a : actions) t << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return t;
    }

    // Clicks the view as often as told, noting the scale divisor after each click.
    QList<int> ClickDivisors(int clicks) {
        QList<int> divisors;
        for (int i = 0; i < clicks; ++i) {
            QTest::mouseClick(View()->viewport(), Qt::LeftButton);
            divisors << CJobRenderer::ScaleDivisor(Session()->m_dScale);
        }
        return divisors;
    }

    // Opens a menu's update pass, as showing it does.
    void UpdateMenu(const QString& title) {
        QMenu* menu = Menu(title);
        QVERIFY(menu);
        emit menu->aboutToShow();
    }

    // A job of one line, made the session's.
    QString UseSmallJob() {
        const std::string path = m_dir.File("small.PT1");
        velkar::test::WriteJob(path, {Rec(RecMove, 400, 400), Rec(RecLine, 4000, 400), Rec(RecPathEnd)}, 4, 400);
        return Session()->m_strJobPath = QString::fromStdString(path);
    }

    // Runs the command and returns the class name of the modal dialog it opened (closed with Cancel or OK).
    QString DialogOf(int id) {
        QString name;
        OnNextModal([&name](QWidget* w) {
            name = QString::fromLatin1(w->metaObject()->className());
            if (auto* cancel = w->findChild<QPushButton*>(QStringLiteral("cancel")))
                cancel->click();
            else if (auto* dialog = qobject_cast<QDialog*>(w))
                dialog->reject();
        });
        Frame()->Action(id)->trigger();
        return name;
    }

private slots:
    void init() { QVERIFY(velkar::test::StartApp(m_app)); }

    void cleanup() { m_app.reset(); }

    void MenusToolBarAndPrompts() {
        const QLatin1Char bar('|');
        QCOMPARE(Texts(Frame()->menuBar()->actions()).join(bar),
                 QStringLiteral("File(&F)|View(&V)|Figure(&I)|Cut(&P)|Help&H)"));
        QCOMPARE(Texts(Menu(QStringLiteral("File(&F)"))->actions()).join(bar),
                 QStringLiteral("New(&N)\tCtrl+N|Open(&O)...\tCtrl+O|Save(&S)\tCtrl+S|Save as(&A)...|-|Import...|-|"
                                "Recent|-|Exit(&X)"));
        QVERIFY(!Frame()->Action(cmd::FileMru1)->isEnabled());
        QCOMPARE(Texts(Menu(QStringLiteral("Cut(&P)"))->actions()).join(bar),
                 QStringLiteral("Cut(&P)...|Serial Port..|Cuter Parameter...|Material...|Define Color |Pen Tip"));

        // Ten buttons with a separator between each two.
        QList<QAction*> expected;
        for (int id : {cmd::Import, cmd::FileOpen, cmd::FileSave, cmd::ZoomOut, cmd::ZoomIn, cmd::Material,
                       cmd::SerialPort, cmd::CutterParameter, cmd::Cut, cmd::AppAbout})
            expected << Frame()->Action(id);
        const QList<QAction*> buttons = Frame()->ToolBar()->actions();
        QCOMPARE(buttons.size(), 19);
        for (int i = 0; i < buttons.size(); ++i)
            QVERIFY(i % 2 ? buttons[i]->isSeparator() : buttons[i] == expected[i / 2]);

        QCOMPARE((QStringList{Frame()->Action(cmd::FileNew)->statusTip(), Frame()->Action(cmd::FileNew)->toolTip(),
                              Frame()->Action(cmd::Cut)->statusTip(), Frame()->Action(cmd::Cut)->toolTip(),
                              Frame()->Action(cmd::ZoomIn)->statusTip(), Frame()->Action(cmd::Material)->toolTip(),
                              Frame()->Action(cmd::FileMru1)->statusTip()})
                     .join(bar),
                 QString::fromUtf8("Creat  new file|New|Sent Cuter| Cuter|Zoom | Set Material |打开该文档"));

        QCOMPARE(Frame()->StatusText(), QString::fromUtf8("就绪"));
        QStringList panes;
        for (QLabel* l : Frame()->statusBar()->findChildren<QLabel*>()) panes << l->text();
        for (const char* pane : {"大写", "数字", "滚动"}) QVERIFY(panes.contains(QString::fromUtf8(pane)));
        QVERIFY(Frame()->windowTitle().endsWith(QStringLiteral("Velkar")));
    }

    void EachCommandReachesItsHandler() {
        // Save without a name yet asks for one.
        const std::pair<int, const char*> dialogs[] = {
            {cmd::Move, "velkar::CMoveDlg"},         {cmd::CutterParameter, "velkar::CCutterParamDlg"},
            {cmd::Material, "velkar::CMaterialDlg"}, {cmd::SerialPort, "velkar::CSerialDlg"},
            {cmd::AppAbout, "velkar::CAboutDlg"},    {cmd::FileSaveAs, "QFileDialog"},
            {cmd::FileSave, "QFileDialog"},          {cmd::FileOpen, "QFileDialog"},
            {cmd::Import, "velkar::CImportDlg"},     {cmd::FilePrintPreview, "QPrintPreviewDialog"}};
        for (const auto& [id, dialog] : dialogs) QCOMPARE(DialogOf(id), QLatin1String(dialog));
        QVERIFY(DialogOf(cmd::FilePrint).contains(QStringLiteral("PrintDialog")));

        for (int id : {cmd::ZoomOut, cmd::ZoomIn, cmd::Redraw, cmd::DefineColor, cmd::PenTip, cmd::Cut, cmd::FileNew,
                       cmd::ViewToolbar, cmd::ViewStatusBar})
            Frame()->Action(id)->trigger();
        QVERIFY(Frame()->ToolBar()->isHidden());
        QVERIFY(Frame()->statusBar()->isHidden());
        Frame()->Action(cmd::ViewToolbar)->trigger();
        Frame()->Action(cmd::ViewStatusBar)->trigger();
        Frame()->UpdateActions();
        QVERIFY(Frame()->Action(cmd::ViewToolbar)->isChecked());
        QVERIFY(Frame()->Action(cmd::ViewStatusBar)->isChecked());
        // The edit keys have no command behind them.
        QVERIFY(!Frame()->Action(cmd::EditCopy));
        QVERIFY(!Frame()->Action(cmd::FilePrintSetup));
    }

    // Zoom out halves the scale down to the smallest; zoom in doubles it and
    // falls back when it would pass the largest. The modes exclude each other.
    void ZoomModesHalveAndDoubleTheScale() {
        QTest::mouseClick(View()->viewport(), Qt::RightButton);  // nothing armed: nothing changes
        QCOMPARE(Session()->m_dScale, 1.0);
        Frame()->Action(cmd::ZoomOut)->trigger();
        const QImage zoomOut = View()->cursor().pixmap().toImage();
        QCOMPARE(zoomOut.size(), QSize(32, 32));
        QCOMPARE(View()->cursor().hotSpot(), QPoint(0, 0));
        QCOMPARE(ClickDivisors(5), QList<int>({20, 10, 5, 2, 1}));
        QCOMPARE(Session()->m_dScale, 0.03125);
        ClickDivisors(10);
        QCOMPARE(Session()->m_dScale, 0.0025);

        Frame()->Action(cmd::ZoomIn)->trigger();
        Frame()->Action(cmd::ZoomIn)->trigger();                  // choosing it again keeps it armed
        QVERIFY(zoomOut != View()->cursor().pixmap().toImage());  // each mode shows its own magnifier
        QCOMPARE(View()->horizontalScrollBar()->cursor().shape(), Qt::BitmapCursor);
        UpdateMenu(QStringLiteral("View(&V)"));
        QCOMPARE((QList<bool>{Session()->m_bZoomOut, Session()->m_bZoomIn, Frame()->Action(cmd::ZoomOut)->isChecked(),
                              Frame()->Action(cmd::ZoomIn)->isChecked()}),
                 (QList<bool>{false, true, false, true}));
        // Doubling up to 512, then back to 64.
        Session()->m_dScale = 1.0;
        QCOMPARE(ClickDivisors(10), QList<int>({80, 160, 320, 640, 1280, 2560, 5120, 10240, 20480, 2560}));
        QCOMPARE(Session()->m_dScale, 64.0);
        // A right click disarms; further left clicks change nothing.
        QTest::mouseClick(View()->viewport(), Qt::RightButton);
        QVERIFY(!Session()->m_bZoomIn);
        QCOMPARE(View()->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(ClickDivisors(1), QList<int>({2560}));
    }

    void DefineColorAndPenTip() {
        // As the Cut menu shows them: Define Color (set, checked), Pen Tip (enabled, set, checked).
        auto shown = [this](int command) {
            if (command) Frame()->Action(command)->trigger();
            UpdateMenu(QStringLiteral("Cut(&P)"));
            return QList<bool>{Session()->m_bDefineColor, Frame()->Action(cmd::DefineColor)->isChecked(),
                               Frame()->Action(cmd::PenTip)->isEnabled(), Session()->m_bPenTip,
                               Frame()->Action(cmd::PenTip)->isChecked()};
        };
        QCOMPARE(shown(0), QList<bool>({false, false, false, false, false}));
        QCOMPARE(shown(cmd::DefineColor), QList<bool>({true, true, true, false, false}));
        QCOMPARE(shown(cmd::PenTip), QList<bool>({true, true, true, true, true}));
        // Define Color off: Pen Tip is cleared and disabled when the Cut menu opens.
        Frame()->Action(cmd::DefineColor)->trigger();
        QVERIFY(Session()->m_bPenTip);
        QCOMPARE(shown(0), QList<bool>({false, false, false, false, false}));
    }

    // Moves add up; the cutter parameters are shown as the session holds them and kept on OK.
    void MoveAndCutterParameterCommands() {
        auto run = [this](int command, const QString& first, const QString& second) {
            OnNextModal([=](QWidget* w) {
                SetEdit(w, "edit1020", first);
                SetEdit(w, "edit1021", second);
                Click(w, "ok");
            });
            Frame()->Action(command)->trigger();
        };
        run(cmd::Move, QStringLiteral("-12345.5"), QStringLiteral("99999"));  // any number, no bounds
        run(cmd::Move, QStringLiteral("4"), QStringLiteral("1"));
        run(cmd::CutterParameter, QStringLiteral("1.5"), QStringLiteral("4"));
        QCOMPARE((QList<float>{Session()->m_fMoveX, Session()->m_fMoveY, Session()->m_fSharpOffset,
                               Session()->m_fCloseOffset}),
                 (QList<float>{-12341.5f, 100000.0f, 1.5f, 4.0f}));
        QString shown;
        OnNextModal([&shown](QWidget* w) {
            shown = w->findChild<QLineEdit*>(QStringLiteral("edit1020"))->text();
            Click(w, "cancel");
        });
        Frame()->Action(cmd::CutterParameter)->trigger();
        QCOMPARE(shown, QStringLiteral("1.5"));
    }

    // The view paints the job and moves it with the scroll bars; the Material
    // command repaints even after Cancel.
    void ViewPaintsTheJobAndMaterialRepaints() {
        UseSmallJob();
        Session()->OnRedraw();
        QTRY_VERIFY(View()->ScrollSize() == QSize(600, 700));
        QCOMPARE(Session()->m_nJobRecords, 6);
        QImage shot = View()->viewport()->grab().toImage();
        QCOMPARE(shot.pixel(350, 110), qRgb(0, 0, 0));
        QCOMPARE(shot.pixel(300, 100), qRgb(200, 200, 200));

        QCoreApplication::processEvents();
        QSignalSpy painted(View(), &CVelkarView::painted);
        OnNextModal([](QWidget* w) { Click(w, "cancel"); });
        Frame()->Action(cmd::Material)->trigger();
        QTRY_VERIFY(painted.count() > 0);
        OnNextModal([](QWidget* w) {
            SetEdit(w, "edit1000", QStringLiteral("400"));
            Click(w, "ok");
        });
        Frame()->Action(cmd::Material)->trigger();
        QTRY_COMPARE(Session()->m_nMaterialWidth, 400);
        QCOMPARE(View()->ScrollSize(), QSize(800, 700));

        View()->resize(300, 200);
        Session()->OnRedraw();
        QTRY_VERIFY(View()->horizontalScrollBar()->maximum() > 0);
        View()->horizontalScrollBar()->setValue(100);
        View()->verticalScrollBar()->setValue(50);
        shot = View()->viewport()->grab().toImage();
        QCOMPARE(shot.pixel(250, 60), qRgb(0, 0, 0));
    }

    // New keeps the job; Save as writes an empty document, and Save then writes
    // to its name without asking; the recent list keeps four names, and an
    // entry opens as the document, which loads nothing.
    void DocumentCommandsKeepTheJob() {
        const QString job = UseSmallJob();
        Session()->m_fMoveX = 3.0f;
        View()->SetScrollSizes(QSize(700, 800));
        Frame()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Frame()));
        QTest::keyClick(Frame(), Qt::Key_N, Qt::ControlModifier);  // New runs the view's initial update
        QCOMPARE(View()->ScrollSize(), QSize(100, 100));

        const QString target = QString::fromStdString(m_dir.File("saved.vlk"));
        OnNextModal([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            QVERIFY(dialog);
            dialog->selectFile(target);
            static_cast<QDialog*>(dialog)->accept();
        });
        Frame()->Action(cmd::FileSaveAs)->trigger();
        QCOMPARE(m_app->Document()->PathName(), target);
        QVERIFY(Frame()->windowTitle().startsWith(QStringLiteral("saved.vlk")));
        velkar::test::WriteText(target.toStdString(), "again");
        Frame()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Frame()));
        QTest::keyClick(Frame(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(QFileInfo(target).size(), 0);

        QStringList names{target};
        for (int i = 1; i <= 4; ++i) {
            const QString path = QString::fromStdString(m_dir.File("doc" + std::to_string(i) + ".vlk"));
            velkar::test::WriteText(path.toStdString(), "");
            m_app->Document()->OnOpenDocument(path);
            names.prepend(path);
        }
        QCOMPARE(m_app->RecentFiles().Entries(), names.mid(0, 4));
        QCOMPARE(ProfileValue(QStringLiteral("Recent File List/File4")), names.at(3));
        QVERIFY(!Frame()->Action(cmd::FileMru1)->isVisible());
        QList<QAction*> fileMenu;
        for (QAction* a : Menu(QStringLiteral("File(&F)"))->actions())
            if (a->isVisible() && a->text().startsWith(QLatin1Char('&'))) fileMenu << a;
        QCOMPARE(fileMenu.size(), 4);
        QVERIFY(fileMenu.at(0)->text().startsWith(QStringLiteral("&1 ")));
        fileMenu.at(3)->trigger();
        QCOMPARE(m_app->Document()->PathName(), names.at(3));
        QCOMPARE(m_app->RecentFiles().Entries().at(0), names.at(3));
        QCOMPARE(Session()->m_strJobPath, job);
        QCOMPARE(Session()->m_fMoveX, 3.0f);
    }

    void StartupShowsTheMaterialDialogOverTheWindow() {
        bool frameVisible = false;
        QString sizes;
        OnNextModal([&](QWidget* w) {
            frameVisible = Frame()->isVisible();
            QVERIFY(qobject_cast<CMaterialDlg*>(w));
            QCOMPARE(w->parentWidget(), static_cast<QWidget*>(Frame()));
            sizes = w->findChild<QLineEdit*>(QStringLiteral("edit1001"))->text() + QLatin1Char(' ') +
                    w->findChild<QLineEdit*>(QStringLiteral("edit1000"))->text();
            Click(w, "cancel");
        });
        m_app->ShowStartupMaterialDialog();
        QVERIFY(frameVisible);
        QCOMPARE(sizes, QStringLiteral("200 200"));
        QCOMPARE(ProfileValue(QStringLiteral("material/length")), QStringLiteral("<absent>"));

        CVelkarApp other;
        QString error;
        QVERIFY(!other.InitInstance({QStringLiteral("--scale"), QStringLiteral("1000")}, &error));
        QCOMPARE(error, QStringLiteral("--scale must be a number from 0.0025 to 512, not '1000'"));
        QVERIFY(!other.InitInstance({QStringLiteral("--bogus")}, &error));
        QCOMPARE(error, QStringLiteral("unknown option '--bogus'"));
        const QString job = UseSmallJob();
        QVERIFY(other.InitInstance({QStringLiteral("--job"), job, QStringLiteral("--sharp"), QStringLiteral("1")}));
        QCOMPARE(other.Session()->m_strJobPath, job);
        QCOMPARE(other.Session()->m_fSharpOffset, 1.0f);
        // Exit closes the main window.
        other.MainFrame()->Action(cmd::AppExit)->trigger();
        QVERIFY(!other.MainFrame()->isVisible());
    }

    void PrintingDrawsThroughThePaintEntry() {
        UseSmallJob();
        Session()->m_nJobRecords = 0;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(m_dir.File("print.pdf")));
        Session()->PrintTo(printer);
        QCOMPARE(Session()->m_nJobRecords, 6);
    }
};

QTEST_MAIN(GuiTest)
#include "gui_test.moc"
