#include "split/pathchainer.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace velkar {

namespace {

using Key = std::uint32_t;  // a path's place in list order; later paths get larger keys
constexpr Key NoPath = std::numeric_limits<Key>::max();

// Min-heaps of keys per point. Entries are never updated in place: an entry
// whose path has gone, is the head, or no longer starts/ends there is dropped
// when it reaches the top.
using PointHeaps = std::unordered_map<std::uint64_t, std::vector<Key>>;

std::uint64_t PointOf(const JobRecord& r) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(r.x)) << 32) | static_cast<std::uint32_t>(r.y);
}

bool SamePoint(const JobRecord& a, const JobRecord& b) { return a.x == b.x && a.y == b.y; }

void Push(std::vector<Key>& heap, Key key) {
    heap.push_back(key);
    std::push_heap(heap.begin(), heap.end(), std::greater<>{});
}

// from's records from the second on.
void AppendTail(std::vector<JobRecord>& to, const std::vector<JobRecord>& from) {
    to.insert(to.end(), from.begin() + 1, from.end());
}

// from's records from the second-last down to the second with their own codes,
// then from's first point as a line.
void AppendReversed(std::vector<JobRecord>& to, const std::vector<JobRecord>& from) {
    for (std::size_t i = from.size() - 1; i-- > 1;) to.push_back(from[i]);
    JobRecord first = from.front();
    first.code = RecLine;
    to.push_back(first);
}

}  // namespace

void ChainPaths(CPathList& paths, const std::function<void(const CJobPath&)>& write) {
    // List order never changes for paths that stay: a merge keeps H or Q in its
    // place or appends a new path at the tail. So ascending keys are list order
    // and the head is the smallest live key.
    std::vector<CPathList::Position> slot;
    std::vector<char> alive;
    PointHeaps starts, ends;
    starts.reserve(paths.Count());
    ends.reserve(paths.Count());
    slot.reserve(paths.Count());
    alive.reserve(paths.Count());

    auto add = [&](CPathList::Position pos) {
        if (slot.size() >= NoPath) throw std::length_error("too many paths to chain");
        const Key key = static_cast<Key>(slot.size());
        slot.push_back(pos);
        alive.push_back(1);
        const CJobPath& p = CPathList::PathAt(pos);
        Push(starts[PointOf(p.First())], key);
        Push(ends[PointOf(p.Last())], key);
    };
    for (auto pos = paths.HeadPosition(); pos != paths.EndPosition(); pos = CPathList::NextPosition(pos)) add(pos);

    auto remove = [&](Key key) {
        paths.RemoveAt(slot[key]);
        alive[key] = 0;
    };

    Key head = 0;
    // Smallest key at `point` in `heaps` of a live path other than the head that
    // still starts (or ends) there. The head never becomes an ordinary path
    // again, so its entries can go for good.
    auto first = [&](PointHeaps& heaps, std::uint64_t point, bool atEnd) -> Key {
        auto it = heaps.find(point);
        if (it == heaps.end()) return NoPath;
        std::vector<Key>& heap = it->second;
        while (!heap.empty()) {
            const Key key = heap.front();
            if (key != head && alive[key]) {
                const CJobPath& p = CPathList::PathAt(slot[key]);
                if (PointOf(atEnd ? p.Last() : p.First()) == point) return key;
            }
            std::pop_heap(heap.begin(), heap.end(), std::greater<>{});
            heap.pop_back();
        }
        return NoPath;
    };

    for (;;) {
        while (head < slot.size() && !alive[head]) ++head;
        if (head == slot.size()) break;
        CJobPath& h = CPathList::PathAt(slot[head]);
        const std::uint64_t a = PointOf(h.First());
        const std::uint64_t b = PointOf(h.Last());
        // The walk stops at the first path that passes any test, so the
        // earliest candidate of all four tests is the one it finds.
        const Key best = std::min({first(ends, a, true), first(starts, b, false), first(starts, a, false), first(ends, b, true)});
        if (best == NoPath) {
            write(h);
            remove(head);
            continue;
        }
        CJobPath& q = CPathList::PathAt(slot[best]);
        if (SamePoint(h.First(), q.Last())) {
            AppendTail(q.Records(), h.Records());
            Push(ends[b], best);
            remove(head);
        } else if (SamePoint(h.Last(), q.First())) {
            AppendTail(h.Records(), q.Records());
            remove(best);
        } else if (SamePoint(h.First(), q.First())) {
            JobRecord start = h.Last();
            start.code = RecMove;
            auto joined = std::make_unique<CJobPath>(start);
            joined->Records().reserve(h.Size() + q.Size() - 1);
            AppendReversed(joined->Records(), h.Records());
            AppendTail(joined->Records(), q.Records());
            remove(head);
            remove(best);
            add(paths.AddTail(std::move(joined)));
        } else {
            AppendReversed(h.Records(), q.Records());
            remove(best);
        }
    }
}

}  // namespace velkar
