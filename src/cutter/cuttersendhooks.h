#pragma once

#include <cstdint>
#include <string_view>

namespace velkar {

// What the send asks of the program that drives it (the desktop program's
// progress window and message boxes, or the command line's terminal). All calls
// come synchronously from CCutterSend::Send. The defaults are an operator who
// agrees to everything and never cancels, as `velkar stream` needs.
class CutterSendHooks {
public:
    virtual ~CutterSendHooks() = default;
    // "ready sent" (caption "Sent to cutter"): true for OK, false for Cancel.
    virtual bool AskReadySend() { return true; }
    // After an OK to "ready sent": the path to start from if the operator chose
    // one there (1 = the first), or 0 to keep the send's own option.
    virtual std::int64_t ChosenStartPath() { return 0; }
    // Pen Tip mode: asks the operator to change the knife ("select third knife", ...)
    // and returns once the operator has confirmed.
    virtual void PromptKnifeChange(std::string_view /*text*/) {}
    // Progress: the range 0..high with the given step, set once before the records.
    virtual void SetBarRange(std::int32_t /*low*/, std::int32_t /*high*/, std::int32_t /*step*/) {}
    // One step per body record.
    virtual void Advance() {}
    // Status text: "please wait..." at the start, then "send:<record>line".
    virtual void SetMessage(std::string_view /*text*/) {}
    // Lets pending user input through (Cancel, Esc, Ctrl-C).
    virtual void PumpPending() {}
    virtual bool IsCancelRequested() { return false; }
    // Called between records, when the last command has been handed over whole:
    // while the operator has paused the send, returns only on Resume or Cancel.
    // The port stays open meanwhile.
    virtual void HoldWhilePaused() {}
    // After a cancel, the command already begun is finished first (the cutter
    // must not keep half of it); from this call on the operator may abandon it.
    virtual void BeginFinishing() {}
    // True once the operator gave up the command being finished.
    virtual bool IsAbandonRequested() { return false; }
    // Tells the operator something while the send goes on waiting ("the cutter
    // has taken nothing for 30 s"); nothing is awaited.
    virtual void Notice(std::string_view /*text*/) {}
    // Tells the operator something that needs no answer at the end of the send
    // (" cancle send ", or that the cutter may hold an unfinished command).
    virtual void Tell(std::string_view /*text*/) {}
};

}  // namespace velkar
