#include "split/pathordering.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "job/binaryfile.h"
#include "split/pathchainer.h"
#include "split/pathstore.h"
#include "split/pipelinefiles.h"

namespace velkar {

namespace {

using Id = PathStore::Id;
using PathOrder = std::vector<Id>;

constexpr std::int64_t BandHeight = 500;

// Reads the knife file into paths: a move starts a path, a line extends the
// current one, other codes are passed over. A line before any move gives
// ConversionLineBeforeMove and the paths read so far are of no use.
ConversionResult ReadPaths(const std::string& knifeFile, PathStore& store, PathOrder& paths) {
    BinaryFile in;
    if (!in.Open(knifeFile, BinaryFile::Mode::Read)) return ConversionFileFailed;
    struct stat st {};
    if (::stat(knifeFile.c_str(), &st) == 0 && st.st_size > 0) {
        // Joins move paths to the end of the point array: room for as many points
        // again spares moving the whole array when they come.
        const std::size_t records = static_cast<std::size_t>(st.st_size) / RecordSize;
        store.Reserve(2 * records, records / 2);
        paths.reserve(records / 2);
    }
    bool any = false;
    std::vector<unsigned char> buffer(RecordSize * 8192);
    for (;;) {
        const std::size_t got = in.Read(buffer.data(), buffer.size());
        const unsigned char* record = buffer.data();
        const unsigned char* const end = record + got / RecordSize * RecordSize;
        for (; record != end; record += RecordSize) {
            const JobRecord r = JobRecord::Decode(record);
            if (r.code == RecMove) {
                paths.push_back(store.Add(PathPoint::Of(r)));
                any = true;
            } else if (r.code == RecLine) {
                if (!any) return ConversionLineBeforeMove;
                store.AppendToNewest(PathPoint::Of(r));
            }
        }
        if (got < buffer.size()) break;
    }
    return ConversionDone;
}

// Removes paths of one point and two-point paths on one place; in longer
// paths keeps only the first of each run of points on one place. True when
// anything changed.
bool CleanPaths(PathStore& store, PathOrder& paths) {
    bool changed = false;
    std::size_t kept = 0;
    for (const Id id : paths) {
        const std::size_t n = store.Size(id);
        PathPoint* r = store.Points(id);
        if (n == 1 || (n == 2 && r[0].SamePlace(r[1]))) {
            changed = true;
            continue;
        }
        if (n >= 3) {
            std::size_t size = 1;
            for (std::size_t i = 1; i < n; ++i) {
                if (r[i].SamePlace(r[i - 1])) continue;
                if (size != i) r[size] = r[i];
                ++size;
            }
            store.Shrink(id, size);
            changed = changed || size != n;
        }
        paths[kept++] = id;
    }
    paths.resize(kept);
    return changed;
}

// Ends each path at its first point of return (where the points on either side
// stand on one place); the retraced points are dropped and what follows them
// becomes a new path at the tail. A path split off while the last one is
// handled is not visited. True when any path was shortened.
bool FoldPaths(PathStore& store, PathOrder& paths) {
    bool changed = false;
    for (std::size_t k = 0; k < paths.size(); ++k) {
        const bool last = k + 1 == paths.size();
        const Id id = paths[k];
        const PathPoint* r = store.Points(id);
        const std::size_t size = store.Size(id);
        if (size >= 3) {
            const std::size_t n = size - 1;
            std::size_t turn = 1;
            while (turn < n && !r[turn - 1].SamePlace(r[turn + 1])) ++turn;
            if (turn < n) {
                changed = true;
                std::size_t m = 0;
                while (m < turn && turn + m + 1 <= n && r[turn - m - 1].SamePlace(r[turn + m + 1])) ++m;
                if (turn + m < n)
                    paths.push_back(store.Split(id, turn + 1, turn + m));
                else
                    store.Shrink(id, turn + 1);
            }
        }
        if (last) break;
    }
    return changed;
}

// Cleans and folds the paths, then lists them in the order a chaining step
// writes them: closed paths first, then the chained open paths.
//
// Paths that come out of a chaining step meet nowhere: a path is finished only
// when no other has an end where it ends, and later paths end only where their
// parts did. So when a second step changes no path, its chaining joins nothing
// and writes the open paths in list order; that is taken without the index.
PathOrder ChainedPaths(PathStore& store, PathOrder& paths, bool chainedBefore) {
    const bool cleaned = CleanPaths(store, paths);
    const bool folded = FoldPaths(store, paths);
    PathOrder out, open;
    out.reserve(paths.size());
    open.reserve(paths.size());
    for (const Id id : paths) (store.First(id).SamePlace(store.Last(id)) ? out : open).push_back(id);
    paths = {};
    if (chainedBefore && !cleaned && !folded)
        out.insert(out.end(), open.begin(), open.end());
    else
        PathChainer(store, open).Run(out);
    return out;
}

// Order-preserving sort keys: a 32-bit signed value above a 32-bit index.
std::uint64_t SortKey(std::int32_t value, std::size_t index) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(value) ^ 0x80000000u) << 32) | static_cast<std::uint64_t>(index);
}
// The value a key made by SortKey holds.
std::int32_t SortValue(std::uint64_t key) { return static_cast<std::int32_t>((key >> 32) ^ 0x80000000u); }

// Sorts keys made by SortKey with indexes in ascending order. Equal values keep
// that order, so sorting by the value alone in a stable way gives the full
// order: large arrays take a counting pass per 11 bits of the value (few enough
// buckets for the scattered writes to stay in the cache), passing over digits
// that all keys share.
void SortKeys(std::vector<std::uint64_t>& keys, std::vector<std::uint64_t>& scratch) {
    if (keys.size() < 4096) {
        std::sort(keys.begin(), keys.end());
        return;
    }
    constexpr int Bits = 11, Digits = 3;
    constexpr std::uint64_t Mask = (1u << Bits) - 1;
    std::vector<std::uint32_t> count(Digits << Bits);
    for (const std::uint64_t k : keys)
        for (int d = 0; d < Digits; ++d) ++count[(static_cast<std::size_t>(d) << Bits) + ((k >> (32 + d * Bits)) & Mask)];
    scratch.resize(keys.size());
    for (int d = 0; d < Digits; ++d) {
        std::uint32_t* const c = count.data() + (static_cast<std::size_t>(d) << Bits);
        const int shift = 32 + d * Bits;
        if (c[(keys.front() >> shift) & Mask] == keys.size()) continue;
        std::uint32_t at = 0;
        for (std::size_t i = 0; i <= Mask; ++i) {
            const std::uint32_t n = c[i];
            c[i] = at;
            at += n;
        }
        for (const std::uint64_t k : keys) scratch[c[(k >> shift) & Mask]++] = k;
        keys.swap(scratch);
    }
}

// The paths in band order: by start y, then bands from the first remaining
// path's start y up to 500 above it (inclusive) by start x; ties keep list
// order. The limit is taken in 64 bits, as near the top of the range it does
// not fit in 32.
PathOrder BandOrder(const PathStore& store, const PathOrder& paths) {
    const std::size_t n = paths.size();
    if (n == 0) return {};
    // The sort keys hold an index in 32 bits.
    if (n > 0xFFFFFFFFu) throw std::length_error("too many paths to sort");
    std::vector<std::uint64_t> keys(n), scratch;
    std::vector<std::int32_t> xs(n);
    constexpr std::size_t SpanAhead = 16, PointsAhead = 8;
    for (std::size_t i = 0; i < n; ++i) {
        if (i + SpanAhead < n) store.PrefetchSpan(paths[i + SpanAhead]);
        if (i + PointsAhead < n) store.PrefetchPoints(paths[i + PointsAhead]);
        const PathPoint& first = store.First(paths[i]);
        keys[i] = SortKey(first.y, i);
        xs[i] = first.x;
    }
    SortKeys(keys, scratch);

    // Bands in y order; then all paths by x (the y order breaking ties) and,
    // stably, by band: the bands in turn, each by x.
    std::vector<std::uint32_t> band(n);
    std::uint32_t bands = 0;
    for (std::size_t j = 0; j < n;) {
        const std::int64_t limit = std::int64_t{SortValue(keys[j])} + BandHeight;
        for (; j < n && SortValue(keys[j]) <= limit; ++j) band[j] = bands;
        ++bands;
    }
    std::vector<std::uint32_t> byY(n);
    for (std::size_t j = 0; j < n; ++j) byY[j] = static_cast<std::uint32_t>(keys[j]);
    for (std::size_t j = 0; j < n; ++j) keys[j] = SortKey(xs[byY[j]], j);
    xs = {};
    SortKeys(keys, scratch);
    scratch = {};

    std::vector<std::uint32_t> start(std::size_t{bands} + 1);
    for (std::size_t j = 0; j < n; ++j) ++start[band[j] + 1];
    for (std::size_t b = 1; b <= bands; ++b) start[b] += start[b - 1];
    PathOrder order(n);
    for (const std::uint64_t key : keys) {
        const auto j = static_cast<std::uint32_t>(key);
        order[start[band[j]]++] = paths[byY[j]];
    }
    return order;
}

// Writes the scratch file with `fill` and puts it in the knife file's place.
// The scratch file is removed if anything fails on the way.
template <typename Fill>
ConversionResult ReplaceKnifeFile(const std::string& knifeFile, const std::string& scratch, Fill fill) {
    BinaryFile out;
    if (!out.Open(scratch, BinaryFile::Mode::CreateTruncate)) return ConversionFileFailed;
    try {
        fill(out);
        out.Close();
        BinaryFile::Remove(knifeFile);
        BinaryFile::Rename(scratch, knifeFile);
    } catch (...) {
        out.Abandon();
        ::unlink(scratch.c_str());
        throw;
    }
    return ConversionDone;
}

void WriteAll(BinaryFile& out, const PathStore& store, const PathOrder& paths) {
    // Paths come in band order, scattered over the store: fetch a few ahead.
    constexpr std::size_t SpanAhead = 16, PointsAhead = 8;
    // Records gather in a block that goes to the file in one write.
    constexpr std::size_t BlockSize = 256 * 1024;
    std::vector<unsigned char> block(BlockSize);
    std::size_t used = 0;
    for (std::size_t k = 0; k < paths.size(); ++k) {
        if (k + SpanAhead < paths.size()) store.PrefetchSpan(paths[k + SpanAhead]);
        if (k + PointsAhead < paths.size()) store.PrefetchPoints(paths[k + PointsAhead]);
        const Id id = paths[k];
        const std::size_t bytes = store.Size(id) * RecordSize;
        if (used + bytes > block.size()) {
            out.Write(block.data(), used);
            used = 0;
            if (bytes > block.size()) block.resize(bytes);
        }
        store.Encode(id, block.data() + used);
        used += bytes;
    }
    out.Write(block.data(), used);
}

}  // namespace

// The three steps are run on the paths in memory: a chaining step writes only
// move-started paths, so reading its output back would give the very paths it
// wrote, and a file that stops the first step with a line before any move
// stops the others too.
ConversionResult OrderKnifePaths(std::string knifeFile) {
    PathStore store;
    PathOrder paths;
    const ConversionResult read = ReadPaths(knifeFile, store, paths);
    if (read == ConversionFileFailed) return ConversionFileFailed;
    if (read == ConversionLineBeforeMove) return ConversionDone;
    PathOrder once = ChainedPaths(store, paths, false);
    PathOrder twice = ChainedPaths(store, once, true);
    const PathOrder order = BandOrder(store, twice);
    twice = {};
    return ReplaceKnifeFile(knifeFile, PipelineFiles::BandScratch(),
                            [&](BinaryFile& out) { WriteAll(out, store, order); });
}

ConversionResult ChainKnifePaths(std::string knifeFile) {
    PathStore store;
    PathOrder paths;
    if (const ConversionResult read = ReadPaths(knifeFile, store, paths); read != ConversionDone) return read;
    const PathOrder chained = ChainedPaths(store, paths, false);
    return ReplaceKnifeFile(knifeFile, PipelineFiles::ChainScratch(),
                            [&](BinaryFile& out) { WriteAll(out, store, chained); });
}

ConversionResult SortPathsInBands(std::string knifeFile) {
    PathStore store;
    PathOrder paths;
    if (const ConversionResult read = ReadPaths(knifeFile, store, paths); read != ConversionDone) return read;
    const PathOrder order = BandOrder(store, paths);
    return ReplaceKnifeFile(knifeFile, PipelineFiles::BandScratch(),
                            [&](BinaryFile& out) { WriteAll(out, store, order); });
}

}  // namespace velkar
