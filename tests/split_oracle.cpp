#include "split_oracle.h"

#include <cstdint>
#include <memory>

#include "job/pathlist.h"

namespace velkar::test {

namespace {

using Pos = CPathList::Position;

bool Same(const JobRecord& a, const JobRecord& b) { return a.x == b.x && a.y == b.y; }

bool Read(const std::vector<JobRecord>& in, CPathList& paths) {
    CJobPath* current = nullptr;
    for (const JobRecord& r : in) {
        if (r.code == RecMove) {
            current = &CPathList::PathAt(paths.AddTail(CJobPath(r)));
        } else if (r.code == RecLine) {
            if (!current) return false;
            current->Append(r);
        }
    }
    return true;
}

void Emit(const CJobPath& p, std::vector<JobRecord>& out) {
    for (std::size_t i = 0; i < p.Size(); ++i) out.push_back(p.At(i));
}

void Cleanup(CPathList& paths) {
    for (Pos pos = paths.HeadPosition(); pos != paths.EndPosition();) {
        Pos next = CPathList::NextPosition(pos);
        CJobPath& p = CPathList::PathAt(pos);
        if (p.Size() == 1) {
            paths.RemoveAt(pos);
        } else if (p.Size() == 2 && Same(p.At(0), p.At(1))) {
            paths.RemoveAt(pos);
        } else if (p.Size() >= 3) {
            std::vector<JobRecord> asRead = p.Records();
            for (std::size_t i = asRead.size() - 1; i >= 1; --i)
                if (Same(asRead[i], asRead[i - 1])) p.RemoveAt(i);
        }
        pos = next;
    }
}

void Fold(CPathList& paths) {
    for (Pos pos = paths.HeadPosition(); pos != paths.EndPosition();) {
        Pos next = CPathList::NextPosition(pos);
        CJobPath& p = CPathList::PathAt(pos);
        if (p.Size() >= 3) {
            const long n = static_cast<long>(p.Size()) - 1;
            long i = -1;
            for (long t = 1; t <= n - 1; ++t) {
                if (Same(p.At(static_cast<std::size_t>(t - 1)), p.At(static_cast<std::size_t>(t + 1)))) {
                    i = t;
                    break;
                }
            }
            if (i >= 0) {
                long m = 0;
                for (long k = 1;; ++k) {
                    if (i - k < 0 || i + k > n) break;
                    if (!Same(p.At(static_cast<std::size_t>(i - k)), p.At(static_cast<std::size_t>(i + k)))) break;
                    ++m;
                }
                if (i + m < n) {
                    JobRecord first = p.At(static_cast<std::size_t>(i + m));
                    first.code = RecMove;
                    CJobPath rest(first);
                    for (long j = i + m + 1; j <= n; ++j) rest.Append(p.At(static_cast<std::size_t>(j)));
                    paths.AddTail(std::move(rest));
                }
                while (static_cast<long>(p.Size()) > i + 1) p.RemoveAt(p.Size() - 1);
            }
        }
        pos = next;
    }
}

void Chain(CPathList& paths, std::vector<JobRecord>& out) {
    while (!paths.IsEmpty()) {
        Pos hp = paths.HeadPosition();
        CJobPath& h = CPathList::PathAt(hp);
        const JobRecord a = h.First();
        const JobRecord b = h.Last();
        bool merged = false;
        for (Pos qp = CPathList::NextPosition(hp); qp != paths.EndPosition(); qp = CPathList::NextPosition(qp)) {
            CJobPath& q = CPathList::PathAt(qp);
            merged = true;
            if (Same(a, q.Last())) {
                for (std::size_t i = 1; i < h.Size(); ++i) q.Append(h.At(i));
                paths.RemoveAt(hp);
            } else if (Same(b, q.First())) {
                for (std::size_t i = 1; i < q.Size(); ++i) h.Append(q.At(i));
                paths.RemoveAt(qp);
            } else if (Same(a, q.First())) {
                JobRecord move = h.Last();
                move.code = RecMove;
                CJobPath joined(move);
                for (std::size_t i = h.Size() - 2; i >= 1; --i) joined.Append(h.At(i));
                JobRecord line = h.First();
                line.code = RecLine;
                joined.Append(line);
                for (std::size_t i = 1; i < q.Size(); ++i) joined.Append(q.At(i));
                paths.AddTail(std::move(joined));
                paths.RemoveAt(hp);
                paths.RemoveAt(qp);
            } else if (Same(b, q.Last())) {
                for (std::size_t i = q.Size() - 2; i >= 1; --i) h.Append(q.At(i));
                JobRecord line = q.First();
                line.code = RecLine;
                h.Append(line);
                paths.RemoveAt(qp);
            } else {
                merged = false;
            }
            if (merged) break;
        }
        if (!merged) {
            Emit(h, out);
            paths.RemoveHead();
        }
    }
}

// One neighbour-swapping pass over [head, stop); true when it moved something.
// `stop` is the first path not to be compared with, or the end.
template <typename Greater, typename Stop>
bool SwapPass(CPathList& paths, Greater greater, Stop stop) {
    bool moved = false;
    Pos p = paths.HeadPosition();
    while (p != paths.EndPosition()) {
        Pos r = CPathList::NextPosition(p);
        if (r == paths.EndPosition() || stop(CPathList::PathAt(r))) break;
        if (greater(CPathList::PathAt(p), CPathList::PathAt(r))) {
            CJobPath front = paths.RemoveAt(p);
            p = paths.InsertAfter(r, std::move(front));  // p keeps moving on with the moved path
            moved = true;
        } else {
            p = r;
        }
    }
    return moved;
}

}  // namespace

bool LiteralChain(const std::vector<JobRecord>& in, std::vector<JobRecord>& out) {
    CPathList paths;
    if (!Read(in, paths)) return false;
    out.clear();
    Cleanup(paths);
    Fold(paths);
    for (Pos pos = paths.HeadPosition(); pos != paths.EndPosition();) {
        Pos next = CPathList::NextPosition(pos);
        CJobPath& p = CPathList::PathAt(pos);
        if (Same(p.First(), p.Last())) {
            Emit(p, out);
            paths.RemoveAt(pos);
        }
        pos = next;
    }
    Chain(paths, out);
    return true;
}

bool LiteralBands(const std::vector<JobRecord>& in, std::vector<JobRecord>& out) {
    CPathList paths;
    if (!Read(in, paths)) return false;
    out.clear();
    auto byY = [](const CJobPath& p, const CJobPath& r) { return p.First().y > r.First().y; };
    while (SwapPass(paths, byY, [](const CJobPath&) { return false; })) {
    }
    while (!paths.IsEmpty()) {
        const std::int64_t limit = std::int64_t{CPathList::PathAt(paths.HeadPosition()).First().y} + 500;
        auto beyond = [&](const CJobPath& r) { return r.First().y > limit; };
        auto byX = [](const CJobPath& p, const CJobPath& r) { return p.First().x > r.First().x; };
        while (SwapPass(paths, byX, beyond)) {
        }
        while (!paths.IsEmpty() && !beyond(CPathList::PathAt(paths.HeadPosition()))) Emit(paths.RemoveHead(), out);
    }
    return true;
}

std::vector<JobRecord> LiteralOrder(const std::vector<JobRecord>& in) {
    std::vector<JobRecord> current = in, next;
    if (LiteralChain(current, next)) current = next;
    if (LiteralChain(current, next)) current = next;
    if (LiteralBands(current, next)) current = next;
    return current;
}

}  // namespace velkar::test
