#pragma once

#include <cstdint>
#include <vector>

#include "split/pathstore.h"

namespace velkar {

// Joins the open paths of a list whose ends meet and puts every finished path
// at the end of another list.
//
// The result is that of the plain walk: take the first path H (first point A,
// last point B); find the first other path Q in list order for which one of
// A == Q.last, B == Q.first, A == Q.first, B == Q.last holds; apply the first of
// these tests that holds for that Q (append H to Q; append Q to H; append the
// reversed H followed by Q as a new last path; append the reversed Q to H) and
// start again; when no path meets H, write H and remove it. Points compare by x
// and y only.
//
// Instead of walking the list after every merge, it finds Q through an index of
// the points where paths start and end, so a knife of a million paths takes
// about a second rather than hours.
class PathChainer {
public:
    // paths: the ids of the open paths in list order.
    PathChainer(PathStore& store, const std::vector<PathStore::Id>& paths);
    // Appends the finished paths, in the order they are finished, to `finished`.
    void Run(std::vector<PathStore::Id>& finished);

private:
    using Key = std::uint32_t;  // a path's place in list order; later paths get larger keys
    static constexpr Key None = 0xFFFFFFFFu;

    using PointId = std::uint32_t;  // dense number of a distinct end point

    // A distinct end point with the paths starting there in key order (a queue
    // linked through Path::nextStart) and a pairing heap of the paths ending there.
    struct Point {
        std::uint32_t x, y;
        Key startHead, startTail;
        std::uint32_t endRoot;
    };
    struct Path {
        PathStore::Id id;
        PointId first, last;  // last is None once the path is finished or merged away
        Key nextStart;
    };
    struct HeapNode {
        Key key;
        std::uint32_t child, sibling;
    };

    // A slot of the table that numbers the points: the number and a check value
    // from the point's hash, so a look-up reads the point only when it likely matches.
    struct Slot {
        PointId id;
        std::uint32_t check;
    };

    PointId Number(const PathPoint& point, std::vector<Slot>& table);
    void Add(PathStore::Id id, PointId first, PointId last);
    void Remove(Key key) { m_paths[key].last = None; }
    void PushEnd(PointId point, Key key);
    std::uint32_t Meld(std::uint32_t a, std::uint32_t b);
    std::uint32_t PopRoot(std::uint32_t root);
    Key FirstStart(PointId point);
    Key FirstEnd(PointId point);

    PathStore& m_store;
    std::vector<Point> m_points;  // by number
    std::vector<Path> m_paths;  // by key
    std::vector<HeapNode> m_nodes;
    std::vector<std::uint32_t> m_pairs;
    Key m_head = 0;
};

}  // namespace velkar
