#pragma once

#include <cstddef>
#include <string>

namespace velkar {

// Where the send's command bytes go: the serial line, a file, standard output.
class CutterOutput {
public:
    enum class Status {
        Written,    // all bytes were taken
        Cancelled,  // the operator cancelled while the output waited; the rest was not written
        Failed,     // the output failed; ErrorText() tells which and why
    };

    virtual ~CutterOutput() = default;
    // Writes n bytes, waiting as long as the receiver needs (cancellable).
    virtual Status Write(const char* data, std::size_t n) = 0;
    // After Failed: one line naming the output and the reason.
    virtual std::string ErrorText() const = 0;
};

}  // namespace velkar
