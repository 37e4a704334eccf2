#pragma once

#include <cstdint>

#include <QElapsedTimer>

#include <QString>

#include "cutter/cuttersendhooks.h"

class QWidget;

namespace velkar {

class CCutterSend;
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

    // The estimate line shown under "ready sent"; empty: none.
    void SetEstimate(const QString& line) { m_strEstimate = line; }
    // With the send and the bytes it will write in all, the status text gains
    // the time left at the rate measured so far (pauses left out).
    void SetTimeLeftSource(const CCutterSend* send, std::uint64_t totalBytes) {
        m_pSend = send;
        m_nTotalBytes = totalBytes;
    }
    // The job's path count: "ready sent" then offers "Start at path", and what
    // is told at the end of a stopped send names the path it stopped in.
    void SetPaths(std::int64_t paths) { m_nPaths = paths; }
    // "stopped in path 412 of 1,530" for the send given above; empty without one.
    QString StoppedText() const;
    // Milliseconds since "ready sent" was answered, pauses included.
    qint64 ElapsedMs() const { return m_clock.isValid() ? m_clock.elapsed() : 0; }
    // Names where the job goes ("COM1: /dev/ttyUSB0, HP-GL") under "ready sent".
    void SetTarget(const QString& target) { m_strTarget = target; }
    // A last line under "ready sent" (the job larger than the material); empty: none.
    void SetWarning(const QString& line) { m_strWarning = line; }

    bool AskReadySend() override;
    std::int64_t ChosenStartPath() override { return m_nStartPath; }
    void HoldWhilePaused() override;
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
    QString m_strEstimate;
    const CCutterSend* m_pSend = nullptr;
    std::uint64_t m_nTotalBytes = 0;
    std::int64_t m_nPaths = 0;
    std::int64_t m_nStartPath = 0;
    QElapsedTimer m_clock;
    qint64 m_nPausedMs = 0;
    QString m_strTarget;
    QString m_strWarning;
};

}  // namespace velkar
