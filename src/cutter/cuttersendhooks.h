#pragma once

#include <cstdint>
#include <string_view>

namespace velkar {

// What the send asks of the program that drives it (the desktop program's
// progress window and message boxes, or the command line's terminal). All calls
// come synchronously from CCutterSend::Send.
class CutterSendHooks {
public:
    virtual ~CutterSendHooks() = default;
    // "ready sent" (caption "Sent to cutter"): true for OK, false for Cancel.
    virtual bool AskReadySend() = 0;
    // Pen Tip mode: asks the operator to change the knife ("select third knife", ...)
    // and returns once the operator has confirmed.
    virtual void PromptKnifeChange(std::string_view text) = 0;
    // Progress: the range 0..high with the given step, set once before the records.
    virtual void SetBarRange(std::int32_t low, std::int32_t high, std::int32_t step) = 0;
    // One step per body record.
    virtual void Advance() = 0;
    // Status text: "please wait..." at the start, then "send:<record>line".
    virtual void SetMessage(std::string_view text) = 0;
    // Lets pending user input through (Cancel, Esc, Ctrl-C).
    virtual void PumpPending() = 0;
    virtual bool IsCancelRequested() = 0;
    // Tells the operator something that needs no answer (" cancle send ").
    virtual void Tell(std::string_view text) = 0;
};

}  // namespace velkar
