// Knife-up travel of a job in several orders, for judging the travel ordering:
//   velkar_travel_compare DRAWING.PT1 [ORDERED.PT1 ...]
// prints, in metres, the travel of each job as its records stand, then of the
// drawing job's knives (ascending, as the multi-knife conversion joins them)
// ordered by plain greedy nearest start, by greedy nearest end, and by the full
// travel ordering. Travel is counted from the cutter's origin (x 0 at the
// largest y: the jobs are mirrored) to every move's point.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "job/jobreader.h"
#include "split/travelordering.h"

using namespace velkar;

namespace {

std::vector<JobRecord> Body(const std::string& path) {
    JobReader reader;
    if (!reader.Open(path)) {
        std::fprintf(stderr, "%s: cannot open\n", path.c_str());
        std::exit(1);
    }
    JobRecord work;
    const JobHeader header = ReadJobHeader(reader, work);
    std::vector<JobRecord> body;
    for (std::int32_t i = 4; i <= header.count.x && reader.Read(work); ++i) body.push_back(work);
    return body;
}

TravelPoint Origin(const std::vector<JobRecord>& body) {
    std::int32_t maxY = 0;
    bool any = false;
    for (const JobRecord& r : body)
        if (r.code == RecMove || r.code == RecLine) maxY = any ? std::max(maxY, r.y) : r.y, any = true;
    return {0, maxY};
}

// The knives' moves and lines as the per-knife split takes them.
std::vector<std::vector<JobRecord>> Knives(const std::vector<JobRecord>& body) {
    std::vector<std::vector<JobRecord>> knives(8);
    int knife = 0;
    for (const JobRecord& r : body) {
        if (r.code == RecKnife) knife = r.x > 8 ? 1 : r.x;
        else if ((r.code == RecMove || r.code == RecLine) && knife >= 1) knives[std::size_t(knife - 1)].push_back(r);
        else knife = 0;
    }
    return knives;
}

double Ordered(const std::vector<std::vector<JobRecord>>& knives, TravelPoint origin, CTravelOrdering::Options options) {
    CTravelOrdering ordering(options);
    TravelPoint at = origin;
    double travel = 0;
    for (const auto& records : knives) {
        const TravelPoint from = at;
        const std::vector<JobRecord> ordered = ordering.Order(records, from, at);
        travel += CTravelOrdering::TravelOf(ordered, from);
    }
    return travel;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: velkar_travel_compare DRAWING.PT1 [ORDERED.PT1 ...]\n");
        return 2;
    }
    const std::vector<JobRecord> drawing = Body(argv[1]);
    const TravelPoint origin = Origin(drawing);
    for (int i = 1; i < argc; ++i) {
        const std::vector<JobRecord> body = Body(argv[i]);
        std::printf("%-40s %10.2f m\n", argv[i], CTravelOrdering::TravelOf(body, Origin(body)) / 40000.0);
    }
    const auto knives = Knives(drawing);
    CTravelOrdering::Options plain{false, false, false, false};
    CTravelOrdering::Options ends{true, true, false, false};
    std::printf("%-40s %10.2f m\n", "greedy, nearest start", Ordered(knives, origin, plain) / 40000.0);
    std::printf("%-40s %10.2f m\n", "greedy, nearest end", Ordered(knives, origin, ends) / 40000.0);
    std::printf("%-40s %10.2f m\n", "travel ordering", Ordered(knives, origin, {}) / 40000.0);
    return 0;
}
