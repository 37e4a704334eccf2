#include "split/travelordering.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include <unistd.h>

#include "job/binaryfile.h"
#include "split/pipelinefiles.h"

namespace velkar {

namespace {

constexpr double Infinite = std::numeric_limits<double>::infinity();
// Reversals longer than this are passed over: on a million paths one of them
// would cost more than the travel it could save is worth waiting for.
constexpr std::size_t MaxReversal = 50000;
// Work units of the improvement per path, and at least this many in all.
constexpr std::uint64_t WorkPerPath = 16;
constexpr std::uint64_t MinWork = 200000;

double Distance(TravelPoint a, TravelPoint b) {
    const double dx = double(a.x) - double(b.x), dy = double(a.y) - double(b.y);
    return std::sqrt(dx * dx + dy * dy);
}

double Square(TravelPoint a, TravelPoint b) {
    const double dx = double(a.x) - double(b.x), dy = double(a.y) - double(b.y);
    return dx * dx + dy * dy;
}

// One way into a path: the path and the index of its point.
struct Entry {
    std::int32_t x;
    std::int32_t y;
    std::int32_t outX;  // where the path is left when entered here
    std::int32_t outY;
    std::uint32_t path;
    std::uint32_t vertex;
};

// A uniform grid over points, about two to a cell. Entries are removed lazily:
// a search drops the entries of used paths from the cells it passes.
class PointGrid {
public:
    void Build(std::vector<Entry> entries) {
        m_entries = std::move(entries);
        std::int64_t minX = 0, minY = 0, maxX = 0, maxY = 0;
        if (!m_entries.empty()) {
            minX = maxX = m_entries[0].x;
            minY = maxY = m_entries[0].y;
        }
        for (const Entry& e : m_entries) {
            minX = std::min<std::int64_t>(minX, e.x), maxX = std::max<std::int64_t>(maxX, e.x);
            minY = std::min<std::int64_t>(minY, e.y), maxY = std::max<std::int64_t>(maxY, e.y);
        }
        const double w = double(maxX - minX + 1), h = double(maxY - minY + 1);
        const double target = std::max(1.0, double(m_entries.size()) / 2.0);
        m_dCell = std::max(1.0, std::sqrt(w * h / target));
        m_dCell = std::max({m_dCell, w / target, h / target});
        m_nMinX = minX, m_nMinY = minY;
        m_nX = std::int64_t(w / m_dCell) + 1;
        m_nY = std::int64_t(h / m_dCell) + 1;
        m_start.assign(std::size_t(m_nX * m_nY) + 1, 0);
        for (const Entry& e : m_entries) ++m_start[CellOf(e.x, e.y) + 1];
        for (std::size_t c = 1; c < m_start.size(); ++c) m_start[c] += m_start[c - 1];
        m_count.assign(m_start.size() - 1, 0);
        std::vector<Entry> sorted(m_entries.size());
        for (const Entry& e : m_entries) {
            const std::size_t c = CellOf(e.x, e.y);
            sorted[m_start[c] + m_count[c]++] = e;
        }
        m_entries = std::move(sorted);
    }

    std::size_t Cells() const { return m_count.size(); }

    // The live entries, in cell order.
    std::vector<Entry> Live(const std::vector<char>& used) const {
        std::vector<Entry> live;
        for (std::size_t c = 0; c < m_count.size(); ++c)
            for (std::uint32_t k = 0; k < m_count[c]; ++k)
                if (!used[m_entries[m_start[c] + k].path]) live.push_back(m_entries[m_start[c] + k]);
        return live;
    }

    // The nearest entry of an unused path; ties go to the lower path, then the
    // lower vertex, so the answer does not depend on the order within cells.
    bool Nearest(TravelPoint q, const std::vector<char>& used, const std::vector<std::uint32_t>& drawn, Entry& best) {
        auto Earlier = [&](const Entry& a, const Entry& b) {
            if (b.path == std::numeric_limits<std::uint32_t>::max()) return true;
            return drawn[a.path] < drawn[b.path] || (a.path == b.path && a.vertex < b.vertex);
        };
        const std::int64_t cx = ClampedCell(q.x, m_nMinX, m_nX), cy = ClampedCell(q.y, m_nMinY, m_nY);
        const std::int64_t reach = std::max({cx, m_nX - 1 - cx, cy, m_nY - 1 - cy});
        double bestSq = Infinite;
        for (std::int64_t r = 0; r <= reach; ++r) {
            auto visit = [&](std::int64_t x, std::int64_t y) {
                if (x < 0 || y < 0 || x >= m_nX || y >= m_nY) return;
                const std::size_t c = std::size_t(y * m_nX + x);
                Entry* cell = m_entries.data() + m_start[c];
                for (std::uint32_t k = 0; k < m_count[c];) {
                    const Entry& e = cell[k];
                    if (used[e.path]) {
                        cell[k] = cell[--m_count[c]];
                        continue;
                    }
                    const double sq = Square(q, TravelPoint{e.x, e.y});
                    if (sq < bestSq || (sq == bestSq && Earlier(e, best))) {
                        bestSq = sq;
                        best = e;
                    }
                    ++k;
                }
            };
            if (r == 0) {
                visit(cx, cy);
            } else {
                for (std::int64_t x = cx - r; x <= cx + r; ++x) visit(x, cy - r), visit(x, cy + r);
                for (std::int64_t y = cy - r + 1; y <= cy + r - 1; ++y) visit(cx - r, y), visit(cx + r, y);
            }
            // Cells of the next ring lie at least r cells away.
            const double bound = double(r) * m_dCell;
            if (bestSq <= bound * bound) break;
        }
        return bestSq != Infinite;
    }

    // Calls f for every entry in the cell of q and the eight around it.
    template <typename F>
    void ForNeighbours(TravelPoint q, F f) const {
        const std::int64_t cx = ClampedCell(q.x, m_nMinX, m_nX), cy = ClampedCell(q.y, m_nMinY, m_nY);
        for (std::int64_t y = std::max<std::int64_t>(0, cy - 1); y <= std::min(m_nY - 1, cy + 1); ++y)
            for (std::int64_t x = std::max<std::int64_t>(0, cx - 1); x <= std::min(m_nX - 1, cx + 1); ++x) {
                const std::size_t c = std::size_t(y * m_nX + x);
                for (std::uint32_t k = 0; k < m_count[c]; ++k) f(m_entries[m_start[c] + k]);
            }
    }

private:
    std::int64_t ClampedCell(std::int32_t v, std::int64_t min, std::int64_t n) const {
        const double c = std::floor((double(v) - double(min)) / m_dCell);
        return c < 0 ? 0 : c >= double(n) ? n - 1 : std::int64_t(c);
    }
    std::size_t CellOf(std::int32_t x, std::int32_t y) const {
        return std::size_t(ClampedCell(y, m_nMinY, m_nY) * m_nX + ClampedCell(x, m_nMinX, m_nX));
    }

    std::vector<Entry> m_entries;
    std::vector<std::uint32_t> m_start;
    std::vector<std::uint32_t> m_count;
    std::int64_t m_nMinX = 0, m_nMinY = 0, m_nX = 1, m_nY = 1;
    double m_dCell = 1.0;
};

// The paths of one knife and the order being built for them.
class Tour {
public:
    Tour(const std::vector<JobRecord>& records, const CTravelOrdering::Options& options, TravelPoint start)
        : m_records(records), m_options(options), m_start(start) {}

    // False when a line comes before any move.
    bool ReadPaths() {
        if (!m_records.empty() && m_records[0].code != RecMove) return false;
        for (std::size_t i = 0; i < m_records.size();) {
            std::size_t e = i + 1;
            while (e < m_records.size() && m_records[e].code != RecMove) ++e;
            bool cuts = false;
            for (std::size_t k = i + 1; k < e && !cuts; ++k) cuts = !SamePoint(m_records[k], m_records[i]);
            if (cuts) {
                m_begin.push_back(i);
                m_end.push_back(e);
                m_closed.push_back(SamePoint(m_records[i], m_records[e - 1]));
            }
            i = e;
        }
        NumberByPlace();
        return true;
    }

    // Numbers the paths along a Z curve through their first points, so that
    // paths near each other have their data near each other in memory; the
    // searches below touch paths in that order. m_drawn keeps the drawing order
    // for ties.
    void NumberByPlace() {
        const std::size_t n = m_begin.size();
        if (n > 0xFFFFFFFFu) throw std::length_error("too many paths to order");
        std::int64_t minX = 0, minY = 0, maxX = 0, maxY = 0;
        for (std::size_t p = 0; p < n; ++p) {
            const JobRecord& r = m_records[m_begin[p]];
            if (p == 0) minX = maxX = r.x, minY = maxY = r.y;
            minX = std::min<std::int64_t>(minX, r.x), maxX = std::max<std::int64_t>(maxX, r.x);
            minY = std::min<std::int64_t>(minY, r.y), maxY = std::max<std::int64_t>(maxY, r.y);
        }
        const double scale = 65535.0 / double(std::max<std::int64_t>({1, maxX - minX, maxY - minY}));
        auto spread = [](std::uint64_t v) {  // 16 bits to every other of 32
            v = (v | (v << 8)) & 0x00FF00FFu;
            v = (v | (v << 4)) & 0x0F0F0F0Fu;
            v = (v | (v << 2)) & 0x33333333u;
            return (v | (v << 1)) & 0x55555555u;
        };
        std::vector<std::uint64_t> keys(n);
        for (std::size_t p = 0; p < n; ++p) {
            const JobRecord& r = m_records[m_begin[p]];
            const auto gx = std::uint64_t(double(r.x - minX) * scale), gy = std::uint64_t(double(r.y - minY) * scale);
            keys[p] = (spread(gx) | (spread(gy) << 1)) << 32 | p;
        }
        std::sort(keys.begin(), keys.end());
        std::vector<std::size_t> begin(n), end(n);
        std::vector<char> closed(n);
        m_drawn.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            const auto p = std::size_t(keys[i] & 0xFFFFFFFFu);
            begin[i] = m_begin[p], end[i] = m_end[p], closed[i] = m_closed[p];
            m_drawn[i] = std::uint32_t(p);
        }
        m_begin.swap(begin), m_end.swap(end), m_closed.swap(closed);
    }

    void Greedy() {
        const std::size_t n = m_begin.size();
        std::vector<Entry> entries;
        for (std::uint32_t p = 0; p < n; ++p) {
            const std::size_t last = Last(p);
            if (m_closed[p] && m_options.rotateClosed) {
                for (std::size_t v = 0; v < last; ++v) entries.push_back(Make(p, v));
            } else {
                entries.push_back(Make(p, 0));
                if (!m_closed[p] && m_options.reverseOpen) entries.push_back(Make(p, last));
            }
        }
        const double perPath = n == 0 ? 0.0 : double(entries.size()) / double(n);
        PointGrid grid;
        grid.Build(std::move(entries));
        std::vector<char> used(n, 0);
        m_entry.assign(n, 0);
        m_reversed.assign(n, 0);
        m_in.assign(n, TravelPoint{});
        m_out.assign(n, TravelPoint{});
        m_order.clear();
        m_order.reserve(n);
        TravelPoint at = m_start;
        for (std::size_t step = 0; step < n; ++step) {
            // Used paths leave dead entries behind; a grid mostly empty makes
            // searches walk far, so it is rebuilt around the live ones.
            if (grid.Cells() > 64 && double(n - step) * perPath * 8 < double(grid.Cells())) grid.Build(grid.Live(used));
            Entry best{};
            best.path = std::numeric_limits<std::uint32_t>::max();
            if (!grid.Nearest(at, used, m_drawn, best)) break;
            used[best.path] = 1;
            // The entry carries both ends: the path's records lie far apart in memory.
            m_order.push_back(best.path);
            m_entry[best.path] = best.vertex;
            m_reversed[best.path] = !m_closed[best.path] && best.vertex != 0;
            m_in[best.path] = {best.x, best.y};
            m_out[best.path] = at = {best.outX, best.outY};
        }
    }

    // 2-opt on the sequence: reversing a run of paths reverses each of them,
    // which every path allows (a closed one leaves where it came in).
    void Improve() {
        const std::size_t n = m_order.size();
        if (n < 2) return;
        m_pos.assign(m_begin.size(), 0);
        for (std::size_t i = 0; i < n; ++i) m_pos[m_order[i]] = i;
        std::vector<Entry> ends;
        ends.reserve(2 * n);
        for (std::uint32_t p : m_order) {
            ends.push_back(Make(p, m_entry[p]));
            if (!m_closed[p]) ends.push_back(Make(p, m_entry[p] == 0 ? Last(p) : 0));
        }
        PointGrid grid;
        grid.Build(std::move(ends));

        std::uint64_t budget = std::max<std::uint64_t>(MinWork, WorkPerPath * n);
        std::vector<std::uint32_t> queue(m_order.begin(), m_order.end());
        std::vector<char> queued(m_begin.size(), 1);
        for (std::size_t head = 0; head < queue.size() && budget > 0; ++head) {
            const std::uint32_t p = queue[head];
            queued[p] = 0;
            for (std::size_t edge : {m_pos[p], m_pos[p] + 1}) {
                if (edge >= n) continue;
                std::size_t from = 0, to = 0;
                if (!BestMove(grid, edge, from, to, budget)) continue;
                Reverse(from, to);
                budget -= std::min<std::uint64_t>(budget, to - from + 1);
                for (std::size_t i : {from, to}) {
                    for (std::size_t k = i == 0 ? 0 : i - 1; k <= std::min(n - 1, i + 1); ++k) {
                        const std::uint32_t q = m_order[k];
                        if (!queued[q]) queued[q] = 1, queue.push_back(q);
                    }
                }
                break;
            }
            // The queue only grows; drop what was handled when it gets long.
            if (head > (1u << 20) && head * 2 > queue.size()) {
                queue.erase(queue.begin(), queue.begin() + std::ptrdiff_t(head + 1));
                head = std::size_t(-1);
            }
        }
    }

    // Takes each path's best way in between its neighbours in the order, first to last.
    void ChooseWaysIn() {
        const std::size_t n = m_order.size();
        TravelPoint before = m_start;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t p = m_order[i];
            const bool hasNext = i + 1 < n;
            const TravelPoint next = hasNext ? Entrance(m_order[i + 1]) : TravelPoint{};
            auto cost = [&](TravelPoint in, TravelPoint out) {
                return Distance(before, in) + (hasNext ? Distance(out, next) : 0.0);
            };
            if (m_closed[p] && m_options.rotateClosed) {
                double best = cost(Point(p, m_entry[p]), Point(p, m_entry[p]));
                for (std::size_t v = 0; v < Last(p); ++v) {
                    const double c = cost(Point(p, v), Point(p, v));
                    if (c < best) best = c, SetEntry(p, v);
                }
            } else if (!m_closed[p] && m_options.reverseOpen) {
                const TravelPoint a = Point(p, 0), b = Point(p, Last(p));
                const bool backwards = cost(b, a) < cost(a, b) || (cost(b, a) == cost(a, b) && m_reversed[p]);
                SetEntry(p, backwards ? Last(p) : 0);
            }
            before = Exit(p);
        }
    }

    std::vector<JobRecord> Write(TravelPoint& end) const {
        std::vector<JobRecord> out;
        out.reserve(m_records.size());
        TravelPoint at = m_start, chainStart = m_start;
        bool chainOpen = false;
        for (std::uint32_t p : m_order) {
            const bool join = m_options.join && chainOpen && !m_closed[p] && Entrance(p) == at && !(Exit(p) == chainStart);
            if (!join) chainStart = Entrance(p);
            const std::size_t b = m_begin[p], last = Last(p);
            auto put = [&](std::size_t v, bool first) {
                if (first && join) return;
                JobRecord r = m_records[b + v];
                r.code = first ? RecMove : RecLine;
                out.push_back(r);
            };
            if (m_closed[p]) {
                const std::size_t j = m_entry[p];
                put(j, true);
                for (std::size_t v = j + 1; v <= last; ++v) put(v, false);
                for (std::size_t v = 1; v <= j; ++v) put(v, false);
            } else if (m_reversed[p]) {
                for (std::size_t v = last + 1; v-- > 0;) put(v, v == last);
            } else {
                for (std::size_t v = 0; v <= last; ++v) put(v, v == 0);
            }
            chainOpen = !m_closed[p];
            at = Exit(p);
        }
        end = at;
        return out;
    }

private:
    static bool SamePoint(const JobRecord& a, const JobRecord& b) { return a.x == b.x && a.y == b.y; }
    std::size_t Last(std::uint32_t p) const { return m_end[p] - m_begin[p] - 1; }
    TravelPoint Point(std::uint32_t p, std::size_t v) const {
        const JobRecord& r = m_records[m_begin[p] + v];
        return {r.x, r.y};
    }
    Entry Make(std::uint32_t p, std::size_t v) const {
        const TravelPoint t = Point(p, v);
        const TravelPoint out = m_closed[p] ? t : Point(p, v == 0 ? Last(p) : 0);
        return {t.x, t.y, out.x, out.y, p, std::uint32_t(v)};
    }
    // Cuts path p first at its vertex v (an open path: v is its first or last).
    void SetEntry(std::uint32_t p, std::size_t v) {
        m_entry[p] = std::uint32_t(v);
        m_reversed[p] = !m_closed[p] && v != 0;
        m_in[p] = Point(p, v);
        m_out[p] = m_closed[p] ? m_in[p] : Point(p, v == 0 ? Last(p) : 0);
    }
    TravelPoint Entrance(std::uint32_t p) const { return m_in[p]; }
    TravelPoint Exit(std::uint32_t p) const { return m_out[p]; }
    // Ends of the knife-up moves around position i: before it (the start for i = 0) and into it.
    TravelPoint ExitAt(std::size_t i) const { return i == 0 ? m_start : Exit(m_order[i - 1]); }
    // Length of the move into position i; nothing follows the last path.
    double Move(TravelPoint from, std::size_t i) const {
        return i < m_order.size() ? Distance(from, Entrance(m_order[i])) : 0.0;
    }
    double MoveTo(TravelPoint from, std::size_t i, TravelPoint to) const {
        return i < m_order.size() ? Distance(from, to) : 0.0;
    }

    // The best reversal of a run of positions [from, to] that shortens the move
    // into position `edge`, looking at path ends near either end of that move.
    bool BestMove(const PointGrid& grid, std::size_t edge, std::size_t& from, std::size_t& to, std::uint64_t& budget) const {
        const std::size_t n = m_order.size();
        const TravelPoint x = ExitAt(edge), y = Entrance(m_order[edge]);
        const double current = Distance(x, y);
        if (current == 0.0) return false;
        double bestGain = 1e-7;
        bool found = false;
        auto consider = [&](std::size_t lo, std::size_t hi, double gain) {
            if (lo < hi + 1 && hi - lo < MaxReversal && gain > bestGain) bestGain = gain, from = lo, to = hi, found = true;
        };
        grid.ForNeighbours(x, [&](const Entry& e) {
            if (budget > 0) --budget;
            const std::size_t k = m_pos[e.path];
            const TravelPoint pe{e.x, e.y};
            if (!(Exit(e.path) == pe) || Distance(x, pe) >= current) return;
            if (k >= edge) {
                consider(edge, k, current + Move(pe, k + 1) - Distance(x, pe) - MoveTo(y, k + 1, Entrance(k + 1 < n ? m_order[k + 1] : 0)));
            } else if (k + 1 < edge) {
                const TravelPoint a = Entrance(m_order[k + 1]);
                consider(k + 1, edge - 1, Distance(pe, a) + current - Distance(pe, x) - Distance(a, y));
            }
        });
        grid.ForNeighbours(y, [&](const Entry& e) {
            if (budget > 0) --budget;
            const std::size_t k = m_pos[e.path];
            const TravelPoint pe{e.x, e.y};
            if (!(Entrance(e.path) == pe) || Distance(y, pe) >= current) return;
            if (k > edge) {
                const TravelPoint b = Exit(m_order[k - 1]);
                consider(edge, k - 1, current + Distance(b, pe) - Distance(x, b) - Distance(y, pe));
            } else if (k < edge) {
                const TravelPoint b = ExitAt(k);
                consider(k, edge - 1, Distance(b, pe) + current - Distance(b, x) - Distance(pe, y));
            }
        });
        return found;
    }

    void Reverse(std::size_t from, std::size_t to) {
        std::reverse(m_order.begin() + std::ptrdiff_t(from), m_order.begin() + std::ptrdiff_t(to) + 1);
        for (std::size_t i = from; i <= to; ++i) {
            const std::uint32_t p = m_order[i];
            m_pos[p] = i;
            if (!m_closed[p]) {
                m_reversed[p] = !m_reversed[p];
                m_entry[p] = m_reversed[p] ? std::uint32_t(Last(p)) : 0;
                std::swap(m_in[p], m_out[p]);
            }
        }
    }

    const std::vector<JobRecord>& m_records;
    CTravelOrdering::Options m_options;
    TravelPoint m_start;
    std::vector<std::size_t> m_begin, m_end;
    std::vector<std::uint32_t> m_drawn;  // per path: its place in the drawing order
    std::vector<char> m_closed;
    std::vector<std::uint32_t> m_order;  // paths in cutting order
    std::vector<std::uint32_t> m_entry;  // per path: the vertex cut first
    std::vector<char> m_reversed;        // per open path: cut last point first
    std::vector<std::size_t> m_pos;      // per path: its place in m_order
    std::vector<TravelPoint> m_in, m_out;  // per path: where it is entered and left
};

}  // namespace

std::vector<JobRecord> CTravelOrdering::Order(const std::vector<JobRecord>& records, TravelPoint start, TravelPoint& end) {
    Tour tour(records, m_options, start);
    if (!tour.ReadPaths()) {
        end = start;
        for (const JobRecord& r : records)
            if (r.code == RecMove || r.code == RecLine) end = {r.x, r.y};
        return records;
    }
    tour.Greedy();
    if (m_options.improve) {
        tour.Improve();
        tour.ChooseWaysIn();
    }
    return tour.Write(end);
}

double CTravelOrdering::TravelOf(const std::vector<JobRecord>& records, TravelPoint start) {
    double travel = 0;
    TravelPoint at = start;
    for (const JobRecord& r : records) {
        if (r.code == RecMove) travel += Distance(at, {r.x, r.y});
        if (r.code == RecMove || r.code == RecLine) at = {r.x, r.y};
    }
    return travel;
}

namespace {

std::vector<JobRecord> ReadRecords(BinaryFile& in) {
    std::vector<JobRecord> records;
    std::vector<unsigned char> chunk(RecordSize * 4096);
    for (;;) {
        const std::size_t got = in.Read(chunk.data(), chunk.size());
        for (std::size_t i = 0; i + RecordSize <= got; i += RecordSize) {
            const JobRecord r = JobRecord::Decode(chunk.data() + i);
            if (r.code == RecMove || r.code == RecLine) records.push_back(r);
        }
        if (got < chunk.size()) break;
    }
    return records;
}

}  // namespace

ConversionResult OrderKnifeFilesByTravel(std::uint8_t mask) {
    std::vector<std::vector<JobRecord>> knives(8);
    std::int32_t maxY = std::numeric_limits<std::int32_t>::min();
    for (int knife = 1; knife <= 8; ++knife) {
        if (!(mask & (1u << (knife - 1)))) continue;
        BinaryFile in;
        if (!in.Open(PipelineFiles::KnifeFile(knife), BinaryFile::Mode::Read)) return ConversionFileFailed;
        knives[std::size_t(knife - 1)] = ReadRecords(in);
        for (const JobRecord& r : knives[std::size_t(knife - 1)]) maxY = std::max(maxY, r.y);
    }
    TravelPoint at{0, maxY == std::numeric_limits<std::int32_t>::min() ? 0 : maxY};
    CTravelOrdering ordering;
    std::vector<unsigned char> image;
    for (int knife = 1; knife <= 8; ++knife) {
        if (!(mask & (1u << (knife - 1)))) continue;
        const std::vector<JobRecord> ordered = ordering.Order(knives[std::size_t(knife - 1)], at, at);
        const std::string scratch = PipelineFiles::BandScratch();
        BinaryFile out;
        if (!out.Open(scratch, BinaryFile::Mode::CreateTruncate)) return ConversionFileFailed;
        try {
            image.resize(ordered.size() * RecordSize);
            for (std::size_t i = 0; i < ordered.size(); ++i) ordered[i].Encode(image.data() + i * RecordSize);
            out.Write(image.data(), image.size());
            out.Close();
            BinaryFile::Rename(scratch, PipelineFiles::KnifeFile(knife));
        } catch (...) {
            out.Abandon();
            ::unlink(scratch.c_str());
            throw;
        }
    }
    return ConversionDone;
}

}  // namespace velkar
