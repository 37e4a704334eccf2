#include "app/progresssendhooks.h"

#include <QMessageBox>

#include "app/progresswnd.h"
#include "app/dialogs/messagebox.h"

namespace velkar {

namespace {

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

bool CProgressSendHooks::AskReadySend() {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Sent to cutter"), QStringLiteral("ready sent"),
                    QMessageBox::Ok | QMessageBox::Cancel, m_pDialogParent);
    box.setInformativeText(m_strTarget);
    return box.exec() == QMessageBox::Ok;
}

void CProgressSendHooks::PromptKnifeChange(std::string_view text) { ShowMessage(m_pDialogParent, Text(text)); }

void CProgressSendHooks::SetBarRange(std::int32_t low, std::int32_t high, std::int32_t step) {
    m_progress.SetBarRange(low, high, step);
}

void CProgressSendHooks::Advance() { m_progress.Advance(); }

void CProgressSendHooks::SetMessage(std::string_view text) { m_progress.SetMessage(Text(text)); }

void CProgressSendHooks::PumpPending() { m_progress.PumpPending(true); }

bool CProgressSendHooks::IsCancelRequested() { return m_progress.IsCancelRequested(); }

void CProgressSendHooks::BeginFinishing() {
    m_progress.BeginFinishing(QStringLiteral("finishing the command in progress...\n"
                                             "abandon: the cutter may keep an unfinished command"));
}

bool CProgressSendHooks::IsAbandonRequested() { return m_progress.IsAbandonRequested(); }

void CProgressSendHooks::Notice(std::string_view text) { m_progress.SetMessage(Text(text)); }

void CProgressSendHooks::Tell(std::string_view text) { ShowMessage(m_pDialogParent, Text(text)); }

}  // namespace velkar
