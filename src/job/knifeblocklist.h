#pragma once

#include <cstddef>
#include <list>

#include "job/knifeblock.h"

namespace velkar {

// An ordered list of knife blocks, held by value. Positions are stable handles:
// inserting elsewhere leaves them valid.
class CKnifeBlockList {
    using Nodes = std::list<CKnifeBlock>;

public:
    using Position = Nodes::iterator;

    Position AddHead(const CKnifeBlock& block) { return m_nodes.insert(m_nodes.begin(), block); }
    Position AddTail(const CKnifeBlock& block) { return m_nodes.insert(m_nodes.end(), block); }
    // Inserts block in front of the node at pos (EndPosition() appends).
    Position InsertBefore(Position pos, const CKnifeBlock& block) { return m_nodes.insert(pos, block); }

    Position HeadPosition() { return m_nodes.begin(); }
    Position EndPosition() { return m_nodes.end(); }
    static Position NextPosition(Position pos) { return std::next(pos); }
    static CKnifeBlock& ValueAt(Position pos) { return *pos; }

    void RemoveAll() { m_nodes.clear(); }
    std::size_t Count() const { return m_nodes.size(); }
    bool IsEmpty() const { return m_nodes.empty(); }

private:
    Nodes m_nodes;
};

}  // namespace velkar
