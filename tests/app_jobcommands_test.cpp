// The job commands end to end through the real windows: Import with its
// dialog and the conversion at the next paint, Open, and Cut into a
// pseudo-terminal standing in for the cutter; and what the operator meets
// around them: the flavour offered, where the file dialogs start, the dialogs'
// first fields, the status bar and the view's Fit and zoom. Modal dialogs are
// answered by a script that watches for them from the event loop they run.

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <functional>
#include <memory>
#include <utility>

#include "app/commandids.h"
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
#include "app/viewnavigator.h"
#include "clirun.h"
#include "cutter/cuttersend.h"
#include "job/jobrecord.h"
#include "job/tempdir.h"
#include "ptycutter.h"
#include "qtsupport.h"
#include "render/jobrenderer.h"
#include "serial/profile.h"
#include "testsupport.h"
#include "view/velkarview.h"

using namespace velkar;
using test::Rec;

namespace {

// Answers the modal dialogs of the program as they appear: message boxes are
// recorded and answered (OK unless told otherwise), the import dialog, once
// told to, gets a file name and a flavour or is cancelled, file dialogs get a
// file or are cancelled.
class DialogScript : public QObject {
public:
    struct Message {
        QString caption;
        QString text;
        QString detail;  // the informative text under it
    };

    DialogScript() {
        m_timer.setInterval(2);
        connect(&m_timer, &QTimer::timeout, this, [this] { Look(); });
        m_timer.start();
    }

    void Import(const QString& file, int flavour, bool order = false) {
        m_importFile = file;
        m_importFlavour = flavour;
        m_importOrder = order;
        m_import = Answered;
    }
    void CancelImport() { m_import = Cancelled; }
    void PickFile(const QString& file) { m_pickFile = file; }
    // The answer to the next message boxes, until told otherwise.
    void Answer(QMessageBox::StandardButton button) { m_answer = button; }

    QList<Message> messages;
    int startPath = 0;          // set in "Start at path" of "ready sent" when not 0
    QString prefilledFileName;  // what the import dialog showed when it opened
    int offeredFlavour = 0;     // and the flavour it had checked
    QString fileDialogFolder;   // where the last file dialog started
    QStringList fileFilters;    // its selected name filter, then all of them

private:
    // Stack dialogs come and go at the same addresses: forget each when it goes.
    bool Handled(QObject* w) {
        if (m_handled.contains(w)) return true;
        m_handled.insert(w);
        connect(w, &QObject::destroyed, this, [this, w] { m_handled.remove(w); });
        return false;
    }

    void Look() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible()) continue;
            if (auto* box = qobject_cast<QMessageBox*>(w); box && !Handled(box)) {
                messages.append({box->windowTitle(), box->text(), box->informativeText()});
                if (auto* start = box->findChild<QSpinBox*>(QStringLiteral("startPath")); start && startPath > 0)
                    start->setValue(startPath);
                QAbstractButton* b = box->button(m_answer);
                (b ? b : box->button(QMessageBox::Ok))->click();
                return;
            }
            auto* dlg = qobject_cast<CImportDlg*>(w);
            if (dlg && m_import != Untouched && QApplication::activeModalWidget() == dlg && !Handled(dlg)) {
                auto* edit = dlg->findChild<QLineEdit*>(QStringLiteral("fileName"));
                prefilledFileName = edit->text();
                for (int i = 1; i <= CImportDlg::FlavourCount; ++i)
                    if (Flavour(dlg, i)->isChecked()) offeredFlavour = i;
                if (m_import == Cancelled) return dlg->reject();
                if (!m_importFile.isNull()) edit->setText(m_importFile);
                Flavour(dlg, m_importFlavour)->click();
                if (m_importOrder) dlg->findChild<QAbstractButton*>(QStringLiteral("orderPaths"))->click();
                return dlg->findChild<QPushButton*>(QStringLiteral("ok"))->click();
            }
            if (auto* fd = qobject_cast<QFileDialog*>(w); fd && !Handled(fd)) {
                fileDialogFolder = fd->directory().absolutePath();
                fileFilters = QStringList{fd->selectedNameFilter()} + fd->nameFilters();
                if (m_pickFile.isEmpty()) return fd->reject();
                fd->selectFile(m_pickFile);
                return static_cast<QDialog*>(fd)->accept();
            }
        }
    }

    static QRadioButton* Flavour(QWidget* dlg, int flavour) {
        return dlg->findChild<QRadioButton*>(QStringLiteral("flavour%1").arg(flavour));
    }

    QTimer m_timer;
    QSet<QObject*> m_handled;
    enum { Untouched, Answered, Cancelled } m_import = Untouched;
    QString m_importFile;
    int m_importFlavour = 1;
    bool m_importOrder = false;
    QString m_pickFile;
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;
};

// A job of one zigzag path of the given lines, then strokes more paths of one line each.
void WriteZigzagJob(const QString& path, int lines, int strokes = 0) {
    std::vector<JobRecord> r = {Rec(RecHeaderCount, 0, OrientationAsStored), Rec(RecHeaderMin),
                                Rec(RecHeaderMax, 4000, 4000), Rec(RecJobStart), Rec(RecMove)};
    for (int i = 1; i <= lines; ++i) r.push_back(Rec(RecLine, (i * 37) % 4000, (i % 2) * 400));
    for (int s = 1; s <= strokes; ++s)
        r.push_back(Rec(RecMove, 0, 1000 * s)), r.push_back(Rec(RecLine, 4000, 1000 * s));
    r.push_back(Rec(RecPathEnd));
    r[0].x = std::int32_t(r.size());
    test::WriteRecords(path.toStdString(), r);
}

// What `velkar stream` sends for the job with the options.
QByteArray StreamOf(const QString& job, std::vector<std::string> options = {}) {
    options.insert(options.begin(), {"stream", job.toStdString()});
    const test::CliRun r = test::RunVelkar(options);
    return QByteArray::fromStdString(r.code == 0 ? r.out : "velkar stream failed: " + r.err);
}

QPushButton* Button(QWidget* w, const char* name) {
    return w->findChild<QPushButton*>(QString::fromLatin1(name));
}

}  // namespace

class JobCommandsTest : public QObject {
    Q_OBJECT

    QString Work(const QString& name) const { return m_work->filePath(name); }
    QString Work(const char* name) const { return Work(QString::fromLatin1(name)); }
    // Copies an example plotter file into the test's directory, so that its job lands there.
    QString CopyExample(const char* example, const char* as) {
        QFile::copy(QStringLiteral(VELKAR_SOURCE_DIR "/examples/") + QLatin1String(example), Work(as));
        return Work(as);
    }
    static void SetDevice(const QString& device) {
        OpenProfile()->setValue(QStringLiteral("comm/port"), QStringLiteral("1"));
        OpenProfile()->setValue(QStringLiteral("comm/device1"), device);
    }
    // Points COM1 at the cutter and opens a long job of one path; returns its path.
    QString OpenLongJob(const test::PtyCutter& cutter, int lines = 20000, int strokes = 0) {
        SetDevice(cutter.DevicePath());
        const QString job = Work("long.PT1");
        WriteZigzagJob(job, lines, strokes);
        m_session->OpenOrImportFile(job);
        return job;
    }
    // The texts of the message boxes told so far, which are then forgotten.
    QStringList Told() {
        QStringList t;
        for (const auto& m : std::exchange(m_script->messages, {})) t << m.text;
        return t;
    }
    // Runs Cut while step looks at its progress window at each turn of the
    // event loop (or every interval ms), until step returns false.
    void CutWatching(const std::function<bool(CProgressWnd*)>& step, int interval = 0) {
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] {
            if (CProgressWnd* progress = CCutJob::Running(); progress && !step(progress)) timer.stop();
        });
        timer.start(interval);
        m_session->OnCut();
        timer.stop();
        QCoreApplication::processEvents();
    }
    // Paints once, which starts a pending conversion, and waits for its end.
    void PaintAndConvert() {
        m_view->viewport()->repaint();
        QTRY_VERIFY_WITH_TIMEOUT(!m_session->IsConverting(), 60000);
    }
    QStringList ImportAndPaint(const QString& file, int flavour) {
        m_script->Import(file, flavour);
        m_session->OnImport();
        PaintAndConvert();
        return Told();
    }
    QImage Shown() const { return m_view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QImage Canvas() const {
        QImage image(m_view->viewport()->size(), QImage::Format_RGB32);
        image.fill(m_view->viewport()->palette().color(QPalette::Base));
        return image;
    }
    // The view shows what the renderer draws for the same state on a clean canvas.
    bool DrawnAsRendered() const {
        QImage image = Canvas();
        QPainter painter(&image);
        CJobRenderer::Draw(painter, m_session->CurrentRenderSettings());
        return Shown() == image;
    }
    QString Pane(const char* name) const { return m_frame->findChild<QLabel*>(QLatin1String(name))->text(); }

    std::unique_ptr<QTemporaryDir> m_work;
    std::unique_ptr<test::TempDirOverride> m_temp;
    std::unique_ptr<CVelkarApp> m_app;
    CMainFrame* m_frame = nullptr;
    CVelkarView* m_view = nullptr;
    CJobSession* m_session = nullptr;
    std::unique_ptr<DialogScript> m_script;

private slots:
    void init() {
        m_work = std::make_unique<QTemporaryDir>();
        m_temp = std::make_unique<test::TempDirOverride>();
        CRecentDirectory::Reset();
        QVERIFY(test::StartApp(m_app));
        m_frame = m_app->MainFrame();
        m_view = m_app->View();
        m_session = m_app->Session();
        m_script = std::make_unique<DialogScript>();
    }

    void cleanup() {
        m_script.reset();
        m_app.reset();
        m_temp.reset();
        m_work.reset();
    }

    void importRefusalsAreTold() {
        const QString h = CopyExample("arrow-h.plt", "arrow.plt"),
                      hpgl = CopyExample("square-and-star.plt", "square.plt");
        const QString late = Work("late.plt"), missing = Work("missing.plt"), kept = Work("kept.PT1");
        test::WriteText(late.toStdString(), std::string(39, ';') + "IN;PU0,0;PD100,0;");
        WriteZigzagJob(kept, 3);  // every refusal leaves this job the current one

        const struct {
            QString file;
            int flavour;
            QString message;
            int type;  // -7: not looked at
        } cases[] = {
            {QString(), 1, QStringLiteral("you don't select file"), -7},
            {missing, 1, QStringLiteral("cannot open ") + missing + QStringLiteral(": No such file or directory"), -7},
            {h, 1, QStringLiteral("file type error"), 3},
            {h, 2, QStringLiteral("file type error"), 3},
            {hpgl, 3, QStringLiteral("file type isn't CAD"), 1},
            {late, 3, QStringLiteral("file type isn't CAD"), -1},
        };
        for (const auto& c : cases) {
            m_session->m_nFileType = -7;
            m_session->m_strJobPath = kept;
            m_script->Import(c.file, c.flavour);
            m_session->OnImport();
            QCOMPARE(m_script->messages.value(0).caption, QStringLiteral("Velkar"));
            QCOMPARE(Told(), QStringList{c.message});
            QVERIFY(!m_session->m_bConvertPending);
            QCOMPARE(m_session->m_nImportFlavour, c.flavour);
            QCOMPARE(m_session->m_nFileType, c.type);
            // The job on screen stays the one Cut sends, and no empty job is left beside the refused file.
            QCOMPARE(m_session->m_strJobPath, kept);
            QVERIFY(c.file.isEmpty() || !QFileInfo::exists(c.file.chopped(4) + QStringLiteral(".PT1")));
        }

        // Type 2 (IN with PR) and an unrecognised file are taken by CasMate PLT,
        // and the paint then leaves the view without a job.
        const QString pr = Work("pr.plt");
        test::WriteText(pr.toStdString(), "IN;PR;PU0,0;PD10,10;\n");
        for (const QString& file : {pr, late}) {
            QCOMPARE(ImportAndPaint(file, 4), QStringList());
            QVERIFY(m_session->m_strJobPath.isEmpty());
            QCOMPARE(m_frame->StatusText(), QStringLiteral("Ready"));
            QVERIFY(!m_session->CanCut());
        }

        // Cancelling the dialog changes nothing and tells nothing.
        m_session->m_strJobPath = kept;
        m_script->CancelImport();
        m_session->OnImport();
        QCOMPARE(Told(), QStringList());
        QCOMPARE(m_session->m_strJobPath, kept);
        QVERIFY(!m_session->m_bConvertPending);
    }

    void unusableTemporaryDirectoryRefusesImportAndOpen() {
        const QString notDir = Work("plain-file");
        test::WriteText(notDir.toStdString(), "x");
        qputenv("VELKAR_TEMP", notDir.toLocal8Bit());
        m_script->Import(CopyExample("square-and-star.plt", "logo.plt"), 1);
        m_session->OnImport();
        m_session->OnOpen();
        QCOMPARE(Told(), QStringList(2, QStringLiteral("can't made temp dir in diver c:")));
        QVERIFY(m_session->m_strSourcePath.isEmpty());
        QVERIFY(!m_session->m_bConvertPending);
    }

    void unwritableJobPathFallsBackToTheTemporaryJob() {
        const QString source = CopyExample("square-and-star.plt", "logo.plt");
        const std::string reference = Work("reference.PT1").toStdString();
        QCOMPARE(test::RunVelkar({"import", source.toStdString(), "--flavour", "1", "-o", reference}).code, 0);
        const QString fallback = QString::fromStdString(PrivateTempFile(FallbackJobName));
        // A directory where the job would go cannot be written, even by root.
        QVERIFY(QDir(m_work->path()).mkdir(QStringLiteral("logo.PT1")));
        QCOMPARE(ImportAndPaint(source, 1), QStringList());
        QCOMPARE(m_session->m_strJobPath, fallback);
        QVERIFY(test::ReadBytes(fallback.toStdString()) == test::ReadBytes(reference));
        QCOMPARE(m_frame->StatusText(), QStringLiteral("Ready - job written to ") + fallback +
                                            QStringLiteral(", not beside the plotter file"));

        // A job whose name leaves no room for a scratch file beside it is not written
        // in place: the import goes to the temporary job and the file keeps its content.
        const QString longSource = Work(QString(247, QLatin1Char('n')) + QStringLiteral(".plt"));
        const std::string longJob = Work(QString(247, QLatin1Char('n')) + QStringLiteral(".PT1")).toStdString();
        QVERIFY(QFile::copy(source, longSource));
        test::WriteText(longJob, "previous job");
        QVERIFY(QFile::remove(fallback));
        QCOMPARE(ImportAndPaint(longSource, 1), QStringList());
        QCOMPARE(m_session->m_strJobPath, fallback);
        QCOMPARE(test::ReadBytes(longJob), std::string("previous job"));
        QVERIFY(test::ReadBytes(fallback.toStdString()) == test::ReadBytes(reference));

        // With the fallback unusable as well, nothing is left to write to.
        QVERIFY(QFile::remove(fallback) && QDir().mkdir(fallback));
        m_script->Import(source, 1);
        m_session->OnImport();
        QCOMPARE(Told(), QStringList{QStringLiteral("can't made temp file in diver c:")});
        QVERIFY(!m_session->m_bConvertPending);

        // A plotter file named like a job is never overwritten by its own job.
        QVERIFY(QDir().rmdir(fallback));
        const QString sameName = CopyExample("square-and-star.plt", "drawing.PT1");
        QCOMPARE(ImportAndPaint(sameName, 1), QStringList());
        QCOMPARE(m_session->m_strJobPath, fallback);
        QVERIFY(test::ReadBytes(sameName.toStdString()) == test::ReadBytes(source.toStdString()));
    }

    void failedConversionIsToldAndKeepsThePreviousJob() {
        const QString source = CopyExample("square-and-star.plt", "logo.plt"), job = Work("logo.PT1");
        WriteZigzagJob(job, 5);
        const std::string before = test::ReadBytes(job.toStdString());
        m_script->Import(source, 1);
        m_session->OnImport();
        QVERIFY(m_session->m_bConvertPending);
        // The plotter file goes away before the paint converts it.
        QVERIFY(QFile::remove(source));
        PaintAndConvert();
        QCOMPARE(Told(),
                 QStringList{QStringLiteral("cannot read ") + source + QStringLiteral(": No such file or directory")});
        QCOMPARE(m_frame->StatusText(), QStringLiteral("Ready"));
        QVERIFY(test::ReadBytes(job.toStdString()) == before);
        QVERIFY(DrawnAsRendered());  // the job as it stands
    }

    void twoPaintsAfterOneImportConvertOnce() {
        const QString source = CopyExample("square-and-star.plt", "logo.plt");
        QCOMPARE(ImportAndPaint(source, 1), QStringList());
        const QString job = m_session->m_strJobPath;
        // A second conversion would replace this job with the converted one again.
        WriteZigzagJob(job, 2);
        const std::string marked = test::ReadBytes(job.toStdString());
        PaintAndConvert();
        PaintAndConvert();
        QVERIFY(test::ReadBytes(job.toStdString()) == marked);
        QCOMPARE(m_session->m_nJobRecords, 3 + 1 + 1 + 2 + 1);

        // A print while a conversion is pending converts first.
        m_script->Import(source, 1);
        m_session->OnImport();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(Work("print.pdf"));
        m_session->PrintTo(printer);
        QVERIFY(!m_session->m_bConvertPending);
        QVERIFY(test::ReadBytes(job.toStdString()) != marked);
    }

    void importConvertsAtTheNextPaintOrTellsWhy_data() {
        QTest::addColumn<QString>("name");        // an example plotter file, or a file of this content
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("flavour");
        QTest::addColumn<bool>("order");
        QTest::addColumn<int>("taken");       // the flavour the job was made with; 0: refused
        QTest::addColumn<QString>("told");    // %1: the file; empty: nothing told
        QTest::addColumn<QString>("status");  // %1: the file; empty: what was told
        // clang-format off
        QTest::newRow("H;; type, CasMate PLT") << "arrow-h.plt" << QByteArray() << 4 << false << 4 << "" << "Ready";
        // Ordered, the cut near the origin goes before the far one drawn first.
        QTest::newRow("Standard PLT ordered")
            << "far-first.plt" << QByteArray("IN;SP1;PU4000,4000;PD4400,4000;PU0,0;PD400,0;PU;") << 5 << true << 5 << ""
            << "Ready";
        // Any first characters will do for "Standard PLT"; a label is counted, not cut.
        QTest::newRow("standard, labelled")
            << "labelled.plt" << QByteArray("\n\nIN;SP1;PU0,0;PD400,0,400,400;LBHello\x03;PU;SP0;") << 5 << false << 5
            << "" << "Ready - not cut: 1 labels, 0 fills, 0 unknown instructions";
        QTest::newRow("standard, prose")
            << "prose.plt" << QByteArray("Dear operator, this is a letter.\n") << 5 << false << 0
            << "not a plotter file: %1: it starts with \"Dear operator, t\", neither HP-GL nor DM/PL" << "Ready";
        // A drawing is imported as a drawing whatever flavour is clicked; the drawing flavour refuses a plotter file.
        QTest::newRow("drawing, flavour 1")
            << "logo.svg" << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='96' height='96'>"
                                        "<path d='M0 0 L96 0' stroke='red'/></svg>")
            << 1 << false << 6 << "" << "Ready - knife 1: #ff0000, 1 paths, 0.025 m";
        QTest::newRow("plotter file, drawing flavour")
            << "plot.plt" << QByteArray("IN;PU0,0;PD400,0;") << 6 << false << 0
            << "not an SVG drawing: %1: line 1: Start tag expected." << "Ready";
        // A conversion that leaves nothing to cut is told, also in the status bar, with what Standard PLT finds.
        QTest::newRow("nothing to cut, Standard PLT finds cuts")
            << "one-line.plt" << QByteArray("IN;SP1;PU0,0;PD400,0,400,400;PU;") << 1 << false << 1
            << "%1: nothing to cut with ZORVEX PLT; Standard PLT finds 2 cuts" << "";
        QTest::newRow("nothing to cut with Standard PLT")
            << "dot.plt" << QByteArray("IN;SP1;PU100,100;") << 5 << false << 5
            << "%1: nothing to cut with Standard PLT" << "";
        // clang-format on
    }

    void importConvertsAtTheNextPaintOrTellsWhy() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, flavour);
        QFETCH(bool, order);
        QFETCH(int, taken);
        QFETCH(QString, told);
        QFETCH(QString, status);
        const QString file = content.isEmpty() ? CopyExample(qPrintable(name), qPrintable(name)) : Work(name);
        if (!content.isEmpty()) test::WriteText(file.toStdString(), content.toStdString());
        const QString kept = Work("kept.PT1"), job = Work(QFileInfo(file).completeBaseName() + QStringLiteral(".PT1"));
        WriteZigzagJob(kept, 3);
        m_session->OpenOrImportFile(kept);
        m_session->m_fMoveX = 10.0f;
        m_script->Import(file, flavour, order);
        m_session->OnImport();
        QVERIFY(m_frame->windowTitle().startsWith(file));
        QCOMPARE(m_session->m_fMoveX, 0.0f);
        QVERIFY(m_session->m_bConvertPending);
        QCOMPARE(QFileInfo(job).size(), 0);  // made sure it can be written; converted only at the paint

        PaintAndConvert();
        QCOMPARE(Told(), told.isEmpty() ? QStringList() : QStringList{told.arg(file)});
        QCOMPARE(m_frame->StatusText(), (status.isEmpty() ? told : status).arg(file));
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        QVERIFY(DrawnAsRendered());
        if (taken == 0) {
            // Refused at the paint: the job on screen stays and no job is left beside the file.
            QCOMPARE(m_session->m_strJobPath, kept);
            QVERIFY(!QFileInfo::exists(job));
            return;
        }
        QCOMPARE(m_session->m_strJobPath, job);
        QCOMPARE(m_session->m_nImportFlavour, taken);
        // The flavour clicked is offered at the next import.
        QCOMPARE(test::ProfileValue(QStringLiteral("import/flavour")), QString::number(flavour));
        // The job is exactly what the command line's import writes.
        const std::string reference = Work("reference.PT1").toStdString();
        std::vector<std::string> args{"import", file.toStdString(), "--flavour", std::to_string(taken), "-o", reference};
        if (order) args.push_back("--order");
        test::RunVelkar(args);
        const std::string converted = test::ReadBytes(job.toStdString());
        QVERIFY(converted == test::ReadBytes(reference));
        QCOMPARE(m_session->m_nJobRecords, std::int32_t(converted.size() / RecordSize));
    }

    void openChecksTheHeadersAndEnablesCut() {
        QVERIFY(!m_session->CanCut());
        const QString good = Work("good.PT1"), shortFile = Work("short.PT1"), swapped = Work("swapped.PT1");
        test::WriteRecords(good.toStdString(),
                           {Rec(RecHeaderCount, 3, 4), Rec(RecHeaderMin), Rec(RecHeaderMax, 400, 400)});
        test::WriteText(shortFile.toStdString(), test::ReadBytes(good.toStdString()).substr(0, 59));
        test::WriteRecords(swapped.toStdString(),
                           {Rec(RecHeaderMin), Rec(RecHeaderCount, 3, 4), Rec(RecHeaderMax, 400, 400)});
        m_session->m_fMoveX = 3.0f;
        m_script->PickFile(good);
        m_session->OnOpen();
        QCOMPARE(Told(), QStringList());
        QCOMPARE(m_session->m_strJobPath, good);
        QCOMPARE(m_session->m_fMoveX, 0.0f);
        QVERIFY(m_frame->windowTitle().startsWith(good));
        QVERIFY(m_session->CanCut());
        QVERIFY(DrawnAsRendered());  // the material frame alone
        QCOMPARE(CRecentDirectory::Get(), m_work->path());

        for (const QString& bad : {shortFile, swapped}) {
            m_script->PickFile(bad);
            m_session->OnOpen();
            QCOMPARE(Told(), QStringList{QStringLiteral("file type error")});
            QCOMPARE(m_session->m_strSourcePath, bad);
            QCOMPARE(m_session->m_strJobPath, good);
        }
        // Cancelling the file dialog keeps everything.
        m_script->PickFile(QString());
        m_session->OnOpen();
        QCOMPARE(Told(), QStringList());
        QCOMPARE(m_session->m_strJobPath, good);
    }

    void conversionRunsBesideTheEventLoop_data() {
        QTest::addColumn<QString>("stop");
        QTest::newRow("runs to the end") << QString();
        QTest::newRow("Cancel button") << QStringLiteral("button");
        QTest::newRow("Esc") << QStringLiteral("escape");
    }

    void conversionRunsBesideTheEventLoop() {
        QFETCH(QString, stop);
        const QString small = CopyExample("square-and-star.plt", "small.plt");
        QCOMPARE(ImportAndPaint(small, 1), QStringList());
        const QString previous = m_session->m_strJobPath, big = Work("big.plt"), target = Work("big.PT1");
        const std::string previousBytes = test::ReadBytes(previous.toStdString());
        // Long enough that the window's loop turns during the conversion even when
        // other processes hold both cores.
        constexpr int Lines = 1000000;
        std::string text = "IN;\nSP1;\nPU0,0;\n";
        for (int i = 0; i < Lines; ++i) text += "PD" + std::to_string(i % 9000) + "," + std::to_string(i % 7) + ";\n";
        test::WriteText(big.toStdString(), text);

        auto* cancel = Button(m_frame, "conversioncancel");
        auto* escape = m_frame->findChild<QShortcut*>(QStringLiteral("conversionescape"));
        // Stopped at once, the worker finds the request at its first block.
        connect(m_session, &CJobSession::conversionStarted, this, [&] {
            QVERIFY(cancel->isVisible());
            QVERIFY(escape->isEnabled() && escape->key() == QKeySequence(Qt::Key_Escape));
            if (stop == QLatin1String("button")) cancel->click();
            if (stop == QLatin1String("escape")) emit escape->activated();
        });
        // A tick before the new job is in place shows the event loop turning while the worker converts.
        bool shownWhileConverting = false;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] {
            if (!m_session->IsConverting() || QFileInfo(target).size() != 0) return;
            shownWhileConverting = cancel->isVisible() && !m_frame->Action(cmd::Import)->isEnabled() &&
                                   !m_frame->Action(cmd::FileOpen)->isEnabled() &&
                                   !m_frame->Action(cmd::Cut)->isEnabled() &&
                                   m_frame->StatusText() == QStringLiteral("open file ,please wait.....");
        });
        timer.start(0);
        QCOMPARE(ImportAndPaint(big, 1), QStringList());
        QVERIFY(!cancel->isVisible());
        if (stop.isEmpty()) {
            QVERIFY(shownWhileConverting);
            QCOMPARE(m_frame->StatusText(), QStringLiteral("Ready"));
            QCOMPARE(m_session->m_strJobPath, target);
            QVERIFY(QFileInfo(target).size() > std::int64_t{Lines} * 20);
        } else {
            QCOMPARE(m_frame->StatusText(), QStringLiteral("conversion cancelled"));
            QCOMPARE(m_session->m_strJobPath, previous);
            QCOMPARE(m_session->m_strSourcePath, small);
            QVERIFY(test::ReadBytes(previous.toStdString()) == previousBytes);
            QCOMPARE(QFileInfo(target).size(), 0);
            QVERIFY(m_frame->windowTitle().startsWith(small));
        }
        QVERIFY(m_frame->Action(cmd::Import)->isEnabled());
        QVERIFY(DrawnAsRendered());
    }

    void cutSendsTheStreamIntoThePseudoTerminal_data() {
        QTest::addColumn<QString>("dialect");  // of COM1
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("Velkar") << QString() << QByteArray(";:H A L0 ECN ");
        QTest::newRow("HP-GL") << QStringLiteral("HP-GL") << QByteArray("IN;SP");
    }

    void cutSendsTheStreamIntoThePseudoTerminal() {
        QFETCH(QString, dialect);
        QFETCH(QByteArray, start);
        test::PtyCutter cutter;
        QVERIFY(cutter.IsOpen());
        SetDevice(cutter.DevicePath());
        if (!dialect.isEmpty()) OpenProfile()->setValue(QStringLiteral("comm/dialect1"), dialect);
        QCOMPARE(ImportAndPaint(CopyExample("three-knives.plt", "knives.plt"), 3), QStringList());
        m_session->m_fSharpOffset = 0.5f;
        m_session->m_fCloseOffset = 1.0f;
        m_session->m_bDefineColor = true;

        bool drewDuringSend = false, sendingSeen = false;
        connect(m_view, &CVelkarView::painted, this, [&] { sendingSeen = sendingSeen || m_session->m_bSending; });
        CutWatching([&](CProgressWnd*) {
            drewDuringSend = drewDuringSend || Shown() != Canvas();  // while sending, a paint draws nothing at all
            return true;
        });
        QCOMPARE(m_script->messages.value(0).caption, QStringLiteral("Sent to cutter"));
        // "ready sent" names the port, its device and its language.
        QCOMPARE(m_script->messages.value(0).detail.section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("COM1: ") + cutter.DevicePath() + QStringLiteral(", ") +
                     (dialect.isEmpty() ? QStringLiteral("Velkar") : dialect));
        QCOMPARE(Told(), QStringList{QStringLiteral("ready sent")});
        const QByteArray expected = StreamOf(
            m_session->m_strJobPath,
            {"--sharp", "0.5", "--close", "1", "--define-color", "--dialect", dialect.isEmpty() ? "velkar" : "hpgl"});
        QVERIFY(expected.startsWith(start));
        QCOMPARE(cutter.Take(), expected);
        QVERIFY(sendingSeen);
        QVERIFY(!drewDuringSend);
        QVERIFY(!m_session->m_bSending);
        QVERIFY(CCutJob::Running() == nullptr);

        // Cancel at "ready sent" sends nothing.
        m_script->Answer(QMessageBox::Cancel);
        m_session->OnCut();
        QCoreApplication::processEvents();
        QCOMPARE(Told(), QStringList{QStringLiteral("ready sent")});
        QCOMPARE(cutter.Received(), QByteArray());

        // Pen Tip asks for each knife before its word goes out.
        m_script->Answer(QMessageBox::Ok);
        m_session->m_bPenTip = true;
        m_session->OnCut();
        QCoreApplication::processEvents();
        const QStringList texts = Told();
        QVERIFY(texts.size() >= 2);
        QCOMPARE(texts.first(), QStringLiteral("ready sent"));
        for (qsizetype i = 1; i < texts.size(); ++i)
            QVERIFY2(texts[i].startsWith(QStringLiteral("select ")), qPrintable(texts[i]));
        QCOMPARE(cutter.Received(), expected);
    }

    void sendInterruptedMidway_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("told");  // after "ready sent"; %1: the cutter's device
        QTest::addColumn<bool>("whole");        // the cutter got the whole job
        const QString cancelled = QStringLiteral(" cancle send \nstopped in path 1 of 1");
        const QString closing = QStringLiteral("A job is being sent to the cutter.\nCancel the send and close?");
        // The job is one long path: a restart begins with it.
        QTest::newRow("Cancel button") << "cancel" << QStringList{cancelled} << false;
        QTest::newRow("Esc") << "escape" << QStringList{cancelled} << false;
        QTest::newRow("cutter end closes")
            << "hang up"
            << QStringList{QStringLiteral("send stopped: %1: Input/output error; stopped in path 1 of 1\nthe cutter may "
                                          "hold an unfinished command: reset the cutter before the next job")}
            << false;
        // Closing waits for the send to unwind; declined, the send runs to its end.
        QTest::newRow("close, declined") << "close, no" << QStringList{closing} << true;
        QTest::newRow("close, agreed") << "close, yes" << QStringList{closing, cancelled} << false;
        // Esc for a menu or a dialog of the operator's leaves the send running.
        QTest::newRow("Esc for a menu and a dialog") << "menu" << QStringList() << true;
    }

    void sendInterruptedMidway() {
        QFETCH(QString, action);
        QFETCH(QStringList, told);
        QFETCH(bool, whole);
        test::PtyCutter cutter;
        QVERIFY(cutter.IsOpen());
        const QByteArray full = StreamOf(OpenLongJob(cutter));
        QString title;
        bool acted = false, closedWhileSending = false, escapesClosed = false;
        CutWatching([&](CProgressWnd* progress) {
            closedWhileSending = closedWhileSending || !m_frame->isVisible();
            if (cutter.Received().size() < 2000 || std::exchange(acted, true)) return true;
            title = progress->windowTitle();
            if (action == QLatin1String("cancel")) Button(progress, "cancel")->click();
            if (action == QLatin1String("escape")) QTest::keyClick(m_frame, Qt::Key_Escape);
            if (action == QLatin1String("hang up")) cutter.CloseCutterEnd();
            if (action.startsWith(QLatin1String("close"))) {
                m_script->Answer(action.endsWith(QLatin1String("yes")) ? QMessageBox::Yes : QMessageBox::No);
                m_frame->close();
                m_script->Answer(QMessageBox::Ok);
            }
            if (action == QLatin1String("menu")) {
                QMenu* menu = m_frame->menuBar()->actions().constFirst()->menu();
                menu->popup(QPoint(10, 10));
                QTest::keyClick(menu, Qt::Key_Escape);
                QDialog dialog(m_frame);
                dialog.show();
                QTest::keyClick(&dialog, Qt::Key_Escape);
                escapesClosed = !menu->isVisible() && dialog.result() == QDialog::Rejected && !dialog.isVisible();
            }
            return true;
        });
        QCOMPARE(title.left(9), QStringLiteral("send... ["));
        QVERIFY(!closedWhileSending);
        QCOMPARE(m_frame->isVisible(), action != QLatin1String("close, yes"));
        QCOMPARE(Told(), QStringList{QStringLiteral("ready sent")} + told.replaceInStrings(
                                                                        QStringLiteral("%1"), cutter.DevicePath()));
        const QByteArray got = cutter.Received();
        QVERIFY(whole ? got == full : got.size() >= 2000 && got.size() < full.size() && full.startsWith(got));
        if (action != QLatin1String("hang up")) QVERIFY(got.endsWith(' '));  // the last command went out whole
        QVERIFY(!m_session->m_bSending);
        QVERIFY(DrawnAsRendered());  // drawn again once the send ended
        if (action == QLatin1String("menu")) {
            QVERIFY(escapesClosed);
            const QString status = m_frame->StatusText();
            QVERIFY2(QRegularExpression(QStringLiteral("^sent 20003 records in 0:\\d\\d$")).match(status).hasMatch(),
                     qPrintable(status));
            QCOMPARE(CCutJob::Duration(59499), QStringLiteral("0:59"));
            QCOMPARE(CCutJob::Duration(59500), QStringLiteral("1:00"));
            QCOMPARE(CCutJob::Duration(3723000), QStringLiteral("62:03"));
        }
    }

    void stalledSendIsFinishedOrAbandoned_data() {
        // The cutter stops taking data before the Cancel and only takes again well
        // after it: the command it was given in part is finished; or the operator
        // abandons that command instead, by the button or by closing the program.
        QTest::addColumn<int>("way");
        QTest::newRow("finished") << 0;
        QTest::newRow("abandoned") << 1;
        QTest::newRow("closed") << 2;
    }

    void stalledSendIsFinishedOrAbandoned() {
        QFETCH(int, way);
        test::PtyCutter cutter;
        QVERIFY(cutter.IsOpen());
        const QByteArray full = StreamOf(OpenLongJob(cutter));
        bool finishing = false;
        int ticks = 0, lastPosition = -1;
        CutWatching([&](CProgressWnd* progress) {
            QPushButton* cancel = Button(progress, "cancel");
            if (cutter.Received().size() < 2000) return true;
            // The send pumps once per record, and once per slice of a wait: a bar
            // that stays put for some ticks means a still line.
            cutter.SetTaking(false);
            ticks = progress->LastPosition() == std::exchange(lastPosition, progress->LastPosition()) ? ticks + 1 : 1;
            if (ticks == 5) cancel->click();
            if (ticks < 15) return true;
            finishing = progress->IsFinishing();
            if (way == 0 || !finishing) {
                cutter.SetTaking(true);
            } else if (way == 2) {
                m_script->Answer(QMessageBox::Yes);
                m_frame->close();
                m_script->Answer(QMessageBox::Ok);
            } else {
                cancel->click();
            }
            return false;
        });
        cutter.SetTaking(true);
        const QByteArray got = cutter.Received();
        QVERIFY(got.size() >= 2000 && got.size() < full.size() && full.startsWith(got));
        QVERIFY(!m_session->m_bSending);
        if (way != 0 && finishing) {
            // Only a command begun when the line stalled can be abandoned.
            QStringList told{QStringLiteral("ready sent"), QString::fromLatin1(CCutterSend::AbandonedText) +
                                                               QStringLiteral("\nstopped in path 1 of 1")};
            if (way == 2)
                told.insert(
                    1, QStringLiteral("The cutter is still taking the command in progress.\nAbandon it and close?"));
            QCOMPARE(Told(), told);
            QCOMPARE(m_frame->isVisible(), way != 2);
        } else {
            QCOMPARE(Told(), (QStringList{QStringLiteral("ready sent"),
                                          QStringLiteral(" cancle send \nstopped in path 1 of 1")}));
            QVERIFY(got.endsWith(' '));
        }
    }

    void cutToldWhenThePortCannotOpen() {
        const QString missing = Work("no-such-tty"), job = Work("job.PT1");
        SetDevice(missing);
        WriteZigzagJob(job, 3);
        m_session->OpenOrImportFile(job);
        m_session->OnCut();
        QCOMPARE(m_script->messages.value(0).caption, QStringLiteral("Velkar"));
        QCOMPARE(Told(), QStringList{QStringLiteral("serial can't open\n") + missing +
                                     QStringLiteral(": No such file or directory")});
        QVERIFY(!m_session->m_bSending);

        // A job cut short is refused before the port is looked at.
        const std::string bytes = test::ReadBytes(job.toStdString());
        const auto records = qsizetype(bytes.size() / RecordSize);
        test::WriteText(job.toStdString(), bytes.substr(0, bytes.size() - RecordSize));
        m_session->OnCut();
        QCOMPARE(Told(), QStringList{QStringLiteral("file type error\nthe header counts %1 records, the file holds %2")
                                         .arg(records)
                                         .arg(records - 1)});
    }

    void cutShowsTheEstimatePausesAndStartsAtAPath() {
        test::PtyCutter cutter;
        QVERIFY(cutter.IsOpen());
        const QByteArray full = StreamOf(OpenLongJob(cutter, 3000, 2));  // three paths

        // Paused at the first chance, perhaps before the first byte: the send holds until Resume.
        qsizetype atPause = -1, beforeResume = -1;
        QString paused;
        CutWatching(
            [&](CProgressWnd* progress) {
                QPushButton* button = Button(progress, "pause");
                button->click();
                if (atPause >= 0) return (beforeResume = cutter.Received().size()) < 0;
                paused = button->text();
                atPause = cutter.Received().size();
                return true;
            },
            20);
        QCOMPARE(paused, QStringLiteral("Resume"));
        // Bytes already on the line may still arrive during the pause; the rest waits for Resume.
        QVERIFY(atPause >= 0 && beforeResume >= atPause);
        QVERIFY(beforeResume < full.size());
        QCOMPARE(cutter.Take(), full);
        const QString estimate = m_script->messages.value(0).detail.section(QLatin1Char('\n'), 1);
        QVERIFY2(estimate.startsWith(QStringLiteral("about 0:")) && estimate.endsWith(QStringLiteral(" m of cut")),
                 qPrintable(estimate));
        QCOMPARE(Told().value(0), QStringLiteral("ready sent"));

        // From path 3: the start sequence, then what a full send sends from there.
        m_script->startPath = 3;
        m_session->OnCut();
        QCoreApplication::processEvents();
        const QByteArray part = cutter.Received();
        QVERIFY(part.startsWith(";:H A L0 ECN U2000,0 "));
        QVERIFY(full.endsWith(part.mid(13)));
    }

    void importOffersTheFlavourThatReadsTheFile_data() {
        QTest::addColumn<QByteArray>("content");  // empty: no file handed over
        QTest::addColumn<int>("usedLast");        // 0: nothing stored
        QTest::addColumn<int>("offered");
        QTest::newRow("first use") << QByteArray() << 0 << 1;
        QTest::newRow("the flavour used last") << QByteArray() << 4 << 4;
        QTest::newRow("HP-GL a line each") << QByteArray("IN;\nSP1;\nPU0,0;\nPD400,0;\nPD400,400;\nPU;\n") << 4 << 1;
        QTest::newRow("HP-GL on one line") << QByteArray("IN;SP1;PU0,0;PD400,0,400,400;PU;") << 1 << 5;
        QTest::newRow("DM/PL style") << QByteArray(" ;:AHOL\nUP1U100,200D300,400@\n") << 1 << 3;
        QTest::newRow("H;; type") << QByteArray("H;;M100,200Z300,400,5H;") << 1 << 4;
        QTest::newRow("HP-GL without converter") << QByteArray("IN;PR;PD400,0,0,400;") << 1 << 5;
    }

    void importOffersTheFlavourThatReadsTheFile() {
        QFETCH(QByteArray, content);
        QFETCH(int, usedLast);
        QFETCH(int, offered);
        if (usedLast != 0) OpenProfile()->setValue(QStringLiteral("import/flavour"), usedLast);
        m_script->CancelImport();
        if (content.isEmpty()) {
            m_session->OnImport();
        } else {
            test::WriteText(Work("drawing.plt").toStdString(), content.toStdString());
            m_session->OpenOrImportFile(Work("drawing.plt"));
        }
        QCOMPARE(m_script->offeredFlavour, offered);
        // A plotter file handed over on the command line or dropped fills in the file name.
        QCOMPARE(m_script->prefilledFileName, content.isEmpty() ? QString() : Work("drawing.plt"));
    }

    void dialogsFocusTheirFirstFieldKeepTypingToNumbersAndKeepTheirSize_data() {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("field");  // typed into after emptying it; empty: the first field, over its selection
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("sharp, sign and letter") << "cutter" << "edit1020" << "" << "-2.5x" << "2.5";
        QTest::newRow("sharp, comma") << "cutter" << "edit1020" << "" << "1,5" << "1";
        QTest::newRow("material width") << "material" << "edit1000" << "" << "-1000001" << "1000001";
        QTest::newRow("move, unfinished") << "move" << "edit1020" << "" << "-12.5e" << "-12.5e";
        const QString path = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        QTest::newRow("serial, a long device") << "serial" << "radio1000" << "device" << path << path;
        QTest::newRow("import") << "import" << "fileName" << "" << "" << "";
    }

    void dialogsFocusTheirFirstFieldKeepTypingToNumbersAndKeepTheirSize() {
        QFETCH(QString, dialog);
        QFETCH(QString, focus);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        std::unique_ptr<QDialog> dlg;
        if (dialog == QLatin1String("cutter")) dlg = std::make_unique<CCutterParamDlg>();
        if (dialog == QLatin1String("material")) dlg = std::make_unique<CMaterialDlg>();
        if (dialog == QLatin1String("move")) dlg = std::make_unique<CMoveDlg>();
        if (dialog == QLatin1String("serial")) dlg = std::make_unique<CSerialDlg>();
        if (dialog == QLatin1String("import")) dlg = std::make_unique<CImportDlg>();
        QString focused, text, tip;
        QSize before, after;
        test::OnNextModal([&](QWidget* w) {
            before = w->size();
            focused = w->focusWidget() ? w->focusWidget()->objectName() : QString();
            auto* edit = qobject_cast<QLineEdit*>(w->focusWidget());
            if (!field.isEmpty()) {
                edit = w->findChild<QComboBox*>(field)->lineEdit();
                edit->clear();
            }
            QTest::keyClicks(edit, typed);
            QCoreApplication::processEvents();
            text = edit ? edit->text() : QString();
            after = w->size();
            if (auto* port = w->findChild<QLabel*>(QStringLiteral("device1"))) tip = port->toolTip();
            static_cast<QDialog*>(w)->reject();
        });
        dlg->exec();
        QCOMPARE(focused, focus);
        QCOMPARE(text, shown);
        QCOMPARE(after, before);
        QCOMPARE(tip, dialog == QLatin1String("serial") ? shown : QString());  // the port shows its whole device
    }

    void importDialogShowsItsTextsWholeAndScanOffersDrawingsForADrawingFlavour() {
        CImportDlg dlg;
        dlg.show();
        auto* label = dlg.findChild<QLabel*>();
        auto* scan = Button(&dlg, "scan");
        QCOMPARE(label->text(), QStringLiteral("FileName:"));
        QVERIFY(label->width() >= label->sizeHint().width());
        QVERIFY(scan->width() >= scan->sizeHint().width());
        QVERIFY(dlg.findChild<QLineEdit*>(QStringLiteral("fileName"))->x() > label->geometry().right());
        dlg.findChild<QRadioButton*>(QStringLiteral("flavour6"))->click();
        dlg.OnScan();
        const QString drawings =
            QStringLiteral("Drawings (*.svg *.SVG *.svgz *.eps *.EPS *.ps *.PS *.pdf *.PDF *.ai *.AI)");
        QCOMPARE(m_script->fileFilters,
                 (QStringList{drawings, QStringLiteral("Plotter files (*.plt *.PLT *.hpgl *.hpg *.hp *.dmpl)"),
                              drawings, QStringLiteral("All files (*)")}));
    }

    void openStartsInTheFolderOfTheLastJob_data() {
        QTest::addColumn<QString>("job");    // the job on screen: "" none, "jobs" or the fallback
        QTest::addColumn<bool>("recent");    // a file of an earlier run in "earlier"
        QTest::addColumn<QString>("start");  // "jobs", "earlier" or "" for the home folder
        QTest::newRow("job on screen") << "jobs" << true << "jobs";
        QTest::newRow("file of an earlier run") << "" << true << "earlier";
        QTest::newRow("fallback job") << "fallback" << true << "earlier";
        QTest::newRow("nothing yet") << "" << false << "";
    }

    void openStartsInTheFolderOfTheLastJob() {
        QFETCH(QString, job);
        QFETCH(bool, recent);
        QFETCH(QString, start);
        QDir work(m_work->path());
        QVERIFY(work.mkpath(QStringLiteral("jobs")) && work.mkpath(QStringLiteral("earlier")));
        if (recent) OpenProfile()->setValue(QStringLiteral("Recent File List/File1"), Work("earlier/a.plt"));
        m_session->m_strJobPath = job == QLatin1String("fallback")
                                      ? QString::fromStdString(PrivateTempFile(FallbackJobName))
                                  : job.isEmpty() ? QString()
                                                  : Work(job + QStringLiteral("/a.PT1"));
        m_session->OnOpen();
        QCOMPARE(m_script->fileDialogFolder, start.isEmpty() ? QDir::homePath() : Work(start));
    }

    void jobLargerThanTheMaterialIsToldAndScrolledTo_data() {
        QTest::addColumn<QPoint>("from");  // a cut, job units
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<int>("knife");
        QTest::addColumn<QString>("pane");
        QTest::addColumn<QString>("warning");
        QTest::newRow("fits") << QPoint(400, 400) << QPoint(4000, 4000) << 1
                              << QStringLiteral("job 90.0 x 90.0 mm, knife 1") << QString();
        QTest::newRow("wider")
            << QPoint(0, 0) << QPoint(12000, 400) << 3
            << QStringLiteral("job 300.0 x 10.0 mm, knife 3 - larger than the material (200 x 200 mm)")
            << QStringLiteral("the job (300.0 x 10.0 mm) is larger than the material (200 x 200 mm)");
        QTest::newRow("far off") << QPoint(400000, 400000) << QPoint(404000, 404000) << 2
                                 << QStringLiteral("job 100.0 x 100.0 mm, knife 2") << QString();
        QTest::newRow("left of the frame") << QPoint(-20000, -8000) << QPoint(-16000, -4000) << 1
                                           << QStringLiteral("job 100.0 x 100.0 mm, knife 1") << QString();
    }

    void jobLargerThanTheMaterialIsToldAndScrolledTo() {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(int, knife);
        QFETCH(QString, pane);
        QFETCH(QString, warning);
        const QString job = Work("job.PT1");
        test::WriteJob(job.toStdString(),
                       {Rec(RecKnife, knife), Rec(RecMove, from.x(), from.y()), Rec(RecLine, to.x(), to.y()),
                        Rec(RecPathEnd)},
                       4, to.y());
        m_view->ScrollTo(QPoint(50, 50));
        m_session->OpenOrImportFile(job);
        QTRY_COMPARE(Pane("jobpane"), pane);
        QCOMPARE(m_session->Navigator()->SizeWarning(), warning);
        // The job lies within the scroll area, and its start is in sight.
        const QPoint start(300 + std::min(from.x(), to.x()) / 40, 100 + std::min(from.y(), to.y()) / 40);
        const QPoint end(300 + std::max(from.x(), to.x()) / 40, 100 + std::max(from.y(), to.y()) / 40);
        QVERIFY(m_view->ScrollArea().contains(QRect(start, end)));
        QTRY_VERIFY(QRect(m_view->ScrollPosition(), m_view->viewport()->size()).contains(start));
    }

    void fitAndTheWheelZoomAboutThePointer() {
        // 300 mm by 50 mm beside a material of 200 by 200 mm; a job is known by its content, without its extension.
        const QString job = Work("wide");
        test::WriteJob(job.toStdString(), {Rec(RecMove, 0, 0), Rec(RecLine, 12000, 2000), Rec(RecPathEnd)}, 4, 2000);
        m_session->OpenOrImportFile(job);
        QTRY_VERIFY(!Pane("jobpane").isEmpty());
        QTest::keyClick(m_frame, Qt::Key_0, Qt::ControlModifier);
        QVERIFY(QTest::qWaitFor([&] { return m_view->ScrollPosition() != QPoint(0, 0); }));
        // The job and the material (300 by 200 mm) fill the window: they fit, and one step larger would not.
        const int z = CJobRenderer::ScaleDivisor(m_session->m_dScale);
        const QSize page = m_view->viewport()->size() - QSize(20, 20);
        const QRect visible(m_view->ScrollPosition(), m_view->viewport()->size());
        QVERIFY(visible.contains(QRect(300, 100, 12000 / z, 8000 / z)));
        QVERIFY(12000 / (z - 1) > page.width() || 8000 / (z - 1) > page.height());

        // Ctrl + wheel away from the operator doubles the picture about the pointer.
        const QPoint at(120, 80);
        QWidget* viewport = m_view->viewport();
        QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QCOMPARE(Pane("pointerpane"), QStringLiteral("x %1 mm, y %2 mm")
                                          .arg((visible.left() + at.x() - 300) * z / 40.0, 0, 'f', 1)
                                          .arg((visible.top() + at.y() - 100) * z / 40.0, 0, 'f', 1));
        QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::ControlModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
        const int zoomed = CJobRenderer::ScaleDivisor(m_session->m_dScale);
        QCOMPARE(zoomed, z / 2);
        // The job point under the pointer stays there, to a pixel.
        const QPoint units = (visible.topLeft() + at - QPoint(300, 100)) * z;
        const QPoint unitsAfter = (m_view->ScrollPosition() + at - QPoint(300, 100)) * zoomed;
        QVERIFY(std::abs(units.x() - unitsAfter.x()) <= zoomed && std::abs(units.y() - unitsAfter.y()) <= zoomed);
    }
};

QTEST_MAIN(JobCommandsTest)
#include "app_jobcommands_test.moc"
