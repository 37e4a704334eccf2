#pragma once

#include <cstdint>

namespace velkar {

// What the standard reader left out of a job, so that it can be told.
struct StandardPlotStats {
    std::int64_t labels = 0;   // LB and BL texts, SM symbols
    std::int64_t fills = 0;    // FP polygon fills and WG wedge fills
    std::int64_t unknown = 0;  // instructions the reader does not know, skipped with their parameters
};

}  // namespace velkar
