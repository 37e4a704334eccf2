// Any bytes as a job: the send must neither misbehave nor write anything but
// whole commands of its own alphabet, in either dialect.
#include <algorithm>
#include <cstring>
#include <vector>

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

// The input made into a complete job: the three header codes, the count the
// length holds, and every body code mapped onto a known kind, so that the send
// itself sees every input and not only the few that are jobs already.
std::vector<std::uint8_t> AsCompleteJob(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> job(data, data + size);
    if (size < 3 * RecordSize) job.resize(3 * RecordSize);
    const std::uint32_t count = static_cast<std::uint32_t>(std::min<std::size_t>(job.size() / RecordSize, 1u << 30));
    job[4] = RecHeaderCount, job[24] = RecHeaderMin, job[44] = RecHeaderMax;
    for (int i = 0; i < 4; ++i) job[8 + i] = static_cast<std::uint8_t>(count >> (8 * i));
    static const std::uint8_t kinds[] = {RecMove, RecLine, RecPathEnd, RecJobStart, RecKnife};
    for (std::size_t at = 3 * RecordSize + 4; at < job.size(); at += RecordSize) job[at] = kinds[job[at] % 5];
    return job;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        // Any bytes as they are: a complete job is taken, anything else refused with its reason.
        CCutterSend raw({});
        const std::string path = fuzz::WriteInput(data, size, "input.PT1");
        if (!raw.OpenJob(path) && raw.JobRefusal().empty() && raw.ErrorText().empty()) fuzz::Fail("a refusal without a reason");
    }
    const std::vector<std::uint8_t> job = AsCompleteJob(data, size);
    const std::string path = fuzz::WriteInput(job.data(), job.size(), "input.PT1");
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
