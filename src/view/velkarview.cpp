#include "view/velkarview.h"

#include <algorithm>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QTimer>

#include "app/cutjob.h"
#include "app/cutterparamdlg.h"
#include "app/importjob.h"
#include "app/jobconversion.h"
#include "app/mainframe.h"
#include "app/materialdlg.h"
#include "app/openjob.h"
#include "job/jobrecord.h"
#include "serial/profile.h"
#include "view/artwork.h"
#include "view/commandids.h"
#include "view/messagebox.h"
#include "view/movedlg.h"
#include "view/serialdlg.h"

namespace velkar {

CVelkarView::CVelkarView(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("view"));
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    UpdateScrollBars();
}

bool CVelkarView::OnCommand(int id) {
    switch (id) {
        case cmd::CutterParameter: OnCutterParameter(); return true;
        case cmd::SerialPort: OnSerialPort(); return true;
        case cmd::Cut: OnCut(); return true;
        case cmd::ZoomOut: OnZoomOut(); return true;
        case cmd::ZoomIn: OnZoomIn(); return true;
        case cmd::FileOpen: OnOpen(); return true;
        case cmd::Material: OnMaterial(); return true;
        case cmd::Redraw: OnRedraw(); return true;
        case cmd::Import: OnImport(); return true;
        case cmd::DefineColor: OnDefineColor(); return true;
        case cmd::PenTip: OnPenTip(); return true;
        case cmd::Move: OnMove(); return true;
        case cmd::FilePrint: OnFilePrint(); return true;
        case cmd::FilePrintDirect: OnFilePrintDirect(); return true;
        case cmd::FilePrintPreview: OnFilePrintPreview(); return true;
        default: return false;
    }
}

bool CVelkarView::OnUpdateCommand(int id, CommandState& state) {
    switch (id) {
        case cmd::Cut:
            // No job, nothing to cut; and one send at a time.
            if (m_strJobPath.isEmpty() || m_bSending) state.enabled = false;
            return true;
        case cmd::Import:
        case cmd::FileOpen:
            // The running send holds the job; a new one waits until it has ended.
            if (m_bSending) state.enabled = false;
            return true;
        case cmd::DefineColor: state.checked = m_bDefineColor; return true;
        case cmd::PenTip:
            if (!m_bDefineColor) {
                m_bPenTip = false;
                state.checked = false;
                state.enabled = false;
            } else {
                state.checked = m_bPenTip;
            }
            return true;
        case cmd::ZoomOut: state.checked = m_bZoomOut; return true;
        case cmd::ZoomIn: state.checked = m_bZoomIn; return true;
        default: return false;
    }
}

RenderSettings CVelkarView::CurrentRenderSettings() const {
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

void CVelkarView::OnDraw(QPainter& painter, const QRect& exposed) {
    if (m_bConvertPending) RunPendingConversion();
    DrawJob(painter, exposed);
}

void CVelkarView::RunPendingConversion() {
    m_bConvertPending = false;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    auto* frame = qobject_cast<CMainFrame*>(window());
    // Inside a paint of the window another widget cannot be repainted at once;
    // the wait cursor is the feedback there, the pane follows at its next paint.
    const bool repaintNow = !m_bInPaintEvent;
    if (frame) frame->SetStatusText(QStringLiteral("open file ,please wait....."), repaintNow);

    CJobConversion::Request request;
    request.source = m_strSourcePath.toStdString();
    request.job = m_strJobPath.toStdString();
    request.fileType = m_nFileType;
    request.flavour = m_nImportFlavour;
    request.orderPaths = m_bOrderPaths;
    const CJobConversion::Outcome outcome = CJobConversion::Run(request, m_nRecordCount);
    if (outcome.jobEmptied) m_strJobPath.clear();

    if (frame)
        frame->SetStatusText(outcome.notes.empty() ? QStringLiteral("Ready")
                                                   : QStringLiteral("Ready - ") % QString::fromStdString(outcome.notes),
                             repaintNow);
    QGuiApplication::restoreOverrideCursor();
    // Told once the paint is over: a message box inside a paint would paint again.
    if (!outcome.failure.empty())
        QTimer::singleShot(0, this, [this, text = QString::fromStdString(outcome.failure)] { ShowMessage(window(), text); });
}

void CVelkarView::DrawJob(QPainter& painter, const QRect& exposed) {
    const RenderOutcome outcome = CJobRenderer::Draw(painter, CurrentRenderSettings(), exposed);
    if (!outcome.drawn) return;
    m_nJobRecords = outcome.jobRecords;
    m_nMaterialWidth = outcome.materialWidth;
    m_nMaterialLength = outcome.materialLength;
    if (painter.device() == viewport()) SetScrollSizes(outcome.scrollSize);
}

void CVelkarView::OnInitialUpdate() { SetScrollSizes(QSize(100, 100)); }

void CVelkarView::OnUpdate() { RepaintAll(); }

void CVelkarView::SetScrollSizes(QSize total) {
    if (total == m_scrollSize) return;
    m_scrollSize = total;
    UpdateScrollBars();
}

void CVelkarView::UpdateScrollBars() {
    const QSize page = viewport()->size();
    // Page and line steps follow the total size: a tenth, and a tenth of that.
    const int hPage = std::max(1, m_scrollSize.width() / 10);
    const int vPage = std::max(1, m_scrollSize.height() / 10);
    horizontalScrollBar()->setRange(0, std::max(0, m_scrollSize.width() - page.width()));
    horizontalScrollBar()->setPageStep(hPage);
    horizontalScrollBar()->setSingleStep(std::max(1, hPage / 10));
    verticalScrollBar()->setRange(0, std::max(0, m_scrollSize.height() - page.height()));
    verticalScrollBar()->setPageStep(vPage);
    verticalScrollBar()->setSingleStep(std::max(1, vPage / 10));
}

void CVelkarView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CVelkarView::scrollContentsBy(int dx, int dy) { viewport()->scroll(dx, dy); }

void CVelkarView::paintEvent(QPaintEvent* event) {
    m_bInPaintEvent = true;
    {
        QPainter painter(viewport());
        const QPoint offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
        painter.translate(-offset);
        OnDraw(painter, event->rect().translated(offset));
    }
    m_bInPaintEvent = false;
    emit painted();
}

void CVelkarView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        ZoomClick();
    } else if (event->button() == Qt::RightButton) {
        m_bZoomOut = false;
        m_bZoomIn = false;
        UpdateCursor();
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void CVelkarView::ZoomClick() {
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

void CVelkarView::UpdateCursor() {
    // Set on the view itself so that the viewport and the scroll bars show it too.
    if (m_bZoomOut)
        setCursor(CArtwork::ZoomOutCursor());
    else if (m_bZoomIn)
        setCursor(CArtwork::ZoomInCursor());
    else
        unsetCursor();
}

void CVelkarView::RepaintAll() { viewport()->update(); }

void CVelkarView::OnZoomOut() {
    m_bZoomOut = true;
    m_bZoomIn = false;
    UpdateCursor();
}

void CVelkarView::OnZoomIn() {
    m_bZoomIn = true;
    m_bZoomOut = false;
    UpdateCursor();
}

void CVelkarView::OnRedraw() { RepaintAll(); }

void CVelkarView::OnMove() {
    CMoveDlg dlg(window());
    if (dlg.exec() != QDialog::Accepted) return;
    m_fMoveX += dlg.m_fMoveX;
    m_fMoveY += dlg.m_fMoveY;
    RepaintAll();
}

void CVelkarView::OnCutterParameter() {
    CCutterParamDlg dlg(window());
    dlg.m_fSharpOffset = m_fSharpOffset;
    dlg.m_fCloseOffset = m_fCloseOffset;
    dlg.m_fSmooth = m_fSmooth;
    if (dlg.exec() != QDialog::Accepted) return;
    m_fSharpOffset = dlg.m_fSharpOffset;
    m_fCloseOffset = dlg.m_fCloseOffset;
    m_fSmooth = dlg.m_fSmooth;
    RepaintAll();
}

void CVelkarView::OnMaterial() {
    CMaterialDlg::RunWithProfile(window());
    // The frame follows the profile, which only OK changes; repaint either way.
    RepaintAll();
}

void CVelkarView::OnSerialPort() {
    CSerialDlg dlg(window());
    dlg.exec();
}

void CVelkarView::OnDefineColor() { m_bDefineColor = !m_bDefineColor; }

void CVelkarView::OnPenTip() { m_bPenTip = !m_bPenTip; }

void CVelkarView::PrintTo(QPrinter& printer) {
    QPainter painter(&printer);
    if (!painter.isActive()) return;
    OnDraw(painter, QRect());
}

void CVelkarView::OnFilePrint() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, window());
    if (dialog.exec() != QDialog::Accepted) return;
    PrintTo(printer);
}

void CVelkarView::OnFilePrintDirect() {
    QPrinter printer(QPrinter::HighResolution);
    PrintTo(printer);
}

void CVelkarView::OnFilePrintPreview() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, window());
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { PrintTo(*p); });
    preview.exec();
}

void CVelkarView::OnImport() {
    if (!m_bSending) CImportJob(*this).Run();
}

void CVelkarView::OnOpen() {
    if (!m_bSending) COpenJob(*this).Run();
}

void CVelkarView::OnCut() { CCutJob(*this).Run(); }

void CVelkarView::OpenOrImportFile(const QString& path) {
    if (m_bSending) return;
    bool job = QFileInfo(path).suffix().compare(QLatin1String("pt1"), Qt::CaseInsensitive) == 0;
    if (!job) {
        // A job renamed without its extension is still known by its first header.
        QFile file(path);
        unsigned char image[RecordSize] = {};
        if (file.open(QIODevice::ReadOnly) &&
            file.read(reinterpret_cast<char*>(image), RecordSize) == static_cast<qint64>(RecordSize))
            job = JobRecord::Decode(image).code == RecHeaderCount;
    }
    if (job)
        COpenJob(*this).OpenPath(path);
    else
        CImportJob(*this).Run(path);
}

}  // namespace velkar
