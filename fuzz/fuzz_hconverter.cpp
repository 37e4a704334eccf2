#include "fuzzconvert.h"
#include "import/hconverter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velkar;
    std::vector<JobRecord> job = fuzz::ConvertAndCheck(ConvertHFile, data, size, 4);
    if (job.size() < 4 || job[3].code != RecJobStart) fuzz::Fail("the body does not start with RecJobStart");
    if (job[0].y != OrientationAsStored) fuzz::Fail("orientation flag");
    return 0;
}
