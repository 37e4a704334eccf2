// The whole multi-knife conversion: DM/PL-style text in, a job out. Every job
// must be valid: count = length / 20, headers 200, 201, 202, the body opened by
// RecJobStart and closed by the one RecPathEnd, each knife at most once and in
// ascending order, nothing but moves and lines in a knife's section.

#include <cstdint>
#include <string>

#include "fuzzsupport.h"
#include "split/multiknifejob.h"

using namespace velkar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = fuzz::WriteInput(data, size);
    const std::string job = fuzz::WorkDir() + "/out.PT1";
    std::int32_t count = -1;
    if (ConvertMultiKnifeJob(input, job, count, 3) != ConversionDone) fuzz::Fail("conversion failed");

    const std::vector<JobRecord> recs = fuzz::CheckValidJob(job);
    if (static_cast<std::size_t>(count) != recs.size()) fuzz::Fail("record count differs from the file");
    if (recs.size() < 5) fuzz::Fail("fewer than five records");
    if (recs[3].code != RecJobStart) fuzz::Fail("body does not start with RecJobStart");
    if (recs.back().code != RecPathEnd) fuzz::Fail("body does not end with RecPathEnd");
    if (recs[0].y != 1) fuzz::Fail("orientation flag is not 1");
    std::int32_t lastKnife = 0;
    for (std::size_t i = 4; i + 1 < recs.size(); ++i) {
        const JobRecord& r = recs[i];
        if (r.code == RecKnife) {
            if (r.x <= lastKnife || r.x > 8) fuzz::Fail("knives not once each in ascending order");
            lastKnife = r.x;
        } else if (r.code != RecMove && r.code != RecLine) {
            fuzz::Fail("a record other than a move or a line inside the body");
        } else if (lastKnife == 0) {
            fuzz::Fail("a move or line before the first knife");
        }
    }
    return 0;
}
