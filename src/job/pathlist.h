#pragma once

#include <cstddef>
#include <list>

#include "job/jobpath.h"

namespace velkar {

// An ordered list of paths that owns them (held by value, moved in and out). A
// Position is a stable handle to one node: adding or removing other nodes
// leaves it valid. A path taken out is handed to the caller; paths still held
// are destroyed with the list.
class CPathList {
    using Nodes = std::list<CJobPath>;

public:
    using Position = Nodes::iterator;

    Position AddTail(CJobPath path) { return m_nodes.insert(m_nodes.end(), std::move(path)); }
    // Places path right after the node at pos; returns the new node's position.
    Position InsertAfter(Position pos, CJobPath path) { return m_nodes.insert(std::next(pos), std::move(path)); }
    // Takes the first path out; the list must not be empty.
    CJobPath RemoveHead() { return RemoveAt(m_nodes.begin()); }
    // Takes the path at pos out; pos becomes invalid, every other position stays valid.
    CJobPath RemoveAt(Position pos) {
        CJobPath path = std::move(*pos);
        m_nodes.erase(pos);
        return path;
    }

    // Walking in order: HeadPosition() up to EndPosition(), which holds no path.
    Position HeadPosition() { return m_nodes.begin(); }
    Position EndPosition() { return m_nodes.end(); }
    static Position NextPosition(Position pos) { return std::next(pos); }
    static CJobPath& PathAt(Position pos) { return *pos; }

    std::size_t Count() const { return m_nodes.size(); }
    bool IsEmpty() const { return m_nodes.empty(); }

private:
    Nodes m_nodes;
};

}  // namespace velkar
