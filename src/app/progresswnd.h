#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace velkar {

// A small window that shows how far a long operation running on the
// user-interface thread has got, a status text and a "cancle" button.
//
// The operation drives it: it advances the bar, calls PumpPending() now and
// then so that the whole application stays usable, and polls
// IsCancelRequested(). Cancel (the button, Esc during PumpPending(true), or an
// attempt to close the window) only raises a flag that is never cleared again.
//
// An operation that must finish a step after the cancel calls BeginFinishing:
// the pump then keeps the application usable, and the button turns into
// "abandon", which raises a second flag (IsAbandonRequested).
//
// The window is shown, without taking the focus, as soon as it is constructed
// and disappears when the object is destroyed. The owner must outlive it.
class CProgressWnd : public QWidget {
    Q_OBJECT

public:
    // owner: the window to centre over (none: the application's active window).
    // title: the caption stem; the caption shows "title [N%]" once N changes.
    // smooth: a continuous bar rather than a stepped one.
    CProgressWnd(QWidget* owner, const QString& title, bool smooth);
    ~CProgressWnd() override;

    // Sets the range lower..upper and the step of Advance(). The position is
    // kept (the bar shows it clamped to the range); the shown percentage stays.
    void SetBarRange(int lower, int upper, int step);

    // Remembers position and shows it; the caption changes only when the
    // percentage position*100/(upper-lower) (0 for an empty range) changes.
    // Returns the position the bar showed before.
    int SetBarPosition(int position);

    // SetBarPosition(last position + step); returns the previous bar position.
    int Advance();

    // Shows text as the status line (at most four lines are reserved).
    void SetMessage(const QString& text);

    // Lets every pending event of the application through, so paints and
    // commands run. With escapeCancels an Esc key pressed in this window or
    // in the window it belongs to requests cancel (not one that closes a menu
    // or another dialog). Returns at once once cancel was requested,
    // unless the operation is finishing and has not been abandoned.
    void PumpPending(bool escapeCancels);

    bool IsCancelRequested() const { return m_bCancelRequested; }

    // After a cancel: shows text and offers the "abandon" button.
    void BeginFinishing(const QString& text);
    bool IsFinishing() const { return m_bFinishing; }
    bool IsAbandonRequested() const { return m_bAbandonRequested; }
    // What "abandon" does (also closing the program meanwhile).
    void Abandon() { m_bAbandonRequested = true; }

    // Adds the "Pause" button, which turns into "Resume" while paused.
    void OfferPause();
    bool IsPaused() const { return m_bPaused; }
    // What the pause button does: pauses, or resumes.
    void OnPauseButton();
    // While paused: lets events through until Resume, Cancel or abandon.
    void HoldWhilePaused();

    // Shows the window, if hidden, without activating it.
    void ShowInactive();

    // What the button does: raises the cancel flag, nothing else; while
    // finishing, abandons.
    void OnCancelButton();

    // The last position set and the caption stem, for the operation's own use.
    int LastPosition() const { return m_nLastPos; }
    const QString& CaptionStem() const { return m_strCaptionStem; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void LayOut(int lines, int width);
    void CentreOverOwner(QWidget* owner);

    int m_nTextRows = 4;
    int m_nRangeLow = 0;
    int m_nLastPercent = 0;
    bool m_bCancelRequested = false;
    bool m_bFinishing = false;
    bool m_bAbandonRequested = false;
    bool m_bPaused = false;
    int m_nLastPos = 0;
    int m_nStepSize = 1;
    int m_nRangeHigh = 100;
    int m_nBarPos = 0;
    QLabel* m_wndMessage = nullptr;
    QProgressBar* m_wndBar = nullptr;
    QPushButton* m_wndCancel = nullptr;
    QPushButton* m_wndPause = nullptr;
    QString m_strCaptionStem;
};

}  // namespace velkar
