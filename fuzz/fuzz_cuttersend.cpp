// Any bytes as a job: the send must neither misbehave nor write anything but
// whole commands of its own alphabet, in either dialect.
#include <cstring>
#include <fstream>
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

// The send refuses what is not a complete job; to keep fuzzing the stream itself,
// the same bytes are also read as body records (a code byte picking one of the
// job's kinds, then x, y, z) behind the three headers.
std::string WriteAsJob(const std::uint8_t* data, std::size_t size) {
    static const std::uint8_t kinds[] = {RecMove, RecLine, RecPathEnd, RecJobStart, RecKnife};
    std::vector<JobRecord> body;
    for (std::size_t at = 1; at + 13 <= size; at += 13) {
        JobRecord r;
        r.code = kinds[data[at] % 5];
        std::int32_t v[3];
        std::memcpy(v, data + at + 1, sizeof v);
        r.x = v[0];
        r.y = v[1];
        r.z = v[2];
        body.push_back(r);
    }
    std::vector<JobRecord> job = {{RecHeaderCount, static_cast<std::int32_t>(body.size() + 3), 4, 0},
                                  {RecHeaderMin, 0, 0, 0},
                                  {RecHeaderMax, 1000, 1000, 0}};
    job.insert(job.end(), body.begin(), body.end());
    const std::string path = fuzz::WorkDir() + "/records.PT1";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const JobRecord& r : job) {
        unsigned char image[RecordSize];
        r.Encode(image);
        out.write(reinterpret_cast<const char*>(image), RecordSize);
    }
    if (!out.flush()) fuzz::Fail("the record job cannot be written");
    return path;
}

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
    if (!send.OpenJob(path)) {
        if (send.ErrorText().empty()) fuzz::Fail("a job is refused without a reason");
        if (!send.OpenJob(WriteAsJob(data, size))) fuzz::Fail("a complete job is refused");
    }
    CheckingOutput output((pick & 128) != 0);
    CutterSendHooks hooks;
    send.Send(hooks, output);
    return 0;
}
