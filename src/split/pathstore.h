#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "job/jobrecord.h"

namespace velkar {

// One point of a knife path. A path is a move followed by lines, so the record
// code follows from the place in the path and is not stored.
struct PathPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t z = 0;

    bool SamePlace(const PathPoint& o) const { return x == o.x && y == o.y; }
    static PathPoint Of(const JobRecord& r) { return PathPoint{r.x, r.y, r.z}; }
};

// The paths of one knife, all points in one array and each path a span of it,
// so a million short paths cost no allocation each. A path is named by the id
// it got when added; ids stay valid as long as the store lives. A path that
// grows where it stands extends in place; one that cannot is moved to the end
// with room to grow again, so repeated joins cost as much as appending to a
// vector would.
class PathStore {
public:
    using Id = std::uint32_t;

    // Room for this many points and paths without moving the arrays. Only what is
    // used takes memory, so room for the joins to come costs nothing until they come.
    void Reserve(std::size_t points, std::size_t paths) {
        m_points.reserve(points);
        m_spans.reserve(paths);
    }

    // A new path of one point.
    Id Add(const PathPoint& first);
    void Append(Id id, const PathPoint& point);
    // Appends to the path added last while nothing else has been appended since
    // (as when a file is read): that path ends the array and grows with it.
    void AppendToNewest(const PathPoint& point) {
        Span& s = m_spans.back();
        if (s.size == MostPoints) Grow(static_cast<Id>(m_spans.size() - 1), 1);  // raises
        m_points.push_back(point);
        ++s.size;
        ++s.capacity;
    }
    // The points from `from` on (from < Size(id)) become a new path; id keeps its first `keep` points.
    Id Split(Id id, std::size_t keep, std::size_t from);
    // Appends from's points from the second on.
    void AppendTail(Id to, Id from);
    // Appends from's points from the second-last down to the first.
    void AppendReversed(Id to, Id from);
    // A new path: id's points from the last down to the first.
    Id AddReversed(Id id);
    // Keeps the first `size` points of the path (size <= Size(id)).
    void Shrink(Id id, std::size_t size) { m_spans[id].size = static_cast<std::uint32_t>(size); }

    std::size_t Size(Id id) const { return m_spans[id].size; }
    // The path's points; valid until the next call that adds or appends.
    PathPoint* Points(Id id) { return m_points.data() + m_spans[id].begin; }
    const PathPoint* Points(Id id) const { return m_points.data() + m_spans[id].begin; }
    const PathPoint& First(Id id) const { return Points(id)[0]; }
    const PathPoint& Last(Id id) const { return Points(id)[Size(id) - 1]; }
    std::size_t Count() const { return m_spans.size(); }

    // Asks for the path's span, or its first points, to be fetched ahead of a visit in
    // an order unlike the store's (the band order).
    void PrefetchSpan(Id id) const { __builtin_prefetch(&m_spans[id]); }
    void PrefetchPoints(Id id) const { __builtin_prefetch(Points(id)); }

    // The path as job records, a move and then lines, at out (Size(id) * RecordSize bytes).
    void Encode(Id id, unsigned char* out) const;

    static constexpr std::size_t MostPoints = 0xFFFFFFFFu;

private:
    struct Span {
        std::size_t begin;
        std::uint32_t size;
        std::uint32_t capacity;
    };

    // Makes room for `more` points after the path's last; returns where they go.
    std::size_t Grow(Id id, std::size_t more);

    std::vector<PathPoint> m_points;
    std::vector<Span> m_spans;
};

}  // namespace velkar
