#include "app/progresssendhooks.h"

#include <algorithm>
#include <limits>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>

#include "app/progresswnd.h"
#include "cutter/cuttersend.h"
#include "cutter/sendestimate.h"
#include "app/dialogs/messagebox.h"

namespace velkar {

namespace {

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

bool CProgressSendHooks::AskReadySend() {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Sent to cutter"), QStringLiteral("ready sent"),
                    QMessageBox::Ok | QMessageBox::Cancel, m_pDialogParent);
    // Where the job goes, and what it will take.
    QString info = m_strEstimate.isEmpty() ? m_strTarget : m_strTarget + QLatin1Char('\n') + m_strEstimate;
    if (!m_strWarning.isEmpty()) info += QLatin1Char('\n') + m_strWarning;
    box.setInformativeText(info);
    QSpinBox* start = nullptr;
    if (m_nPaths > 1) {
        // A restart after a stop: the operator names the path to begin with.
        auto* row = new QWidget(&box);
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(new QLabel(QStringLiteral("Start at path"), row));
        start = new QSpinBox(row);
        start->setObjectName(QStringLiteral("startPath"));
        start->setRange(1, int(std::min<std::int64_t>(m_nPaths, std::numeric_limits<int>::max())));
        layout->addWidget(start);
        layout->addStretch();
        if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) grid->addWidget(row, grid->rowCount(), 0, 1, grid->columnCount());
    }
    const bool ok = box.exec() == QMessageBox::Ok;
    m_nStartPath = start ? start->value() : 0;
    m_clock.start();
    return ok;
}

void CProgressSendHooks::HoldWhilePaused() {
    if (!m_progress.IsPaused()) return;
    QElapsedTimer paused;
    paused.start();
    m_progress.HoldWhilePaused();
    m_nPausedMs += paused.elapsed();
}

void CProgressSendHooks::PromptKnifeChange(std::string_view text) { ShowMessage(m_pDialogParent, Text(text)); }

void CProgressSendHooks::SetBarRange(std::int32_t low, std::int32_t high, std::int32_t step) {
    m_progress.SetBarRange(low, high, step);
}

void CProgressSendHooks::Advance() { m_progress.Advance(); }

void CProgressSendHooks::SetMessage(std::string_view text) {
    QString message = Text(text);
    const qint64 ms = m_clock.isValid() ? m_clock.elapsed() - m_nPausedMs : 0;
    const std::uint64_t sent = m_pSend ? m_pSend->BytesWritten() : 0;
    // The rate is taken once a second of sending gives it some weight.
    if (ms >= 1000 && sent > 0 && m_nTotalBytes > sent) {
        const double left = double(m_nTotalBytes - sent) * double(ms) / 1000.0 / double(sent);
        message += QLatin1Char('\n') + QString::fromStdString(CSendEstimate::DurationText(left)) + QStringLiteral(" left");
    }
    m_progress.SetMessage(message);
}

void CProgressSendHooks::PumpPending() { m_progress.PumpPending(true); }

bool CProgressSendHooks::IsCancelRequested() { return m_progress.IsCancelRequested(); }

void CProgressSendHooks::BeginFinishing() {
    m_progress.BeginFinishing(QStringLiteral("finishing the command in progress...\n"
                                             "abandon: the cutter may keep an unfinished command"));
}

bool CProgressSendHooks::IsAbandonRequested() { return m_progress.IsAbandonRequested(); }

void CProgressSendHooks::Notice(std::string_view text) { m_progress.SetMessage(Text(text)); }

QString CProgressSendHooks::StoppedText() const {
    if (!m_pSend) return {};
    return QString::fromStdString(CCutterSend::StoppedText(m_pSend->CurrentPath(), m_nPaths));
}

void CProgressSendHooks::Tell(std::string_view text) {
    const QString stopped = StoppedText();
    ShowMessage(m_pDialogParent, stopped.isEmpty() ? Text(text) : Text(text) + QLatin1Char('\n') + stopped);
}

}  // namespace velkar
