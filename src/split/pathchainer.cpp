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

// The high half of the hash, scaled to the table's size.
std::size_t Home(std::uint64_t hash, std::size_t size) { return static_cast<std::size_t>(((hash >> 32) * size) >> 32); }

}  // namespace

PathChainer::PathChainer(PathStore& store, const std::vector<PathStore::Id>& paths) : m_store(store) {
    const std::size_t count = paths.size();
    if (count >= None / 4) throw std::length_error("too many paths to chain");
    // Every join but one kind ends a path and that one ends two and adds one, so
    // no more than twice the paths are ever listed, and each listing or join
    // makes one heap node: reserved once, these arrays never move. Only the
    // part used takes memory.
    m_paths.reserve(2 * count);
    m_nodes.reserve(2 * count);
    m_points.reserve(2 * count);

    // Number the distinct points once; merges never bring a new point, so from
    // here on points are compared and looked up by number alone. Numbers follow
    // the list, so paths near in the list have their points near in m_points.
    // At least a third of the slots stay free, as a path has two ends.
    std::vector<Slot> table(std::max<std::size_t>(3 * count, 16), Slot{None, 0});
    // The slots are scattered over a large table: ask for those of a later path ahead.
    constexpr std::size_t Ahead = 8;
    for (std::size_t i = 0; i < count; ++i) {
        if (i + Ahead < count) {
            __builtin_prefetch(&table[Home(Mix(PointOf(store.First(paths[i + Ahead]))), table.size())]);
            __builtin_prefetch(&table[Home(Mix(PointOf(store.Last(paths[i + Ahead]))), table.size())]);
        }
        const PointId first = Number(store.First(paths[i]), table);
        Add(paths[i], first, Number(store.Last(paths[i]), table));
    }
}

PathChainer::PointId PathChainer::Number(const PathPoint& point, std::vector<Slot>& table) {
    const auto x = static_cast<std::uint32_t>(point.x), y = static_cast<std::uint32_t>(point.y);
    const std::uint64_t hash = Mix(PointOf(point));
    const auto check = static_cast<std::uint32_t>(hash);
    for (std::size_t i = Home(hash, table.size());;) {
        Slot& slot = table[i];
        if (slot.id == None) {
            slot = Slot{static_cast<PointId>(m_points.size()), check};
            m_points.push_back(Point{x, y, None, None, None});
            return slot.id;
        }
        if (slot.check == check && m_points[slot.id].x == x && m_points[slot.id].y == y) return slot.id;
        if (++i == table.size()) i = 0;
    }
}

void PathChainer::Add(PathStore::Id id, PointId first, PointId last) {
    const auto key = static_cast<Key>(m_paths.size());
    m_paths.push_back(Path{id, first, last, None});
    // Keys only grow, so appending keeps each start queue in list order.
    Point& start = m_points[first];
    if (start.startHead == None)
        start.startHead = key;
    else
        m_paths[start.startTail].nextStart = key;
    start.startTail = key;
    PushEnd(last, key);
}

void PathChainer::PushEnd(PointId point, Key key) {
    const auto node = static_cast<std::uint32_t>(m_nodes.size());
    m_nodes.push_back(HeapNode{key, None, None});
    m_points[point].endRoot = Meld(m_points[point].endRoot, node);
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
    Point& p = m_points[point];
    while (p.startHead != None) {
        const Key key = p.startHead;
        if (key != m_head && m_paths[key].last != None) return key;
        p.startHead = m_paths[key].nextStart;
        if (p.startHead == None) p.startTail = None;
    }
    return None;
}

// As FirstStart; an entry also lapses when its path's end has moved elsewhere
// (a path coming back gets a new entry).
PathChainer::Key PathChainer::FirstEnd(PointId point) {
    Point& p = m_points[point];
    while (p.endRoot != None) {
        const Key key = m_nodes[p.endRoot].key;
        if (key != m_head && m_paths[key].last == point) return key;
        p.endRoot = PopRoot(p.endRoot);
    }
    return None;
}

void PathChainer::Run(std::vector<PathStore::Id>& finished) {
    // Paths that stay keep their places and new ones are appended, so ascending
    // keys are list order and the head is the smallest live key.
    constexpr std::size_t Ahead = 8;
    for (;;) {
        while (m_head < m_paths.size() && m_paths[m_head].last == None) ++m_head;
        if (m_head == m_paths.size()) break;
        if (m_head + Ahead < m_paths.size()) {
            const Path& later = m_paths[m_head + Ahead];
            if (later.last != None) {
                __builtin_prefetch(&m_points[later.first]);
                __builtin_prefetch(&m_points[later.last]);
            }
        }
        const Key head = m_head;
        const PointId a = m_paths[head].first, b = m_paths[head].last;
        // The walk stops at the first path that passes any test, so the earliest
        // candidate of all four tests is the one it finds.
        const Key q = std::min({FirstEnd(a), FirstStart(b), FirstStart(a), FirstEnd(b)});
        if (q == None) {
            finished.push_back(m_paths[head].id);
            Remove(head);
            continue;
        }
        const Path other = m_paths[q];
        if (a == other.last) {
            // H follows Q.
            m_store.AppendTail(other.id, m_paths[head].id);
            m_paths[q].last = b;
            PushEnd(b, q);
            Remove(head);
        } else if (b == other.first) {
            // Q follows H.
            m_store.AppendTail(m_paths[head].id, other.id);
            m_paths[head].last = other.last;
            Remove(q);
        } else if (a == other.first) {
            // Both start at one point: H reversed, then Q, as a new last path.
            const PathStore::Id joined = m_store.AddReversed(m_paths[head].id);
            m_store.AppendTail(joined, other.id);
            Remove(head);
            Remove(q);
            Add(joined, b, other.last);
        } else {
            // Both end at one point: H, then Q reversed.
            m_store.AppendReversed(m_paths[head].id, other.id);
            m_paths[head].last = other.first;
            Remove(q);
        }
    }
}

}  // namespace velkar
