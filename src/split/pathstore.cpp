#include "split/pathstore.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace velkar {

PathStore::Id PathStore::Add(const PathPoint& first) {
    if (m_spans.size() >= MostPoints) throw std::length_error("too many paths");
    m_points.push_back(first);
    m_spans.push_back(Span{m_points.size() - 1, 1, 1});
    return static_cast<Id>(m_spans.size() - 1);
}

std::size_t PathStore::Grow(Id id, std::size_t more) {
    Span& s = m_spans[id];
    const std::size_t need = std::size_t{s.size} + more;
    if (need > MostPoints) throw std::length_error("path too long");
    if (need > s.capacity) {
        if (s.begin + s.capacity == m_points.size()) {
            // The last span of the array grows with it.
            m_points.resize(s.begin + need);
            s.capacity = static_cast<std::uint32_t>(need);
        } else {
            // Moved to the end with room for as much again: a path joined again and
            // again is copied a logarithmic number of times.
            const std::size_t capacity = std::min(2 * need, MostPoints);
            const std::size_t begin = m_points.size();
            m_points.resize(begin + capacity);
            std::copy_n(m_points.begin() + static_cast<std::ptrdiff_t>(s.begin), s.size,
                        m_points.begin() + static_cast<std::ptrdiff_t>(begin));
            s.begin = begin;
            s.capacity = static_cast<std::uint32_t>(capacity);
        }
    }
    const std::size_t at = s.begin + s.size;
    s.size = static_cast<std::uint32_t>(need);
    return at;
}

void PathStore::Append(Id id, const PathPoint& point) {
    const std::size_t at = Grow(id, 1);
    m_points[at] = point;
}

PathStore::Id PathStore::Split(Id id, std::size_t keep, std::size_t from) {
    if (m_spans.size() >= MostPoints) throw std::length_error("too many paths");
    Span& s = m_spans[id];
    const Span rest{s.begin + from, static_cast<std::uint32_t>(s.size - from), static_cast<std::uint32_t>(s.capacity - from)};
    s.size = static_cast<std::uint32_t>(keep);
    s.capacity = static_cast<std::uint32_t>(from);
    m_spans.push_back(rest);
    return static_cast<Id>(m_spans.size() - 1);
}

void PathStore::AppendTail(Id to, Id from) {
    const std::size_t n = Size(from) - 1;
    const std::size_t at = Grow(to, n);
    const std::size_t source = m_spans[from].begin + 1;
    std::copy_n(m_points.begin() + static_cast<std::ptrdiff_t>(source), n, m_points.begin() + static_cast<std::ptrdiff_t>(at));
}

void PathStore::AppendReversed(Id to, Id from) {
    const std::size_t n = Size(from) - 1;
    const std::size_t at = Grow(to, n);
    const std::size_t source = m_spans[from].begin;
    for (std::size_t i = 0; i < n; ++i) m_points[at + i] = m_points[source + n - 1 - i];
}

PathStore::Id PathStore::AddReversed(Id id) {
    const Id reversed = Add(Last(id));
    AppendReversed(reversed, id);
    return reversed;
}

void PathStore::Encode(Id id, unsigned char* out) const {
    // Every record is a move or a line template with its point written in.
    unsigned char move[RecordSize], line[RecordSize];
    JobRecord r;
    r.code = RecMove;
    r.Encode(move);
    r.code = RecLine;
    r.Encode(line);
    const std::size_t n = Size(id);
    const PathPoint* p = Points(id);
    for (std::size_t i = 0; i < n; ++i, out += RecordSize) {
        std::memcpy(out, i == 0 ? move : line, RecordSize);
        JobRecord::PutLe32(out + 8, static_cast<std::uint32_t>(p[i].x));
        JobRecord::PutLe32(out + 12, static_cast<std::uint32_t>(p[i].y));
        JobRecord::PutLe32(out + 16, static_cast<std::uint32_t>(p[i].z));
    }
}

}  // namespace velkar
