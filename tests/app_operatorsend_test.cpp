// What an operator meets around files, the send and the dialogs: where the
// file dialogs start and what they offer, what the status bar tells after an
// import and a send, Esc during a send, and how the dialogs take their input.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include "app/cutjob.h"
#include "app/dialogs/cutterparamdlg.h"
#include "app/dialogs/importdlg.h"
#include "app/dialogs/materialdlg.h"
#include "app/dialogs/movedlg.h"
#include "app/dialogs/recentdirectory.h"
#include "app/dialogs/serialdlg.h"
#include "app/jobsession.h"
#include "app/mainframe.h"
#include "app/progresswnd.h"
#include "app/velkarapp.h"
#include "job/tempdir.h"
#include "ptycutter.h"
#include "qtsupport.h"
#include "serial/profile.h"
#include "testsupport.h"
#include "view/velkarview.h"

using namespace velkar;

namespace {

// Answers every message box with OK and the import dialog with its OK,
// keeping the texts of the boxes.
class Answerer : public QObject {
public:
    QStringList texts;
    Answerer() {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (!w->isVisible()) continue;
                if (auto* box = qobject_cast<QMessageBox*>(w)) {
                    texts << box->text();
                    box->button(QMessageBox::Ok)->click();
                } else if (qobject_cast<CImportDlg*>(w) && QApplication::activeModalWidget() == w) {
                    w->findChild<QPushButton*>(QStringLiteral("ok"))->click();
                }
            }
        });
        m_timer.start(2);
    }

private:
    QTimer m_timer;
};

}  // namespace

class OperatorSendTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        test::ClearProfile();
        CRecentDirectory::Reset();
        m_temp = std::make_unique<test::TempDirOverride>();
        m_app = std::make_unique<CVelkarApp>();
        m_app->MainFrame()->show();
    }
    void cleanup() {
        m_app.reset();
        m_temp.reset();
    }

    void dialogsFocusTheirFirstFieldAndKeepTypingToNumbers_data();
    void dialogsFocusTheirFirstFieldAndKeepTypingToNumbers();
    void importDialogShowsItsTextsWholeAndScanOffersPlotterFiles();
    void serialDialogKeepsItsSizeWhileAPathIsTyped();
    void openStartsInTheFolderOfTheLastJob_data();
    void openStartsInTheFolderOfTheLastJob();
    void aJobInTheFallbackIsNamedInTheStatusBar();
    void escForAMenuOrADialogLeavesTheSendRunningAndItsEndIsTold();

private:
    QTemporaryDir m_work;
    std::unique_ptr<test::TempDirOverride> m_temp;
    std::unique_ptr<CVelkarApp> m_app;
};

void OperatorSendTest::dialogsFocusTheirFirstFieldAndKeepTypingToNumbers_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");    // the first field after typing over its selected value
    QTest::addColumn<QString>("message");  // told at OK; empty: accepted
    QTest::newRow("sharp out of range") << "cutter" << "edit1020" << "-2.5x" << "2.5"
                                        << "Please enter a number between 0 and 2.";
    QTest::newRow("comma refused") << "cutter" << "edit1020" << "1,5" << "1" << "";
    QTest::newRow("sharp taken") << "cutter" << "edit1020" << "1.75" << "1.75" << "";
    QTest::newRow("width above") << "material" << "edit1000" << "-1000001" << "1000001"
                                 << "Please enter an integer between 0 and 1000000.";
    QTest::newRow("move unfinished") << "move" << "edit1020" << "-12.5e" << "-12.5e" << "Please enter a number.";
    QTest::newRow("serial") << "serial" << "radio1000" << "" << "" << "";
    QTest::newRow("import") << "import" << "fileName" << "" << "" << "";
}

void OperatorSendTest::dialogsFocusTheirFirstFieldAndKeepTypingToNumbers() {
    QFETCH(QString, dialog);
    QFETCH(QString, focus);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, message);
    std::unique_ptr<QDialog> dlg;
    if (dialog == QLatin1String("cutter")) dlg = std::make_unique<CCutterParamDlg>();
    if (dialog == QLatin1String("material")) dlg = std::make_unique<CMaterialDlg>();
    if (dialog == QLatin1String("move")) dlg = std::make_unique<CMoveDlg>();
    if (dialog == QLatin1String("serial")) dlg = std::make_unique<CSerialDlg>();
    if (dialog == QLatin1String("import")) dlg = std::make_unique<CImportDlg>();
    QString focused, text;
    Answerer answerer;
    test::OnNextModal([&](QWidget* w) {
        QWidget* first = w->focusWidget();
        focused = first ? first->objectName() : QString();
        if (auto* edit = qobject_cast<QLineEdit*>(first); edit && !typed.isEmpty()) {
            QTest::keyClicks(edit, typed);
            text = edit->text();
            test::Click(w, "ok");
        }
        if (w->isVisible()) static_cast<QDialog*>(w)->reject();
    });
    const int result = dlg->exec();
    QCOMPARE(focused, focus);
    QCOMPARE(text, shown);
    QCOMPARE(answerer.texts.value(0), message);
    QCOMPARE(result, int(!typed.isEmpty() && message.isEmpty() ? QDialog::Accepted : QDialog::Rejected));
}

void OperatorSendTest::importDialogShowsItsTextsWholeAndScanOffersPlotterFiles() {
    CImportDlg dlg;
    dlg.show();
    auto* label = dlg.findChild<QLabel*>();
    auto* edit = dlg.findChild<QLineEdit*>(QStringLiteral("fileName"));
    auto* scan = dlg.findChild<QPushButton*>(QStringLiteral("scan"));
    QCOMPARE(label->text(), QStringLiteral("FileName:"));
    QVERIFY(label->width() >= label->sizeHint().width());
    QVERIFY(scan->width() >= scan->sizeHint().width());
    QVERIFY(edit->x() > label->geometry().right());

    // Plotter files first; with a drawing flavour chosen, drawings.
    for (const int flavour : {1, 6}) {
        dlg.findChild<QRadioButton*>(QStringLiteral("flavour%1").arg(flavour))->click();
        QStringList filters;
        QString selected;
        test::OnNextModal([&](QWidget* w) {
            auto* fd = static_cast<QFileDialog*>(w);
            filters = fd->nameFilters();
            selected = fd->selectedNameFilter();
            fd->reject();
        });
        dlg.OnScan();
        const QStringList expected{QStringLiteral("Plotter files (*.plt *.PLT *.hpgl *.hpg *.hp *.dmpl)"),
                                   QStringLiteral("Drawings (*.svg *.SVG *.svgz *.eps *.EPS *.ps *.PS *.pdf *.PDF "
                                                  "*.ai *.AI)"),
                                   QStringLiteral("All files (*)")};
        QCOMPARE(filters, expected);
        QCOMPARE(selected, expected.at(flavour == 1 ? 0 : 1));
    }
}

void OperatorSendTest::serialDialogKeepsItsSizeWhileAPathIsTyped() {
    CSerialDlg dlg;
    QSize before, after;
    QString tip;
    const QString path = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    test::OnNextModal([&](QWidget* w) {
        before = w->size();
        auto* device = w->findChild<QComboBox*>(QStringLiteral("device"));
        device->lineEdit()->clear();
        QTest::keyClicks(device->lineEdit(), path);
        QCoreApplication::processEvents();
        after = w->size();
        tip = w->findChild<QLabel*>(QStringLiteral("device1"))->toolTip();
        static_cast<QDialog*>(w)->reject();
    });
    dlg.exec();
    QCOMPARE(after, before);
    QCOMPARE(tip, path);
}

void OperatorSendTest::openStartsInTheFolderOfTheLastJob_data() {
    QTest::addColumn<QString>("job");     // the job on screen: "" none, "jobs" or the fallback
    QTest::addColumn<bool>("recent");     // a file of an earlier run in "earlier"
    QTest::addColumn<QString>("start");   // "jobs", "earlier" or "" for the home folder
    QTest::newRow("job on screen") << "jobs" << true << "jobs";
    QTest::newRow("file of an earlier run") << "" << true << "earlier";
    QTest::newRow("fallback job") << "fallback" << true << "earlier";
    QTest::newRow("nothing yet") << "" << false << "";
}

void OperatorSendTest::openStartsInTheFolderOfTheLastJob() {
    QFETCH(QString, job);
    QFETCH(bool, recent);
    QFETCH(QString, start);
    QDir work(m_work.path());
    QVERIFY(work.mkpath(QStringLiteral("jobs")) && work.mkpath(QStringLiteral("earlier")));
    if (recent)
        OpenProfile()->setValue(QStringLiteral("Recent File List/File1"), work.filePath(QStringLiteral("earlier/a.plt")));
    CJobSession* session = m_app->Session();
    session->m_strJobPath = job == QLatin1String("fallback") ? QString::fromStdString(PrivateTempFile(FallbackJobName))
                            : job.isEmpty()                  ? QString()
                                                             : work.filePath(job + QStringLiteral("/a.PT1"));
    QString startDir;
    test::OnNextModal([&](QWidget* w) {
        auto* fd = static_cast<QFileDialog*>(w);
        startDir = fd->directory().absolutePath();
        fd->reject();
    });
    session->OnOpen();
    QCOMPARE(startDir, start.isEmpty() ? QDir::homePath() : work.filePath(start));
}

void OperatorSendTest::aJobInTheFallbackIsNamedInTheStatusBar() {
    QDir work(m_work.path());
    const QString source = work.filePath(QStringLiteral("logo.plt"));
    test::WriteText(source.toStdString(), "IN;SP1;PU0,0;PD400,0,400,400,0,400,0,0;PU;");
    // A directory stands where the job would go beside the plotter file.
    QVERIFY(work.mkdir(QStringLiteral("logo.PT1")));
    Answerer answerer;
    m_app->Session()->OpenOrImportFile(source);
    m_app->View()->viewport()->repaint();
    QTRY_VERIFY_WITH_TIMEOUT(!m_app->Session()->IsConverting(), 60000);
    const QString fallback = QString::fromStdString(PrivateTempFile(FallbackJobName));
    QCOMPARE(answerer.texts, QStringList());
    QCOMPARE(m_app->MainFrame()->StatusText(),
             QStringLiteral("Ready - job written to ") + fallback + QStringLiteral(", not beside the plotter file"));
}

void OperatorSendTest::escForAMenuOrADialogLeavesTheSendRunningAndItsEndIsTold() {
    QCOMPARE(CCutJob::Duration(59499), QStringLiteral("0:59"));
    QCOMPARE(CCutJob::Duration(59500), QStringLiteral("1:00"));
    QCOMPARE(CCutJob::Duration(3723000), QStringLiteral("62:03"));

    test::PtyCutter cutter;
    QVERIFY(cutter.IsOpen());
    auto profile = OpenProfile();
    profile->setValue(QStringLiteral("comm/port"), QStringLiteral("1"));
    profile->setValue(QStringLiteral("comm/device1"), cutter.DevicePath());
    profile->sync();
    const QString job = m_work.filePath(QStringLiteral("long.PT1"));
    std::vector<JobRecord> body{test::Rec(RecJobStart), test::Rec(RecMove, 0, 0)};
    for (int i = 1; i <= 3000; ++i) body.push_back(test::Rec(RecLine, (i * 37) % 4000, (i % 2) * 400));
    body.push_back(test::Rec(RecPathEnd));
    test::WriteJob(job.toStdString(), body, OrientationAsStored, 4000);
    m_app->Session()->OpenOrImportFile(job);

    Answerer answerer;
    bool menuClosed = false, dialogClosed = false;
    QTimer meddler;
    connect(&meddler, &QTimer::timeout, this, [&] {
        if (!CCutJob::Running() || cutter.Received().size() < 2000) return;
        meddler.stop();
        QMenu* menu = m_app->MainFrame()->menuBar()->actions().constFirst()->menu();
        menu->popup(QPoint(10, 10));
        QTest::keyClick(menu, Qt::Key_Escape);
        menuClosed = !menu->isVisible();
        QDialog dialog(m_app->MainFrame());
        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        dialogClosed = dialog.result() == QDialog::Rejected && !dialog.isVisible();
    });
    meddler.start(0);
    m_app->Session()->OnCut();
    QVERIFY(menuClosed && dialogClosed);
    QCOMPARE(answerer.texts, QStringList{QStringLiteral("ready sent")});
    const QString told = m_app->MainFrame()->StatusText();
    QVERIFY2(QRegularExpression(QStringLiteral("^sent 3003 records in 0:\\d\\d$")).match(told).hasMatch(), qPrintable(told));
}

QTEST_MAIN(OperatorSendTest)
#include "app_operatorsend_test.moc"
