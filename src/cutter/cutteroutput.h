#pragma once

#include <cstddef>
#include <string>

namespace velkar {

// Asked by an output while it waits for a receiver that takes no more data.
class OutputWait {
public:
    enum class Verdict {
        Wait,  // go on waiting
        Stop,  // stop before the block; only given while nothing of it has gone out
        Drop,  // drop the rest of the block: it cannot or need not be finished
    };
    virtual ~OutputWait() = default;
    // Called between slices (about 50 ms) of every wait. moved: the receiver
    // took bytes since the previous call or since the write began; begun: part
    // of the current block has gone out (for a flush: bytes are still on the way).
    virtual Verdict Idle(bool moved, bool begun) = 0;
};

// Where the send's command bytes go: the serial line, a file, standard output.
class CutterOutput {
public:
    enum class Status {
        Written,    // all bytes were taken
        Cancelled,  // the wait said Stop: nothing of the block was written
        Dropped,    // the wait said Drop: the block went out only in part
        Failed,     // the output failed; ErrorText() tells which and why
    };

    virtual ~CutterOutput() = default;
    // Writes n bytes, waiting as long as the receiver needs and asking `wait`
    // between slices of the wait.
    virtual Status Write(const char* data, std::size_t n, OutputWait& wait) = 0;
    // Waits until the bytes the output holds on the way (a line's queue) have
    // reached the receiver, asking `wait` in the same way. Dropped: the rest
    // was given up and will be discarded.
    virtual Status Flush(OutputWait& /*wait*/) { return Status::Written; }
    // After Failed: one line naming the output and the reason.
    virtual std::string ErrorText() const = 0;
};

}  // namespace velkar
