#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job/jobrecord.h"

namespace velkar {

struct TravelPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const TravelPoint&, const TravelPoint&) = default;
};

// Orders one knife's paths so that the knife travels as little as possible with
// the knife up, without changing what is cut.
//
// Input: bare move and line records; a move starts a path. Paths that cut
// nothing (a lone move, or every point on the first) are dropped. Every other
// path is written whole, possibly backwards (open paths) or starting at another
// of its points (closed paths, first point equal to last), so the segments cut
// are the same up to direction. Each record keeps its x, y and z; only the code
// of a path's first record becomes a move and that of the others a line.
//
// The order: from `start`, repeatedly the path with the nearest way in (ties go
// to the earlier path, then to its earlier point); then exchanges of whole runs
// of paths (2-opt) and a last choice of each path's way in, within a work budget
// proportional to the number of paths, so the result depends on the input only.
// An open path that begins where the previous open path ends is joined to it
// (no move between them) unless the joined path would end where it began, which
// would give it a closing overlap it did not have.
class CTravelOrdering {
public:
    struct Options {
        bool reverseOpen = true;   // open paths may be cut backwards
        bool rotateClosed = true;  // closed paths may start at any of their points
        bool improve = true;       // 2-opt and the last choice of ways in
        bool join = true;          // join open paths that meet end to start
    };

    CTravelOrdering() = default;
    explicit CTravelOrdering(const Options& options) : m_options(options) {}

    // Returns the records in their new order. `end` receives where the knife
    // stands afterwards (`start` when nothing is cut). A line before any move
    // belongs to no path: the records are then returned unchanged, in the order
    // a caller that cannot order them must keep.
    std::vector<JobRecord> Order(const std::vector<JobRecord>& records, TravelPoint start, TravelPoint& end);

    // Knife-up distance, in job units, of cutting records in their order from
    // `start` (the sum of the distances to every move's point from the point
    // before it).
    static double TravelOf(const std::vector<JobRecord>& records, TravelPoint start);

private:
    Options m_options;
};

// Orders each knife file of the multi-knife conversion named in `mask` (bit K-1
// for knife K) in place, knife 1 first. The joined job is mirrored in y, so the
// cutter's origin is x 0 at the largest y of all knives: the first knife starts
// there, each later one where the knife before it ended. Returns ConversionDone,
// or ConversionFileFailed when a knife file cannot be opened (the knife files not
// yet written keep their content); raises FileError on a failed read or write.
ConversionResult OrderKnifeFilesByTravel(std::uint8_t mask);

}  // namespace velkar
