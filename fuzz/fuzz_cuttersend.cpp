// Any bytes as a job: the send must neither misbehave nor write anything but
// whole commands of its own alphabet, in either dialect.
#include <cstring>

#include "cutter/cuttersend.h"
#include "fuzzsupport.h"

using namespace velkar;

namespace {

// Each dialect's commands end with its own terminator and use only its own letters.
class CheckingOutput : public CutterOutput {
public:
    explicit CheckingOutput(bool hpgl) : m_bHpgl(hpgl) {}
    Status Write(const char* data, std::size_t n, OutputWait&) override {
        const char end = m_bHpgl ? ';' : ' ';
        const char* alphabet = m_bHpgl ? "INSPUDVF0123456789,-;" : ";:HAL0123456789ECNUDP,-@ ";
        if (n == 0 || data[n - 1] != end) fuzz::Fail("a command does not end with its terminator");
        for (std::size_t i = 0; i < n; ++i)
            if (!std::strchr(alphabet, data[i])) fuzz::Fail("a byte outside the command alphabet");
        return Status::Written;
    }
    std::string ErrorText() const override { return {}; }

private:
    bool m_bHpgl;
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
    options.dialect = (pick & 128) ? CutterDialectId::Hpgl : CutterDialectId::Velkar;
    options.knives.speedCmS[0] = options.knives.force[2] = (pick & 1) ? 1000 : 0;
    CCutterSend send(options);
    if (!send.OpenJob(path)) fuzz::Fail("the written job cannot be opened");
    CheckingOutput output((pick & 128) != 0);
    CutterSendHooks hooks;
    send.Send(hooks, output);
    return 0;
}
