// Any bytes as a job: the send must neither misbehave nor write anything but
// whole commands of its own alphabet.
#include <cstring>

#include "cutter/cuttersend.h"
#include "fuzzsupport.h"

using namespace velkar;

namespace {

class CheckingOutput : public CutterOutput {
public:
    Status Write(const char* data, std::size_t n, OutputWait&) override {
        if (n == 0 || data[n - 1] != ' ') fuzz::Fail("a command does not end with a blank");
        for (std::size_t i = 0; i < n; ++i)
            if (!std::strchr(";:HAL0123456789ECNUDP,-@ ", data[i])) fuzz::Fail("a byte outside the command alphabet");
        return Status::Written;
    }
    std::string ErrorText() const override { return {}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteInput(data, size, "input.PT1");
    CutterSendOptions options;
    // The first byte picks offsets and moves, so corners, overlaps and mirroring all run.
    const std::uint8_t pick = size > 0 ? data[0] : 0;
    options.sharpMm = static_cast<float>(pick & 3) * 0.5f;
    options.closeMm = static_cast<float>((pick >> 2) & 3) * 1.5f;
    options.moveXMm = (pick & 16) ? -1.0e6f : 0.35f;
    options.moveYMm = (pick & 32) ? 1.0e6f : -0.35f;
    options.defineColor = (pick & 64) != 0;
    CCutterSend send(options);
    if (!send.OpenJob(path)) fuzz::Fail("the written job cannot be opened");
    CheckingOutput output;
    CutterSendHooks hooks;
    send.Send(hooks, output);
    return 0;
}
