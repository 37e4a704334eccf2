#include "split/pathchainer.h"

#include <algorithm>
#include <stdexcept>

namespace velkar {

namespace {

std::uint64_t PointOf(const PathPoint& r) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(r.x)) << 32) | static_cast<std::uint32_t>(r.y);
}

// Spreads packed points over the table; plotter coordinates cluster on grids.
std::uint64_t Mix(std::uint64_t v) {
    v ^= v >> 30;
    v *= 0xBF58476D1CE4E5B9ull;
    v ^= v >> 27;
    v *= 0x94D049BB133111EBull;
    return v ^ (v >> 31);
}

}  // namespace

PathChainer::PathChainer(PathStore& store, const std::vector<PathStore::Id>& paths) : m_store(store) {
    const std::size_t count = paths.size();
    if (count >= None / 4) throw std::length_error("too many paths to chain");
    m_id.reserve(count);
    m_first.reserve(count);
    m_last.reserve(count);
    m_alive.reserve(count);
    m_nextStart.reserve(count);
    m_nodes.reserve(count);

    // Number the distinct points once; merges never bring a new point, so from
    // here on points are compared and looked up by number alone.
    // The point sits in its slot beside its number, so a look-up touches one place.
    struct Slot {
        std::uint32_t x, y;
        PointId id;
    };
    std::size_t capacity = 16;
    while (capacity < 4 * count) capacity *= 2;
    const std::uint64_t mask = capacity - 1;
    std::vector<Slot> table(capacity, Slot{0, 0, None});
    PointId points = 0;
    auto number = [&](const PathPoint& r) {
        const auto x = static_cast<std::uint32_t>(r.x), y = static_cast<std::uint32_t>(r.y);
        for (std::uint64_t i = Mix(PointOf(r)) & mask;; i = (i + 1) & mask) {
            Slot& slot = table[i];
            if (slot.id == None) {
                slot = Slot{x, y, points};
                return points++;
            }
            if (slot.x == x && slot.y == y) return slot.id;
        }
    };
    std::vector<std::pair<PointId, PointId>> ends;
    ends.reserve(count);
    // The slots are scattered over a large table: ask for those of a later path ahead.
    constexpr std::size_t Ahead = 8;
    for (std::size_t i = 0; i < count; ++i) {
        if (i + Ahead < count) {
            __builtin_prefetch(&table[Mix(PointOf(store.First(paths[i + Ahead]))) & mask]);
            __builtin_prefetch(&table[Mix(PointOf(store.Last(paths[i + Ahead]))) & mask]);
        }
        const PointId first = number(store.First(paths[i]));
        ends.emplace_back(first, number(store.Last(paths[i])));
    }
    table = {};
    m_startHead.assign(points, None);
    m_startTail.assign(points, None);
    m_endRoot.assign(points, None);
    for (std::size_t i = 0; i < count; ++i) Add(paths[i], ends[i].first, ends[i].second);
}

void PathChainer::Add(PathStore::Id id, PointId first, PointId last) {
    if (m_id.size() >= None / 2) throw std::length_error("too many paths to chain");
    const Key key = static_cast<Key>(m_id.size());
    m_id.push_back(id);
    m_first.push_back(first);
    m_last.push_back(last);
    m_alive.push_back(1);
    m_nextStart.push_back(None);
    // Keys only grow, so appending keeps each start queue in list order.
    if (m_startHead[first] == None)
        m_startHead[first] = key;
    else
        m_nextStart[m_startTail[first]] = key;
    m_startTail[first] = key;
    PushEnd(last, key);
}

void PathChainer::Remove(Key key) { m_alive[key] = 0; }

void PathChainer::PushEnd(PointId point, Key key) {
    const auto node = static_cast<std::uint32_t>(m_nodes.size());
    m_nodes.push_back(HeapNode{key, None, None});
    m_endRoot[point] = Meld(m_endRoot[point], node);
}

std::uint32_t PathChainer::Meld(std::uint32_t a, std::uint32_t b) {
    if (a == None) return b;
    if (b == None) return a;
    if (m_nodes[b].key < m_nodes[a].key) std::swap(a, b);
    m_nodes[b].sibling = m_nodes[a].child;
    m_nodes[a].child = b;
    return a;
}

std::uint32_t PathChainer::PopRoot(std::uint32_t root) {
    m_pairs.clear();
    for (std::uint32_t c = m_nodes[root].child; c != None;) {
        const std::uint32_t second = m_nodes[c].sibling;
        m_nodes[c].sibling = None;
        if (second == None) {
            m_pairs.push_back(c);
            break;
        }
        const std::uint32_t rest = m_nodes[second].sibling;
        m_nodes[second].sibling = None;
        m_pairs.push_back(Meld(c, second));
        c = rest;
    }
    std::uint32_t merged = None;
    for (auto it = m_pairs.rbegin(); it != m_pairs.rend(); ++it) merged = Meld(*it, merged);
    return merged;
}

// Entries of removed paths and of the head are dropped when they come first:
// the head never becomes an ordinary path again, and a path's first point never
// changes while it is not the head.
PathChainer::Key PathChainer::FirstStart(PointId point) {
    while (m_startHead[point] != None) {
        const Key key = m_startHead[point];
        if (key != m_head && m_alive[key]) return key;
        m_startHead[point] = m_nextStart[key];
        if (m_startHead[point] == None) m_startTail[point] = None;
    }
    return None;
}

// As FirstStart; an entry also lapses when its path's end has moved elsewhere
// (a path coming back gets a new entry).
PathChainer::Key PathChainer::FirstEnd(PointId point) {
    while (m_endRoot[point] != None) {
        const Key key = m_nodes[m_endRoot[point]].key;
        if (key != m_head && m_alive[key] && m_last[key] == point) return key;
        m_endRoot[point] = PopRoot(m_endRoot[point]);
    }
    return None;
}

void PathChainer::Run(std::vector<PathStore::Id>& finished) {
    // Paths that stay keep their places and new ones are appended, so ascending
    // keys are list order and the head is the smallest live key.
    for (;;) {
        while (m_head < m_id.size() && !m_alive[m_head]) ++m_head;
        if (m_head == m_id.size()) break;
        const Key head = m_head;
        const PointId a = m_first[head], b = m_last[head];
        // The walk stops at the first path that passes any test, so the earliest
        // candidate of all four tests is the one it finds.
        const Key q = std::min({FirstEnd(a), FirstStart(b), FirstStart(a), FirstEnd(b)});
        if (q == None) {
            m_alive[head] = 0;
            finished.push_back(m_id[head]);
            continue;
        }
        if (a == m_last[q]) {
            // H follows Q.
            m_store.AppendTail(m_id[q], m_id[head]);
            m_last[q] = b;
            PushEnd(b, q);
            Remove(head);
        } else if (b == m_first[q]) {
            // Q follows H.
            m_store.AppendTail(m_id[head], m_id[q]);
            m_last[head] = m_last[q];
            Remove(q);
        } else if (a == m_first[q]) {
            // Both start at one point: H reversed, then Q, as a new last path.
            const PathStore::Id joined = m_store.AddReversed(m_id[head]);
            m_store.AppendTail(joined, m_id[q]);
            Remove(head);
            Remove(q);
            Add(joined, b, m_last[q]);
        } else {
            // Both end at one point: H, then Q reversed.
            m_store.AppendReversed(m_id[head], m_id[q]);
            m_last[head] = m_first[q];
            Remove(q);
        }
    }
}

}  // namespace velkar
