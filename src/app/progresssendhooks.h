#pragma once

#include <QString>

#include "cutter/cuttersendhooks.h"

class QWidget;

namespace velkar {

class CProgressWnd;

// Lets the progress window and message boxes answer what a send to the cutter
// asks: "ready sent" (caption "Sent to cutter", OK or Cancel), the Pen Tip
// prompts and " cancle send " (OK), the bar and its text, the event pump with
// Esc cancelling, the cancel flag, and after a cancel the "abandon" button
// while a command is being finished. Notices (a stalled line) go to the
// window's text, so the send waits on without a question. Both pointers are borrowed and must
// outlive the object.
class CProgressSendHooks : public CutterSendHooks {
public:
    CProgressSendHooks(CProgressWnd& progress, QWidget* dialogParent)
        : m_progress(progress), m_pDialogParent(dialogParent) {}

    // Names where the job goes ("COM1: /dev/ttyUSB0, HP-GL") under "ready sent".
    void SetTarget(const QString& target) { m_strTarget = target; }

    bool AskReadySend() override;
    void PromptKnifeChange(std::string_view text) override;
    void SetBarRange(std::int32_t low, std::int32_t high, std::int32_t step) override;
    void Advance() override;
    void SetMessage(std::string_view text) override;
    void PumpPending() override;
    bool IsCancelRequested() override;
    void BeginFinishing() override;
    bool IsAbandonRequested() override;
    void Notice(std::string_view text) override;
    void Tell(std::string_view text) override;

private:
    CProgressWnd& m_progress;
    QWidget* m_pDialogParent;
    QString m_strTarget;
};

}  // namespace velkar
