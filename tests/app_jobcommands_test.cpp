// The job commands end to end through the real windows: Import with its
// dialog and the conversion at the next paint, Open, and Cut into a
// pseudo-terminal standing in for the cutter. Modal dialogs are answered by
// a script that watches for them from the event loop they run.
#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <memory>

#include <sys/stat.h>

#include "app/cutjob.h"
#include "app/jobsession.h"
#include "app/dialogs/importdlg.h"
#include "app/mainframe.h"
#include "app/progresswnd.h"
#include "cutter/cuttersend.h"
#include "app/dialogs/recentdirectory.h"
#include "app/velkarapp.h"
#include "import/hconverter.h"
#include "import/hpglconverter.h"
#include "import/standardplotreader.h"
#include "job/jobrecord.h"
#include "job/tempdir.h"
#include "ptycutter.h"
#include "serial/profile.h"
#include "split/multiknifejob.h"
#include "testsupport.h"
#include "app/commandids.h"
#include "render/jobrenderer.h"
#include "view/velkarview.h"

using namespace velkar;

namespace {

QString Example(const char* name) { return QStringLiteral(VELKAR_SOURCE_DIR "/examples/") + QLatin1String(name); }

// Answers the modal dialogs of the program as they appear: message boxes are
// recorded and answered (OK or Yes unless told otherwise), the import dialog
// gets a file name and a flavour, file dialogs get a file or are cancelled.
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
        m_importCancel = false;
    }
    void CancelImport() { m_importCancel = true; }
    void PickFile(const QString& file) { m_pickFile = file; }
    // The answer to the next message boxes: a standard button, and whether to keep answering so.
    void Answer(QMessageBox::StandardButton button) { m_answer = button; }

    QList<Message> messages;
    int startPath = 0;  // set in "Start at path" of "ready sent" when not 0
    QString prefilledFileName;  // what the import dialog showed when it opened

private:
    // Stack dialogs come and go at the same addresses: forget each when it goes.
    void Handle(QObject* w) {
        m_handled.insert(w);
        connect(w, &QObject::destroyed, this, [this, w] { m_handled.remove(w); });
    }

    void Look() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible()) continue;
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                if (m_handled.contains(box)) continue;
                Handle(box);
                messages.append({box->windowTitle(), box->text(), box->informativeText()});
                if (auto* start = box->findChild<QSpinBox*>(QStringLiteral("startPath")); start && startPath > 0)
                    start->setValue(startPath);
                QAbstractButton* b = box->button(m_answer);
                if (!b) b = box->button(QMessageBox::Ok);
                b->click();
                return;
            }
            if (auto* dlg = qobject_cast<CImportDlg*>(w)) {
                if (m_handled.contains(dlg) || QApplication::activeModalWidget() != dlg) continue;
                Handle(dlg);
                auto* edit = dlg->findChild<QLineEdit*>(QStringLiteral("fileName"));
                prefilledFileName = edit->text();
                if (m_importCancel) {
                    dlg->reject();
                    return;
                }
                if (!m_importFile.isNull()) edit->setText(m_importFile);
                dlg->findChild<QRadioButton*>(QStringLiteral("flavour%1").arg(m_importFlavour))->click();
                if (m_importOrder) dlg->findChild<QAbstractButton*>(QStringLiteral("orderPaths"))->click();
                dlg->findChild<QPushButton*>(QStringLiteral("ok"))->click();
                return;
            }
            if (auto* fd = qobject_cast<QFileDialog*>(w)) {
                if (m_handled.contains(fd)) continue;
                Handle(fd);
                if (m_pickFile.isEmpty()) {
                    fd->reject();
                } else {
                    fd->selectFile(m_pickFile);
                    static_cast<QDialog*>(fd)->accept();
                }
                return;
            }
        }
    }

    QTimer m_timer;
    QSet<QObject*> m_handled;
    QString m_importFile;
    int m_importFlavour = 1;
    bool m_importOrder = false;
    bool m_importCancel = false;
    QString m_pickFile;
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;
};

QStringList Texts(const QList<DialogScript::Message>& messages) {
    QStringList t;
    for (const auto& m : messages) t << m.text;
    return t;
}

// What the view shows, and what the renderer draws for the same state on a clean canvas.
QImage Shown(CVelkarView& view) { return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
QImage Expected(CVelkarView& view, const CJobSession& session) {
    QImage image(view.viewport()->size(), QImage::Format_RGB32);
    image.fill(view.viewport()->palette().color(QPalette::Base));
    QPainter painter(&image);
    CJobRenderer::Draw(painter, session.CurrentRenderSettings());
    return image;
}

// A job of n records: headers, job start, a zigzag of moves and lines, one path end.
void WriteZigzagJob(const std::string& path, int lines) {
    std::vector<JobRecord> r;
    const int n = 3 + 1 + 1 + lines + 1;
    r.push_back(test::Rec(RecHeaderCount, n, OrientationAsStored));
    r.push_back(test::Rec(RecHeaderMin, 0, 0));
    r.push_back(test::Rec(RecHeaderMax, 4000, 4000));
    r.push_back(test::Rec(RecJobStart));
    r.push_back(test::Rec(RecMove, 0, 0));
    for (int i = 1; i <= lines; ++i) r.push_back(test::Rec(RecLine, (i * 37) % 4000, (i % 2) * 400));
    r.push_back(test::Rec(RecPathEnd));
    test::WriteRecords(path, r);
}

QByteArray StreamOf(const QString& job, const QStringList& options = {}) {
    QProcess p;
    p.start(QStringLiteral(VELKAR_BINARY_DIR "/src/velkar"), QStringList{QStringLiteral("stream"), job} + options);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return "velkar stream failed: " + p.readAllStandardError();
    return p.readAllStandardOutput();
}

}  // namespace

class JobCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void importConvertsAtTheNextPaintAndDraws_data();
    void importConvertsAtTheNextPaintAndDraws();
    void importRefusalsAreTold();
    void unusableTemporaryDirectoryRefusesImportAndOpen();
    void unwritableJobPathFallsBackToTheTemporaryJob();
    void failedConversionIsToldAndKeepsThePreviousJob();
    void twoPaintsAfterOneImportConvertOnce();
    void standardPltTellsWhatWasNotCut();
    void drawingsAreImportedAsDrawingsWhateverFlavourIsClicked();
    void openChecksTheHeadersAndEnablesCut();
    void commandLineAndDroppedFilesOpenOrImport();
    void cutSendsTheStreamIntoThePseudoTerminal();
    void cutGoesThroughASocketInThePortsDialect();
    void cutIsCancelledMidSendByButtonOrEsc();
    void cutStopsWhenTheCutterEndCloses();
    void cutToldWhenThePortCannotOpen();
    void closingDuringASendCancelsItFirst();
    void cutShowsTheEstimatePausesAndStartsAtAPath();

private:
    void SetDevice(const QString& device);
    // Imports file with flavour through the dialog and paints once.
    QStringList ImportAndPaint(const QString& file, int flavour, bool order = false);

    QTemporaryDir m_config;
    std::unique_ptr<QTemporaryDir> m_work;
    std::unique_ptr<test::TempDirOverride> m_temp;
    std::unique_ptr<CVelkarApp> m_app;
    CVelkarView* m_view = nullptr;
    CJobSession* m_session = nullptr;
    std::unique_ptr<DialogScript> m_script;
};

void JobCommandsTest::initTestCase() {
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    qputenv("VELKAR_LOCK_DIR", m_config.path().toLocal8Bit());  // not the machine's /run/lock
}

void JobCommandsTest::init() {
    QFile::remove(m_config.filePath(QStringLiteral("QV VELKAR1/Velkar.ini")));
    m_work = std::make_unique<QTemporaryDir>();
    m_temp = std::make_unique<test::TempDirOverride>();
    CRecentDirectory::Reset();
    m_app = std::make_unique<CVelkarApp>();
    QVERIFY(m_app->InitInstance({}));
    m_view = m_app->View();
    m_session = m_app->Session();
    m_script = std::make_unique<DialogScript>();
}

void JobCommandsTest::cleanup() {
    m_script.reset();
    m_app.reset();
    m_temp.reset();
    m_work.reset();
}

void JobCommandsTest::SetDevice(const QString& device) {
    auto profile = OpenProfile();
    profile->setValue(QStringLiteral("comm/port"), QStringLiteral("1"));
    profile->setValue(QStringLiteral("comm/device1"), device);
    profile->sync();
}

QStringList JobCommandsTest::ImportAndPaint(const QString& file, int flavour, bool order) {
    m_script->Import(file, flavour, order);
    m_session->OnImport();
    m_view->viewport()->repaint();
    QCoreApplication::processEvents();  // a failure is told once the paint is over
    return Texts(m_script->messages);
}

void JobCommandsTest::importConvertsAtTheNextPaintAndDraws_data() {
    QTest::addColumn<QString>("example");
    QTest::addColumn<int>("flavour");
    QTest::addColumn<bool>("order");
    QTest::addColumn<int>("type");
    const struct {
        const char* file;
        int type;
        std::vector<int> flavours;
    } cases[] = {
        {"square-and-star.plt", 1, {1, 2, 4, 5}},
        {"arrow-h.plt", 3, {4}},
        {"three-knives.plt", 0, {3, 4}},
    };
    for (const auto& c : cases)
        for (int f : c.flavours)
            QTest::addRow("%s flavour %d", c.file, f) << QString::fromLatin1(c.file) << f << false << c.type;
    QTest::addRow("square-and-star.plt standard ordered") << QStringLiteral("square-and-star.plt") << 5 << true << 1;
}

void JobCommandsTest::importConvertsAtTheNextPaintAndDraws() {
    QFETCH(QString, example);
    QFETCH(int, flavour);
    QFETCH(bool, order);
    QFETCH(int, type);
    // The plotter file is copied so that its job lands in the test's own directory.
    const QString source = m_work->filePath(example);
    QVERIFY(QFile::copy(Example(example.toLatin1().constData()), source));
    m_session->m_fMoveX = 10.0f;
    m_session->m_fMoveY = 5.0f;

    m_script->Import(source, flavour, order);
    m_session->OnImport();
    QCOMPARE(Texts(m_script->messages), QStringList());
    const QString job = m_work->filePath(QFileInfo(example).completeBaseName() + QStringLiteral(".PT1"));
    QCOMPARE(m_session->m_strSourcePath, source);
    QCOMPARE(m_session->m_strJobPath, job);
    QCOMPARE(m_session->m_nFileType, type);
    QCOMPARE(m_session->m_nImportFlavour, flavour);
    QVERIFY(m_session->m_bConvertPending);
    QCOMPARE(m_session->m_fMoveX, 0.0f);
    QCOMPARE(m_session->m_fMoveY, 0.0f);
    QVERIFY(m_app->MainFrame()->windowTitle().startsWith(source));
    QCOMPARE(QFileInfo(job).size(), 0);  // made sure it can be written; converted only at the paint

    m_view->viewport()->repaint();
    QVERIFY(!m_session->m_bConvertPending);
    QCOMPARE(m_app->MainFrame()->StatusText(), QStringLiteral("Ready"));
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);

    // The job is exactly what the converter of the type (or flavour) writes.
    const std::string reference = m_work->filePath(QStringLiteral("reference.PT1")).toStdString();
    std::int32_t count = 0;
    const std::string src = source.toStdString();
    if (flavour == 5) {
        StandardPlotStats stats;
        std::string error;
        if (order) {
            RunMultiKnifePipeline([&](const std::string& converted, std::int32_t& n) {
                return ConvertStandardPlotFile(src, converted, n, stats, error);
            }, reference, count);
        } else {
            QCOMPARE(ConvertStandardPlotFile(src, reference, count, stats, error), ConversionDone);
        }
    } else if (type == 1) {
        QCOMPARE(ConvertHpglFile(src, reference, count, flavour), ConversionDone);
    } else if (type == 3) {
        QCOMPARE(ConvertHFile(src, reference, count, flavour), ConversionDone);
    } else {
        QCOMPARE(ConvertMultiKnifeJob(src, reference, count, flavour), ConversionDone);
    }
    const std::string converted = test::ReadBytes(job.toStdString());
    QVERIFY(converted.size() > 4 * RecordSize);
    QVERIFY(converted == test::ReadBytes(reference));
    QCOMPARE(m_session->m_nRecordCount, count);

    // The picture is the job's, drawn as the renderer draws it.
    const QImage shown = Shown(*m_view);
    QVERIFY(shown == Expected(*m_view, *m_session));
    QVERIFY(shown != [&] {
        QImage blank(shown.size(), QImage::Format_RGB32);
        blank.fill(m_view->viewport()->palette().color(QPalette::Base));
        return blank;
    }());
    QCOMPARE(m_session->m_nJobRecords, count);
}

void JobCommandsTest::importRefusalsAreTold() {
    const QString h = m_work->filePath(QStringLiteral("arrow.plt"));
    QVERIFY(QFile::copy(Example("arrow-h.plt"), h));
    const QString hpgl = m_work->filePath(QStringLiteral("square.plt"));
    QVERIFY(QFile::copy(Example("square-and-star.plt"), hpgl));
    const QString late = m_work->filePath(QStringLiteral("late.plt"));
    test::WriteText(late.toStdString(), std::string(39, ';') + "IN;PU0,0;PD100,0;");

    // A job to keep: every refusal leaves it as the current one.
    const QString kept = m_work->filePath(QStringLiteral("kept.PT1"));
    WriteZigzagJob(kept.toStdString(), 3);
    m_session->m_strJobPath = kept;

    struct Case {
        QString file;
        int flavour;
        QString message;
        int type;
    } cases[] = {
        {QString(), 1, QStringLiteral("you don't select file"), -1},
        {m_work->filePath(QStringLiteral("missing.plt")), 1,
         QStringLiteral("cannot open ") + m_work->filePath(QStringLiteral("missing.plt")) +
             QStringLiteral(": No such file or directory"), -1},
        {h, 1, QStringLiteral("file type error"), 3},
        {h, 2, QStringLiteral("file type error"), 3},
        {h, 3, QStringLiteral("file type isn't CAD"), 3},
        {hpgl, 3, QStringLiteral("file type isn't CAD"), 1},
        {late, 1, QStringLiteral("file type error"), -1},
        {late, 3, QStringLiteral("file type isn't CAD"), -1},
    };
    for (const Case& c : cases) {
        m_script->messages.clear();
        m_session->m_nFileType = -7;
        m_session->m_strJobPath = kept;
        m_script->Import(c.file, c.flavour);
        m_session->OnImport();
        QCOMPARE(Texts(m_script->messages), QStringList{c.message});
        QCOMPARE(m_script->messages.first().caption, QStringLiteral("Velkar"));
        QVERIFY(!m_session->m_bConvertPending);
        QCOMPARE(m_session->m_nImportFlavour, c.flavour);
        if (c.type != -1 || c.file == late) QCOMPARE(m_session->m_nFileType, c.type);
        // The job on screen stays the one Cut sends, and no empty job is left beside the refused file.
        QCOMPARE(m_session->m_strJobPath, kept);
        QVERIFY(c.file.isEmpty() || !QFileInfo::exists(c.file.chopped(4) + QStringLiteral(".PT1")));
    }

    // Type 2 (IN with PR) and an unrecognised file are taken by CasMate PLT,
    // and the paint then leaves the view without a job.
    const QString pr = m_work->filePath(QStringLiteral("pr.plt"));
    test::WriteText(pr.toStdString(), "IN;PR;PU0,0;PD10,10;\n");
    for (const QString& file : {pr, late}) {
        m_script->messages.clear();
        QCOMPARE(ImportAndPaint(file, 4), QStringList());
        QVERIFY(m_session->m_strJobPath.isEmpty());
        QCOMPARE(m_app->MainFrame()->StatusText(), QStringLiteral("Ready"));
        QVERIFY(!m_session->CanCut());
    }

    // Cancelling the dialog changes nothing and tells nothing.
    m_session->m_strJobPath = kept;
    m_script->messages.clear();
    m_script->CancelImport();
    m_session->OnImport();
    QCOMPARE(Texts(m_script->messages), QStringList());
    QCOMPARE(m_session->m_strJobPath, kept);
    QVERIFY(!m_session->m_bConvertPending);
}

void JobCommandsTest::unusableTemporaryDirectoryRefusesImportAndOpen() {
    const QString notDir = m_work->filePath(QStringLiteral("plain-file"));
    test::WriteText(notDir.toStdString(), "x");
    qputenv("VELKAR_TEMP", notDir.toLocal8Bit());
    m_script->Import(Example("square-and-star.plt"), 1);
    m_session->OnImport();
    m_session->OnOpen();
    QCOMPARE(Texts(m_script->messages),
             (QStringList{QStringLiteral("can't made temp dir in diver c:"), QStringLiteral("can't made temp dir in diver c:")}));
    QVERIFY(m_session->m_strSourcePath.isEmpty());
    QVERIFY(!m_session->m_bConvertPending);
}

void JobCommandsTest::unwritableJobPathFallsBackToTheTemporaryJob() {
    const QString source = m_work->filePath(QStringLiteral("logo.plt"));
    QVERIFY(QFile::copy(Example("square-and-star.plt"), source));
    // A directory where the job would go cannot be written, even by root.
    QVERIFY(QDir(m_work->path()).mkdir(QStringLiteral("logo.PT1")));
    QCOMPARE(ImportAndPaint(source, 1), QStringList());
    const QString fallback = QString::fromStdString(PrivateTempFile(FallbackJobName));
    QCOMPARE(m_session->m_strJobPath, fallback);
    std::int32_t count = 0;
    const std::string reference = m_work->filePath(QStringLiteral("reference.PT1")).toStdString();
    QCOMPARE(ConvertHpglFile(source.toStdString(), reference, count, 1), ConversionDone);
    QVERIFY(test::ReadBytes(fallback.toStdString()) == test::ReadBytes(reference));

    // A job whose name leaves no room for a scratch file beside it is not written
    // in place: the import goes to the temporary job and the file keeps its content.
    const QString longSource = m_work->filePath(QString(247, QLatin1Char('n')) + QStringLiteral(".plt"));
    const std::string longJob = m_work->filePath(QString(247, QLatin1Char('n')) + QStringLiteral(".PT1")).toStdString();
    QVERIFY(QFile::copy(source, longSource));
    test::WriteText(longJob, "previous job");
    QVERIFY(QFile::remove(fallback));
    QCOMPARE(ImportAndPaint(longSource, 1), QStringList());
    QCOMPARE(m_session->m_strJobPath, fallback);
    QCOMPARE(test::ReadBytes(longJob), std::string("previous job"));
    QVERIFY(test::ReadBytes(fallback.toStdString()) == test::ReadBytes(reference));

    // With the fallback unusable as well, nothing is left to write to.
    QVERIFY(QFile::remove(fallback));
    QVERIFY(QDir().mkdir(fallback));
    m_script->messages.clear();
    m_script->Import(source, 1);
    m_session->OnImport();
    QCOMPARE(Texts(m_script->messages), QStringList{QStringLiteral("can't made temp file in diver c:")});
    QCOMPARE(m_session->m_strJobPath, fallback);
    QVERIFY(!m_session->m_bConvertPending);

    // A plotter file named like a job is never overwritten by its own job.
    QVERIFY(QDir().rmdir(fallback));
    const QString sameName = m_work->filePath(QStringLiteral("drawing.PT1"));
    QVERIFY(QFile::copy(Example("square-and-star.plt"), sameName));
    m_script->messages.clear();
    QCOMPARE(ImportAndPaint(sameName, 1), QStringList());
    QCOMPARE(m_session->m_strJobPath, fallback);
    QVERIFY(test::ReadBytes(sameName.toStdString()) == test::ReadBytes(Example("square-and-star.plt").toStdString()));
}

void JobCommandsTest::failedConversionIsToldAndKeepsThePreviousJob() {
    const QString source = m_work->filePath(QStringLiteral("logo.plt"));
    QVERIFY(QFile::copy(Example("square-and-star.plt"), source));
    const QString job = m_work->filePath(QStringLiteral("logo.PT1"));
    WriteZigzagJob(job.toStdString(), 5);
    const std::string before = test::ReadBytes(job.toStdString());

    m_script->Import(source, 1);
    m_session->OnImport();
    QVERIFY(m_session->m_bConvertPending);
    // The plotter file goes away before the paint converts it.
    QVERIFY(QFile::remove(source));
    m_view->viewport()->repaint();
    QCoreApplication::processEvents();
    QCOMPARE(Texts(m_script->messages),
             QStringList{QStringLiteral("cannot read ") + source + QStringLiteral(": No such file or directory")});
    QCOMPARE(m_app->MainFrame()->StatusText(), QStringLiteral("Ready"));
    QVERIFY(test::ReadBytes(job.toStdString()) == before);
    QVERIFY(Shown(*m_view) == Expected(*m_view, *m_session));  // the job as it stands is drawn
}

void JobCommandsTest::twoPaintsAfterOneImportConvertOnce() {
    const QString source = m_work->filePath(QStringLiteral("logo.plt"));
    QVERIFY(QFile::copy(Example("square-and-star.plt"), source));
    QCOMPARE(ImportAndPaint(source, 1), QStringList());
    const QString job = m_session->m_strJobPath;
    // A second conversion would replace this job with the converted one again.
    WriteZigzagJob(job.toStdString(), 2);
    const std::string marked = test::ReadBytes(job.toStdString());
    m_view->viewport()->repaint();
    m_view->viewport()->repaint();
    QVERIFY(test::ReadBytes(job.toStdString()) == marked);
    QCOMPARE(m_session->m_nJobRecords, 3 + 1 + 1 + 2 + 1);

    // A print while a conversion is pending converts first.
    m_script->Import(source, 1);
    m_session->OnImport();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_work->filePath(QStringLiteral("print.pdf")));
    m_session->PrintTo(printer);
    QVERIFY(!m_session->m_bConvertPending);
    QVERIFY(test::ReadBytes(job.toStdString()) != marked);
}

void JobCommandsTest::standardPltTellsWhatWasNotCut() {
    // Any first characters will do for "Standard PLT"; a label is counted, not cut.
    const QString labelled = m_work->filePath(QStringLiteral("labelled.plt"));
    test::WriteText(labelled.toStdString(), "\n\nIN;SP1;PU0,0;PD400,0,400,400;LBHello\x03;PU;SP0;");
    QCOMPARE(ImportAndPaint(labelled, 5), QStringList());
    QCOMPARE(m_session->m_strJobPath, m_work->filePath(QStringLiteral("labelled.PT1")));
    QCOMPARE(m_app->MainFrame()->StatusText(),
             QStringLiteral("Ready - not cut: 1 labels, 0 fills, 0 unknown instructions"));
    QVERIFY(Shown(*m_view) == Expected(*m_view, *m_session));

    // Anything else is refused at the paint, naming the file; the job file stays as it was.
    const QString prose = m_work->filePath(QStringLiteral("prose.plt"));
    test::WriteText(prose.toStdString(), "Dear operator, this is a letter.\n");
    m_script->messages.clear();
    const QStringList told = ImportAndPaint(prose, 5);
    QCOMPARE(told.size(), 1);
    QVERIFY2(told.first().startsWith(QStringLiteral("not a plotter file: ") + prose), qPrintable(told.first()));
    QVERIFY(!QFileInfo::exists(m_work->filePath(QStringLiteral("prose.PT1"))));
    QCOMPARE(m_session->m_strJobPath, m_work->filePath(QStringLiteral("labelled.PT1")));
}

void JobCommandsTest::drawingsAreImportedAsDrawingsWhateverFlavourIsClicked() {
    const QString drawing = m_work->filePath(QStringLiteral("logo.svg"));
    test::WriteText(drawing.toStdString(), "<svg xmlns='http://www.w3.org/2000/svg' width='96' height='96'>"
                                           "<path d='M0 0 L96 0' stroke='red'/></svg>");
    QCOMPARE(ImportAndPaint(drawing, 1), QStringList());
    QCOMPARE(m_session->m_nImportFlavour, 6);
    QCOMPARE(m_session->m_strJobPath, m_work->filePath(QStringLiteral("logo.PT1")));
    QCOMPARE(m_app->MainFrame()->StatusText(), QStringLiteral("Ready - knife 1: #ff0000, 1 paths, 0.025 m"));
    QVERIFY(Shown(*m_view) == Expected(*m_view, *m_session));

    // The drawing flavour on a plotter file is refused at the paint, naming the file.
    const QString plot = m_work->filePath(QStringLiteral("plot.plt"));
    test::WriteText(plot.toStdString(), "IN;PU0,0;PD400,0;");
    m_script->messages.clear();
    QCOMPARE(ImportAndPaint(plot, 6),
             QStringList{QStringLiteral("not an SVG drawing: ") + plot + QStringLiteral(": line 1: Start tag expected.")});
}

void JobCommandsTest::openChecksTheHeadersAndEnablesCut() {
    QVERIFY(!m_session->CanCut());

    const QString good = m_work->filePath(QStringLiteral("good.PT1"));
    test::WriteRecords(good.toStdString(), {test::Rec(RecHeaderCount, 3, 4), test::Rec(RecHeaderMin, 0, 0),
                                             test::Rec(RecHeaderMax, 400, 400)});
    m_session->m_fMoveX = 3.0f;
    m_script->PickFile(good);
    m_session->OnOpen();
    QCOMPARE(Texts(m_script->messages), QStringList());
    QCOMPARE(m_session->m_strJobPath, good);
    QCOMPARE(m_session->m_fMoveX, 0.0f);
    QVERIFY(m_app->MainFrame()->windowTitle().startsWith(good));
    QVERIFY(m_session->CanCut());
    QVERIFY(Shown(*m_view) == Expected(*m_view, *m_session));  // the material frame alone
    QCOMPARE(CRecentDirectory::Get(), m_work->path());

    const QString shortFile = m_work->filePath(QStringLiteral("short.PT1"));
    std::string bytes = test::ReadBytes(good.toStdString());
    test::WriteText(shortFile.toStdString(), bytes.substr(0, 59));
    const QString swapped = m_work->filePath(QStringLiteral("swapped.PT1"));
    test::WriteRecords(swapped.toStdString(), {test::Rec(RecHeaderMin, 0, 0), test::Rec(RecHeaderCount, 3, 4),
                                                test::Rec(RecHeaderMax, 400, 400)});
    for (const QString& bad : {shortFile, swapped}) {
        m_script->messages.clear();
        m_script->PickFile(bad);
        m_session->OnOpen();
        QCOMPARE(Texts(m_script->messages), QStringList{QStringLiteral("file type error")});
        QCOMPARE(m_session->m_strSourcePath, bad);
        QCOMPARE(m_session->m_strJobPath, good);
    }

    // Cancelling the file dialog keeps everything.
    m_script->messages.clear();
    m_script->PickFile(QString());
    m_session->OnOpen();
    QCOMPARE(Texts(m_script->messages), QStringList());
    QCOMPARE(m_session->m_strJobPath, good);
}

void JobCommandsTest::commandLineAndDroppedFilesOpenOrImport() {
    const QString job = m_work->filePath(QStringLiteral("saved.PT1"));
    WriteZigzagJob(job.toStdString(), 4);
    m_session->OpenOrImportFile(job);
    QCOMPARE(m_session->m_strJobPath, job);
    QVERIFY(!m_session->m_bConvertPending);

    // A job without its extension is still a job.
    const QString renamed = m_work->filePath(QStringLiteral("saved-job"));
    QVERIFY(QFile::copy(job, renamed));
    m_session->OpenOrImportFile(renamed);
    QCOMPARE(m_session->m_strJobPath, renamed);

    // A plotter file opens the import dialog with its name filled in.
    const QString source = m_work->filePath(QStringLiteral("logo.plt"));
    QVERIFY(QFile::copy(Example("square-and-star.plt"), source));
    m_script->Import(QString(), 1);
    m_session->OpenOrImportFile(source);
    QCOMPARE(m_script->prefilledFileName, source);
    QVERIFY(m_session->m_bConvertPending);
    QCOMPARE(m_session->m_strJobPath, m_work->filePath(QStringLiteral("logo.PT1")));
}

// COM1 pointed at a network cutter that speaks HP-GL: "ready sent" names both,
// and the cutter receives what the stream gives in that language.
void JobCommandsTest::cutGoesThroughASocketInThePortsDialect() {
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    QVERIFY(::bind(server, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(server, 1) == 0 &&
            ::getsockname(server, reinterpret_cast<sockaddr*>(&a), &len) == 0);
    QByteArray received;
    std::atomic<bool> done{false};
    std::thread cutter([&] {
        const int c = ::accept(server, nullptr, nullptr);
        char buffer[4096];
        for (ssize_t n; c >= 0 && (n = ::read(c, buffer, sizeof buffer)) > 0;) received.append(buffer, n);
        if (c >= 0) ::close(c);
        done = true;
    });
    const QString uri = QStringLiteral("socket://127.0.0.1:%1").arg(ntohs(a.sin_port));
    SetDevice(uri);
    OpenProfile()->setValue(QStringLiteral("comm/dialect1"), QStringLiteral("HP-GL"));
    const QString source = m_work->filePath(QStringLiteral("knives.plt"));
    QVERIFY(QFile::copy(Example("three-knives.plt"), source));
    QCOMPARE(ImportAndPaint(source, 3), QStringList());
    m_script->messages.clear();
    m_session->m_bDefineColor = true;
    m_session->OnCut();
    for (int i = 0; i < 3000 && !done; ++i) QTest::qWait(10);
    cutter.join();
    ::close(server);
    QCOMPARE(Texts(m_script->messages), QStringList{QStringLiteral("ready sent")});
    QCOMPARE(m_script->messages.first().detail.section(QLatin1Char('\n'), 0, 0), QStringLiteral("COM1: ") + uri + QStringLiteral(", HP-GL"));
    QCOMPARE(received, StreamOf(m_session->m_strJobPath, {QStringLiteral("--define-color"), QStringLiteral("--dialect"),
                                                          QStringLiteral("hpgl")}));
    QVERIFY(received.startsWith("IN;SP"));
}

void JobCommandsTest::cutSendsTheStreamIntoThePseudoTerminal() {
    test::PtyCutter cutter;
    QVERIFY(cutter.IsOpen());
    SetDevice(cutter.DevicePath());
    const QString source = m_work->filePath(QStringLiteral("knives.plt"));
    QVERIFY(QFile::copy(Example("three-knives.plt"), source));
    QCOMPARE(ImportAndPaint(source, 3), QStringList());
    m_session->m_fSharpOffset = 0.5f;
    m_session->m_fCloseOffset = 1.0f;
    m_session->m_bDefineColor = true;

    bool drewDuringSend = false;
    bool sendingSeen = false;
    connect(m_view, &CVelkarView::painted, this, [&] {
        if (m_session->m_bSending) sendingSeen = true;
    });
    QTimer probe;
    connect(&probe, &QTimer::timeout, this, [&] {
        if (!m_session->m_bSending) return;
        // While sending, a paint draws nothing at all.
        const QImage shown = Shown(*m_view);
        QImage blank(shown.size(), QImage::Format_RGB32);
        blank.fill(m_view->viewport()->palette().color(QPalette::Base));
        if (shown != blank) drewDuringSend = true;
    });
    probe.start(0);
    m_session->OnCut();
    probe.stop();
    QCoreApplication::processEvents();

    QCOMPARE(Texts(m_script->messages), QStringList{QStringLiteral("ready sent")});
    QCOMPARE(m_script->messages.first().caption, QStringLiteral("Sent to cutter"));
    const QByteArray expected = StreamOf(m_session->m_strJobPath, {QStringLiteral("--sharp"), QStringLiteral("0.5"),
                                                                 QStringLiteral("--close"), QStringLiteral("1"),
                                                                 QStringLiteral("--define-color")});
    QVERIFY(expected.startsWith(";:H A L0 ECN "));
    QCOMPARE(cutter.Received(), expected);
    QVERIFY(sendingSeen);
    QVERIFY(!drewDuringSend);
    QVERIFY(!m_session->m_bSending);
    QVERIFY(CCutJob::Running() == nullptr);

    // Cancel at "ready sent" sends nothing.
    cutter.Take();
    m_script->messages.clear();
    m_script->Answer(QMessageBox::Cancel);
    m_session->OnCut();
    QCoreApplication::processEvents();
    QCOMPARE(Texts(m_script->messages), QStringList{QStringLiteral("ready sent")});
    QCOMPARE(cutter.Received(), QByteArray());

    // Pen Tip asks for each knife before its word goes out.
    m_script->messages.clear();
    m_script->Answer(QMessageBox::Ok);
    m_session->m_bPenTip = true;
    m_session->OnCut();
    QCoreApplication::processEvents();
    const QStringList texts = Texts(m_script->messages);
    QVERIFY(texts.size() >= 2);
    QCOMPARE(texts.first(), QStringLiteral("ready sent"));
    for (qsizetype i = 1; i < texts.size(); ++i) QVERIFY2(texts[i].startsWith(QStringLiteral("select ")), qPrintable(texts[i]));
    QCOMPARE(cutter.Received(), expected);
}

void JobCommandsTest::cutIsCancelledMidSendByButtonOrEsc() {
    test::PtyCutter cutter;
    QVERIFY(cutter.IsOpen());
    SetDevice(cutter.DevicePath());
    const QString job = m_work->filePath(QStringLiteral("long.PT1"));
    WriteZigzagJob(job.toStdString(), 20000);
    m_session->OpenOrImportFile(job);
    const QByteArray full = StreamOf(job);

    // The third time the cutter stops taking data before the Cancel and only
    // takes again well after it: the command it was given in part is finished.
    // The fourth time the operator abandons that command instead, the fifth
    // time by closing the program.
    for (const int way : {0, 1, 2, 3, 4}) {
        const bool esc = way == 1, stall = way >= 2, abandon = way >= 3, byClosing = way == 4;
        bool finishing = false;
        cutter.Take();
        m_script->messages.clear();
        QTimer canceller;
        int ticks = 0, lastPosition = -1;
        connect(&canceller, &QTimer::timeout, this, [&] {
            CProgressWnd* progress = CCutJob::Running();
            if (!progress) return;
            if (ticks > 0) {
                // The send pumps once per record, and once per slice of a wait:
                // a bar that stays put for some ticks means a still line.
                ticks = progress->LastPosition() == lastPosition ? ticks + 1 : 1;
                lastPosition = progress->LastPosition();
                if (ticks == 5) progress->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
                if (ticks < 15) return;
                canceller.stop();
                finishing = progress->IsFinishing();
                auto* button = progress->findChild<QPushButton*>(QStringLiteral("cancel"));
                QCOMPARE(button->text(), finishing ? QStringLiteral("abandon") : QStringLiteral("cancle"));
                if (!abandon || !finishing) {
                    cutter.SetTaking(true);
                } else if (byClosing) {
                    m_script->Answer(QMessageBox::Yes);
                    m_app->MainFrame()->close();
                    m_script->Answer(QMessageBox::Ok);
                } else {
                    button->click();
                }
                return;
            }
            if (cutter.Received().size() < 2000) return;
            QCOMPARE(progress->windowTitle().left(9), QStringLiteral("send... ["));
            if (stall) {
                cutter.SetTaking(false);
                ticks = 1;
                return;
            }
            canceller.stop();
            if (esc)
                QTest::keyClick(m_app->MainFrame(), Qt::Key_Escape);
            else
                progress->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
        });
        canceller.start(0);
        m_session->OnCut();
        QCoreApplication::processEvents();
        cutter.SetTaking(true);
        const QByteArray got = cutter.Received();
        QVERIFY(got.size() >= 2000);
        QVERIFY(got.size() < full.size());
        QVERIFY(full.startsWith(got));
        if (abandon && finishing) {
            // Only a command begun when the line stalled can be abandoned.
            QStringList told{QStringLiteral("ready sent"),
                             QString::fromLatin1(CCutterSend::AbandonedText) + QStringLiteral("\nstopped in path 1 of 1")};
            if (byClosing)
                told.insert(1, QStringLiteral("The cutter is still taking the command in progress.\nAbandon it and close?"));
            QCOMPARE(Texts(m_script->messages), told);
            QCOMPARE(m_app->MainFrame()->isVisible(), !byClosing);
            continue;
        }
        // The job is one long path: a restart begins with it.
        QCOMPARE(Texts(m_script->messages),
                 (QStringList{QStringLiteral("ready sent"), QStringLiteral(" cancle send \nstopped in path 1 of 1")}));
        QVERIFY(got.endsWith(' '));  // the last command went out whole
        QVERIFY(!m_session->m_bSending);
    }
}

void JobCommandsTest::cutStopsWhenTheCutterEndCloses() {
    auto cutter = std::make_unique<test::PtyCutter>();
    QVERIFY(cutter->IsOpen());
    SetDevice(cutter->DevicePath());
    const QString job = m_work->filePath(QStringLiteral("long.PT1"));
    WriteZigzagJob(job.toStdString(), 20000);
    m_session->OpenOrImportFile(job);
    QTimer hangup;
    connect(&hangup, &QTimer::timeout, this, [&] {
        if (!CCutJob::Running() || cutter->Received().size() < 2000) return;
        hangup.stop();
        cutter->CloseCutterEnd();
    });
    hangup.start(0);
    m_session->OnCut();
    QCoreApplication::processEvents();
    const QStringList texts = Texts(m_script->messages);
    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts[0], QStringLiteral("ready sent"));
    QVERIFY2(texts[1].startsWith(QStringLiteral("send stopped: ") + cutter->DevicePath()), qPrintable(texts[1]));
    QVERIFY(!m_session->m_bSending);
    QVERIFY(Shown(*m_view) == Expected(*m_view, *m_session));  // drawn again once the send ended
}

void JobCommandsTest::cutToldWhenThePortCannotOpen() {
    const QString missing = m_work->filePath(QStringLiteral("no-such-tty"));
    SetDevice(missing);
    const QString job = m_work->filePath(QStringLiteral("job.PT1"));
    WriteZigzagJob(job.toStdString(), 3);
    m_session->OpenOrImportFile(job);
    m_session->OnCut();
    QCOMPARE(Texts(m_script->messages),
             QStringList{QStringLiteral("serial can't open\n") + missing + QStringLiteral(": No such file or directory")});
    QCOMPARE(m_script->messages.first().caption, QStringLiteral("Velkar"));
    QVERIFY(!m_session->m_bSending);

    // A job cut short is refused before the port is looked at.
    const std::string bytes = test::ReadBytes(job.toStdString());
    const qsizetype records = static_cast<qsizetype>(bytes.size() / RecordSize);
    test::WriteText(job.toStdString(), bytes.substr(0, bytes.size() - RecordSize));
    m_script->messages.clear();
    m_session->OnCut();
    QCOMPARE(Texts(m_script->messages),
             QStringList{QStringLiteral("file type error\nthe header counts %1 records, the file holds %2")
                             .arg(records)
                             .arg(records - 1)});
}

void JobCommandsTest::closingDuringASendCancelsItFirst() {
    test::PtyCutter cutter;
    QVERIFY(cutter.IsOpen());
    SetDevice(cutter.DevicePath());
    const QString job = m_work->filePath(QStringLiteral("long.PT1"));
    WriteZigzagJob(job.toStdString(), 20000);
    m_session->OpenOrImportFile(job);
    CMainFrame* frame = m_app->MainFrame();

    for (const bool agree : {false, true}) {
        cutter.Take();
        m_script->messages.clear();
        m_script->Answer(QMessageBox::Ok);
        bool closedWhileSending = false;
        bool asked = false;
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            if (!CCutJob::Running() || cutter.Received().size() < 2000) return;
            if (!frame->isVisible()) closedWhileSending = true;
            if (asked) return;
            asked = true;
            m_script->Answer(agree ? QMessageBox::Yes : QMessageBox::No);
            frame->close();
            m_script->Answer(QMessageBox::Ok);
            // Declined: let the send run to its end.
        });
        closer.start(0);
        m_session->OnCut();
        closer.stop();
        QVERIFY(!closedWhileSending);
        QCOMPARE(m_script->messages.at(1).text, QStringLiteral("A job is being sent to the cutter.\nCancel the send and close?"));
        if (agree) {
            QCOMPARE(m_script->messages.size(), 3);
            QCOMPARE(m_script->messages.at(2).text, QStringLiteral(" cancle send \nstopped in path 1 of 1"));
            QVERIFY(frame->isVisible());  // closes from the event loop, after the send has unwound
            QCoreApplication::processEvents();
            QVERIFY(!frame->isVisible());
        } else {
            QCOMPARE(m_script->messages.size(), 2);
            QCoreApplication::processEvents();
            QVERIFY(frame->isVisible());
            QCOMPARE(cutter.Received(), StreamOf(job));
        }
    }
}


void JobCommandsTest::cutShowsTheEstimatePausesAndStartsAtAPath() {
    test::PtyCutter cutter;
    QVERIFY(cutter.IsOpen());
    SetDevice(cutter.DevicePath());
    // Three paths: the zigzag, then two more strokes.
    const QString job = m_work->filePath(QStringLiteral("three.PT1"));
    std::vector<JobRecord> r = {test::Rec(RecHeaderCount, 0, OrientationAsStored), test::Rec(RecHeaderMin, 0, 0),
                                test::Rec(RecHeaderMax, 4000, 4000), test::Rec(RecJobStart), test::Rec(RecMove, 0, 0)};
    for (int i = 1; i <= 3000; ++i) r.push_back(test::Rec(RecLine, (i * 37) % 4000, (i % 2) * 400));
    for (std::int32_t y : {1000, 2000}) r.push_back(test::Rec(RecMove, 0, y)), r.push_back(test::Rec(RecLine, 4000, y));
    r.push_back(test::Rec(RecPathEnd));
    r[0].x = std::int32_t(r.size());
    test::WriteRecords(job.toStdString(), r);
    m_session->OpenOrImportFile(job);
    const QByteArray full = StreamOf(job);

    // Paused at the first chance: the send holds until Resume.
    bool paused = false;
    qsizetype atPause = -1, beforeResume = -1;
    QTimer pauser;
    connect(&pauser, &QTimer::timeout, this, [&] {
        CProgressWnd* progress = CCutJob::Running();
        if (!progress) return;
        auto* button = progress->findChild<QPushButton*>(QStringLiteral("pause"));
        if (!paused) {
            button->click();
            paused = true;
            QCOMPARE(button->text(), QStringLiteral("Resume"));
            atPause = cutter.Received().size();
            return;
        }
        beforeResume = cutter.Received().size();
        button->click();
        pauser.stop();
    });
    pauser.start(20);
    m_session->OnCut();
    pauser.stop();
    QCoreApplication::processEvents();
    // Bytes already on the line may still arrive during the pause; the rest waits for Resume.
    QVERIFY(atPause > 0);
    QVERIFY(beforeResume >= atPause);
    QVERIFY(beforeResume < full.size());
    QCOMPARE(cutter.Received(), full);
    QCOMPARE(m_script->messages.first().text, QStringLiteral("ready sent"));
    const QString estimate = m_script->messages.first().detail.section(QLatin1Char('\n'), 1);
    QVERIFY2(estimate.startsWith(QStringLiteral("about 0:")), qPrintable(estimate));
    QVERIFY(estimate.endsWith(QStringLiteral(" m of cut")));

    // From path 3: the start sequence, then what a full send sends from there.
    cutter.Take();
    m_script->startPath = 3;
    m_session->OnCut();
    QCoreApplication::processEvents();
    m_script->startPath = 0;
    const QByteArray part = cutter.Received();
    QVERIFY(part.startsWith(";:H A L0 ECN U2000,0 "));
    QVERIFY(full.endsWith(part.mid(13)));
}

QTEST_MAIN(JobCommandsTest)
#include "app_jobcommands_test.moc"
