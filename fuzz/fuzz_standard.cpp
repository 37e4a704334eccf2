#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzzsupport.h"
#include "import/standardplotreader.h"

using namespace velkar;

// Any input gives a complete, valid job with its body framed by RecJobStart and
// RecPathEnd, or a refusal with a message and no job.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = fuzz::WriteInput(data, size);
    const std::string job = fuzz::WorkDir() + "/standard.PT1";
    std::remove(job.c_str());
    std::int32_t count = -1;
    StandardPlotStats stats;
    std::string error;
    ConversionResult r = ConvertStandardPlotFile(input, job, count, stats, error);
    if (r != ConversionDone) {
        if (error.empty()) fuzz::Fail("refusal without a message");
        if (r != ConversionNotPlotterFile && r != ConversionOutOfRange) fuzz::Fail("unexpected result");
        if (std::FILE* f = std::fopen(job.c_str(), "rb")) {
            std::fclose(f);
            fuzz::Fail("a refused conversion left a job");
        }
        return 0;
    }
    std::vector<JobRecord> records = fuzz::CheckValidJob(job);
    if (static_cast<std::size_t>(count) != records.size()) fuzz::Fail("count differs from the records written");
    if (records.size() < 5 || records[3].code != RecJobStart || records.back().code != RecPathEnd)
        fuzz::Fail("body is not framed by job start and path end");
    bool moved = false;
    for (std::size_t i = 4; i + 1 < records.size(); ++i) {
        const JobRecord& rec = records[i];
        if (rec.code == RecKnife && (rec.x < 1 || rec.x > 8)) fuzz::Fail("knife out of 1..8");
        if (rec.code == RecLine && !moved) fuzz::Fail("line before any move");
        if (rec.code == RecMove) moved = true;
        if (rec.code != RecKnife && rec.code != RecMove && rec.code != RecLine) fuzz::Fail("unexpected record in body");
        if ((rec.code == RecMove || rec.code == RecLine) &&
            (rec.x < records[1].x || rec.x > records[2].x || rec.y < records[1].y || rec.y > records[2].y))
            fuzz::Fail("point outside the box");
    }
    return 0;
}
