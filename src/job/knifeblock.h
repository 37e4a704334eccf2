#pragma once

#include <cstdint>

namespace velkar {

// A run of moves and lines that follows one knife-select record of a converted job.
struct CKnifeBlock {
    std::int32_t position = 0;  // index of the block's first record, counted from 0 at the file's start
    std::int32_t knife = 0;     // knife number, 1 to 8

    friend bool operator==(const CKnifeBlock&, const CKnifeBlock&) = default;
};

}  // namespace velkar
