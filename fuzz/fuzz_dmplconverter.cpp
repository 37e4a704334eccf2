#include "fuzzconvert.h"
#include "import/dmplconverter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velkar;
    std::vector<JobRecord> job = fuzz::ConvertAndCheck(ConvertDmplFile, data, size, 3);
    if (job.size() < 4 || job[3].code != RecJobStart) fuzz::Fail("the body does not start with RecJobStart");
    if (job[0].y != OrientationMirrorY) fuzz::Fail("orientation flag");
    for (std::size_t i = 4; i < job.size(); ++i)
        if (job[i].z != 0) fuzz::Fail("z is set");
    return 0;
}
