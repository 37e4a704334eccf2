#include <cstdint>
#include <cstdio>
#include <string>

#include "drawingimport/svgdrawingreader.h"
#include "fuzzsupport.h"

using namespace velkar;

// Whatever the bytes (broken XML, huge or odd numbers, deep nesting, packed
// data), the SVG import gives a complete, valid job whose knives are 1 to 8, or
// a refusal with its message and no job.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = fuzz::WriteInput(data, size);
    const std::string job = fuzz::WorkDir() + "/svg.PT1";
    std::remove(job.c_str());
    std::int32_t count = -1;
    DrawingStats stats;
    std::string error;
    const ConversionResult r = ConvertSvgDrawing(input, job, count, stats, error);
    if (r != ConversionDone) {
        if (r != ConversionNotDrawing && r != ConversionOutOfRange) fuzz::Fail("unexpected result");
        if (error.rfind("not an SVG drawing: " + input + ": ", 0) != 0 &&
            error.rfind("cannot convert " + input + ": ", 0) != 0)
            fuzz::Fail("refusal without its file and reason");
        if (std::FILE* f = std::fopen(job.c_str(), "rb")) {
            std::fclose(f);
            fuzz::Fail("a refused conversion left a job");
        }
        return 0;
    }
    const std::vector<JobRecord> records = fuzz::CheckValidJob(job);
    if (static_cast<std::size_t>(count) != records.size()) fuzz::Fail("count differs from the records written");
    for (std::size_t i = 4; i + 1 < records.size(); ++i) {
        const JobRecord& rec = records[i];
        if (rec.code == RecKnife && (rec.x < 1 || rec.x > 8)) fuzz::Fail("knife out of 1..8");
        if ((rec.code == RecMove || rec.code == RecLine) &&
            (rec.x < records[1].x || rec.x > records[2].x || rec.y < records[1].y || rec.y > records[2].y))
            fuzz::Fail("point outside the box");
    }
    return 0;
}
