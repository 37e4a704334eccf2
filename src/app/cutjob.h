#pragma once

namespace velkar {

class CProgressWnd;
class CVelkarView;

// The Cut command of the view: sends the view's job to the cutter on the
// serial line of the stored settings, with the progress window, "ready sent"
// first and Cancel (button or Esc) at any time. The view draws nothing while
// the send runs (m_bSending).
//
// Told to the operator: "serial can't open" with the reason on a second line,
// " cancle send " after a cancel, that the cutter may hold an unfinished
// command after an abandon, "send stopped: ..." when the line fails mid-send
// (nothing more is sent), and a job that cannot be opened or read with its
// file and reason.
class CCutJob {
public:
    explicit CCutJob(CVelkarView& view) : m_view(view) {}

    // Runs the whole send; returns when it has ended. Does nothing while
    // another send of the view runs, or without a job.
    void Run();
    // The progress window of the send running now, if any (to cancel it).
    static CProgressWnd* Running();

private:
    CVelkarView& m_view;
};

}  // namespace velkar
