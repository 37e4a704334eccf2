#include "fuzzconvert.h"
#include "import/hpglconverter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velkar;
    // The body may be empty; the flavour only scales and sets the orientation flag.
    std::vector<JobRecord> job = fuzz::ConvertAndCheck(ConvertHpglFile, data, size, 1);
    if (job[0].y != OrientationAsStored) fuzz::Fail("orientation flag");
    std::vector<JobRecord> scaled = fuzz::ConvertAndCheck(ConvertHpglFile, data, size, 4);
    if (scaled.size() != job.size() || scaled[0].y != OrientationMirrorY) fuzz::Fail("flavour changed the records");
    return 0;
}
