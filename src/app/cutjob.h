#pragma once

#include <QString>

class QWidget;

namespace velkar {

class CProgressWnd;
struct JobState;

// The Cut command: sends the job to the cutter on the
// serial line of the stored settings, with the progress window, "ready sent"
// first and Cancel (button or Esc) at any time. The caller marks the send
// (m_bSending), so that nothing is drawn while it runs.
//
// Told to the operator: "serial can't open" with the reason on a second line,
// " cancle send " after a cancel, that the cutter may hold an unfinished
// command after an abandon, "send stopped: ..." when the line fails mid-send
// (nothing more is sent), and a job that cannot be opened or read with its
// file and reason.
class CCutJob {
public:
    // owner: the widget the progress window belongs to.
    CCutJob(JobState& state, QWidget* owner) : m_state(state), m_pOwner(owner) {}

    // A line the question before the send adds (the job larger than the material); empty: none.
    void SetWarning(const QString& line) { m_strWarning = line; }
    // Runs the whole send; returns when it has ended.
    void Run();
    // After a send that went through: "sent N records in M:SS", counted from
    // the answer to "ready sent"; empty otherwise.
    const QString& EndText() const { return m_strEndText; }
    // M:SS of a duration in milliseconds, rounded to the second.
    static QString Duration(qint64 ms);
    // The progress window of the send running now, if any (to cancel it).
    static CProgressWnd* Running();

private:
    JobState& m_state;
    QWidget* m_pOwner;
    QString m_strEndText;
    QString m_strWarning;
};

}  // namespace velkar
