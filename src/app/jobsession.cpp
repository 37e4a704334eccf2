#include "app/jobsession.h"

#include <atomic>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QThread>
#include <QTimer>

#include "app/cutjob.h"
#include "app/dialogs/cutterparamdlg.h"
#include "app/dialogs/materialdlg.h"
#include "app/dialogs/messagebox.h"
#include "app/dialogs/movedlg.h"
#include "app/dialogs/serialdlg.h"
#include "app/importjob.h"
#include "app/jobconversion.h"
#include "app/openjob.h"
#include "app/viewnavigator.h"
#include "job/conversionwatch.h"
#include "job/jobrecord.h"
#include "job/tempdir.h"
#include "serial/profile.h"
#include "view/velkarview.h"

namespace velkar {

// A conversion on its worker thread. The worker writes outcome and count and
// reads cancel; the event loop reads permille and, once the thread has
// finished, the rest.
struct CJobSession::Conversion {
    std::unique_ptr<QThread> thread;
    QTimer progressTimer;
    std::atomic<int> permille{0};
    std::atomic<bool> cancel{false};
    CJobConversion::Outcome outcome;
    std::int32_t count = 0;
};

CJobSession::CJobSession(CVelkarView* view, QObject* parent)
    : QObject(parent), m_pView(view), m_pNavigator(new CViewNavigator(*this, m_picture, view, this)) {
    m_pView->SetPicture(&m_picture);
    // Every paint shows the state as it is at that moment.
    connect(m_pView, &CVelkarView::aboutToPaint, this, [this] {
        if (m_bConvertPending) RunPendingConversion();
        m_picture.SetSettings(CurrentRenderSettings());
    });
    connect(m_pView, &CVelkarView::pictureDrawn, this, [this](const RenderOutcome& outcome) {
        m_nJobRecords = outcome.jobRecords;
        m_nMaterialWidth = outcome.materialWidth;
        m_nMaterialLength = outcome.materialLength;
    });
    connect(m_pView, &CVelkarView::leftPressed, this, &CJobSession::ZoomClick);
    connect(m_pView, &CVelkarView::rightPressed, this, &CJobSession::Disarm);
}

CJobSession::~CJobSession() {
    if (!m_pConversion) return;
    m_pConversion->cancel = true;
    m_pConversion->thread->wait();
}

QWidget* CJobSession::Window() const { return m_pView->window(); }

RenderSettings CJobSession::CurrentRenderSettings() const {
    RenderSettings s;
    s.jobPath = m_strJobPath.toStdString();
    s.sending = m_bSending;
    s.scale = m_dScale;
    s.sharpOffset = m_fSharpOffset;
    s.closeOffset = m_fCloseOffset;
    s.moveX = m_fMoveX;
    s.moveY = m_fMoveY;
    if (!s.jobPath.empty() && !s.sending) {
        const MaterialSize material = LoadMaterialSize();
        s.materialLengthMm = material.length;
        s.materialWidthMm = material.width;
    }
    return s;
}

void CJobSession::RepaintAll() { m_pView->RepaintAll(); }

void CJobSession::OnFit() { m_pNavigator->Fit(); }

void CJobSession::OnInitialUpdate() { m_pView->SetScrollSizes(QSize(100, 100)); }

void CJobSession::RunPendingConversion() {
    m_bConvertPending = false;
    if (m_pConversion) return;
    m_pView->viewport()->setCursor(Qt::WaitCursor);
    // Inside a paint of the window another widget cannot be repainted at once;
    // the pane follows at its next paint.
    emit statusText(QStringLiteral("open file ,please wait....."), !m_pView->IsPainting());

    CJobConversion::Request request;
    request.source = m_strSourcePath.toStdString();
    request.job = m_strJobPath.toStdString();
    request.fileType = m_nFileType;
    request.flavour = m_nImportFlavour;
    request.orderPaths = m_bOrderPaths;
    request.travelOrder = m_bTravelOrder;
    m_pConversion = std::make_unique<Conversion>();
    Conversion* c = m_pConversion.get();
    c->count = m_nRecordCount;
    c->thread.reset(QThread::create([c, request] {
        ConversionWatch watch(request.source, [c](double fraction) {
            c->permille = static_cast<int>(fraction * 1000.0);
            return !c->cancel;
        });
        c->outcome = CJobConversion::Run(request, c->count);
    }));
    connect(c->thread.get(), &QThread::finished, this, &CJobSession::FinishConversion);
    connect(&c->progressTimer, &QTimer::timeout, this, [this, c] { emit conversionProgress(c->permille / 10); });
    c->progressTimer.start(100);
    emit conversionStarted();
    c->thread->start();
}

void CJobSession::CancelConversion() {
    if (m_pConversion) m_pConversion->cancel = true;
}

void CJobSession::FinishConversion() {
    if (!m_pConversion) return;
    m_pConversion->thread->wait();
    const std::unique_ptr<Conversion> c = std::move(m_pConversion);
    const CJobConversion::Outcome& outcome = c->outcome;
    m_pView->viewport()->unsetCursor();
    m_picture.Reload();
    emit conversionEnded();
    // A cancel that came after the last step leaves the complete new job.
    if (c->cancel && !outcome.converted) {
        // The job file was not replaced; the job shown before the Import comes back.
        const JobState& b = m_beforeImport;
        m_strSourcePath = b.m_strSourcePath;
        m_strJobPath = b.m_strJobPath;
        m_nFileType = b.m_nFileType;
        m_nImportFlavour = b.m_nImportFlavour;
        m_bOrderPaths = b.m_bOrderPaths;
        m_bTravelOrder = b.m_bTravelOrder;
        m_fMoveX = b.m_fMoveX;
        m_fMoveY = b.m_fMoveY;
        emit titleRequested(m_strSourcePath.isEmpty() ? QStringLiteral("Velkar") : m_strSourcePath);
        emit statusText(QStringLiteral("conversion cancelled"), true);
        RepaintAll();
        return;
    }
    m_nRecordCount = c->count;
    if (outcome.converted) m_pNavigator->NewJob();
    if (outcome.jobEmptied) m_strJobPath.clear();
    if (!outcome.converted && !outcome.jobEmptied) m_strJobPath = m_strJobBeforeImport;
    if (!outcome.nothingToCut.empty()) {
        // Told instead of "Ready", so that an empty frame is not taken for a job.
        const QString text = QString::fromStdString(outcome.nothingToCut);
        emit statusText(text, true);
        RepaintAll();
        ShowMessage(Window(), text);
        return;
    }
    QString ready = outcome.notes.empty() ? QStringLiteral("Ready")
                                          : QStringLiteral("Ready - ") % QString::fromStdString(outcome.notes);
    // A job that could not go beside its plotter file is easily lost track of.
    if (QFileInfo(m_strJobPath).fileName() == QLatin1String(FallbackJobName))
        ready += QStringLiteral(" - job written to ") % m_strJobPath % QStringLiteral(", not beside the plotter file");
    emit statusText(ready, true);
    RepaintAll();
    if (!outcome.failure.empty()) ShowMessage(Window(), QString::fromStdString(outcome.failure));
}

void CJobSession::ZoomClick() {
    if (m_bZoomOut) {
        m_dScale *= 0.5;
        if (m_dScale < MinScale) m_dScale = MinScale;
        RepaintAll();
    }
    if (m_bZoomIn) {
        m_dScale *= 2.0;
        if (m_dScale > MaxScale) m_dScale = ZoomInFallback;
        RepaintAll();
    }
}

void CJobSession::Disarm() {
    m_bZoomOut = false;
    m_bZoomIn = false;
    UpdateCursor();
}

void CJobSession::UpdateCursor() {
    m_pView->SetZoomCursor(m_bZoomOut  ? CVelkarView::ZoomCursor::ZoomOut
                           : m_bZoomIn ? CVelkarView::ZoomCursor::ZoomIn
                                       : CVelkarView::ZoomCursor::None);
}

void CJobSession::OnZoomOut() {
    m_bZoomOut = true;
    m_bZoomIn = false;
    UpdateCursor();
}

void CJobSession::OnZoomIn() {
    m_bZoomIn = true;
    m_bZoomOut = false;
    UpdateCursor();
}

bool CJobSession::UpdatePenTip() {
    if (!m_bDefineColor) m_bPenTip = false;
    return m_bDefineColor;
}

void CJobSession::OnMove() {
    CMoveDlg dlg(Window());
    if (dlg.exec() != QDialog::Accepted) return;
    m_fMoveX += dlg.m_fMoveX;
    m_fMoveY += dlg.m_fMoveY;
    RepaintAll();
}

void CJobSession::OnCutterParameter() {
    CCutterParamDlg dlg(Window());
    dlg.m_fSharpOffset = m_fSharpOffset;
    dlg.m_fCloseOffset = m_fCloseOffset;
    dlg.m_fSmooth = m_fSmooth;
    dlg.m_bCompact = m_bCompact;
    if (dlg.exec() != QDialog::Accepted) return;
    m_fSharpOffset = dlg.m_fSharpOffset;
    m_fCloseOffset = dlg.m_fCloseOffset;
    m_fSmooth = dlg.m_fSmooth;
    m_bCompact = dlg.m_bCompact;
    RepaintAll();
}

void CJobSession::OnMaterial() {
    CMaterialDlg::RunWithProfile(Window());
    // The frame follows the profile, which only OK changes; repaint either way.
    RepaintAll();
}

void CJobSession::OnSerialPort() {
    CSerialDlg dlg(Window());
    dlg.exec();
}

void CJobSession::PrintTo(QPrinter& printer) {
    QPainter painter(&printer);
    if (!painter.isActive()) return;
    if (m_bConvertPending) RunPendingConversion();
    FinishConversion();
    const RenderOutcome outcome = CJobRenderer::Draw(painter, CurrentRenderSettings());
    if (!outcome.drawn) return;
    m_nJobRecords = outcome.jobRecords;
    m_nMaterialWidth = outcome.materialWidth;
    m_nMaterialLength = outcome.materialLength;
}

void CJobSession::OnFilePrint() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, Window());
    if (dialog.exec() != QDialog::Accepted) return;
    PrintTo(printer);
}

void CJobSession::OnFilePrintDirect() {
    QPrinter printer(QPrinter::HighResolution);
    PrintTo(printer);
}

void CJobSession::OnFilePrintPreview() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, Window());
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { PrintTo(*p); });
    preview.exec();
}

void CJobSession::Import(const QString& prefill) {
    const JobState before = *this;
    if (!CImportJob(*this, Window()).Run(prefill)) return;
    m_beforeImport = before;
    emit titleRequested(m_strSourcePath);
    RepaintAll();
}

void CJobSession::OnImport() {
    if (CanImportOrOpen()) Import();
}

void CJobSession::OnOpen() {
    if (!CanImportOrOpen()) return;
    if (COpenJob(*this, Window()).Run()) {
        m_pNavigator->NewJob();
        emit titleRequested(m_strJobPath);
    }
    m_picture.Reload();
    RepaintAll();
}

void CJobSession::OnCut() {
    // One send at a time: a second one would clear the state of the first.
    if (!CanCut()) return;
    // Clears the sending state on every way out and lets the view draw again.
    struct SendingScope {
        CJobSession& s;
        explicit SendingScope(CJobSession& session) : s(session) { s.m_bSending = true; }
        ~SendingScope() {
            s.m_bSending = false;
            s.m_picture.Reload();
            s.RepaintAll();
            emit s.sendFinished();
        }
        SendingScope(const SendingScope&) = delete;
        SendingScope& operator=(const SendingScope&) = delete;
    } sending(*this);
    CCutJob cut(*this, m_pView);
    cut.SetWarning(m_pNavigator->SizeWarning());
    cut.Run();
    if (!cut.EndText().isEmpty()) emit statusText(cut.EndText(), true);
}

void CJobSession::OpenOrImportFile(const QString& path) {
    if (!CanImportOrOpen()) return;
    bool job = QFileInfo(path).suffix().compare(QLatin1String("pt1"), Qt::CaseInsensitive) == 0;
    if (!job) {
        // A job renamed without its extension is still known by its first header.
        QFile file(path);
        unsigned char image[RecordSize] = {};
        if (file.open(QIODevice::ReadOnly) &&
            file.read(reinterpret_cast<char*>(image), RecordSize) == static_cast<qint64>(RecordSize))
            job = JobRecord::Decode(image).code == RecHeaderCount;
    }
    if (!job) {
        Import(path);
        return;
    }
    if (COpenJob(*this, Window()).OpenPath(path)) {
        m_pNavigator->NewJob();
        m_picture.Reload();
        emit titleRequested(m_strJobPath);
        RepaintAll();
    }
}

}  // namespace velkar
