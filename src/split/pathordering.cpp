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
    if (::stat(knifeFile.c_str(), &st) == 0 && st.st_size > 0)
        store.Reserve(static_cast<std::size_t>(st.st_size) / RecordSize);
    bool any = false;
    Id current = 0;
    std::vector<unsigned char> buffer(RecordSize * 4096);
    for (;;) {
        const std::size_t got = in.Read(buffer.data(), buffer.size());
        const std::size_t whole = got / RecordSize;
        for (std::size_t i = 0; i < whole; ++i) {
            const JobRecord r = JobRecord::Decode(buffer.data() + i * RecordSize);
            if (r.code == RecMove) {
                current = store.Add(PathPoint::Of(r));
                paths.push_back(current);
                any = true;
            } else if (r.code == RecLine) {
                if (!any) return ConversionLineBeforeMove;
                store.Append(current, PathPoint::Of(r));
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

// Sorts keys made by SortKey in ascending index order. Equal values keep that
// order, so sorting by the value alone in a stable way gives the full order:
// large arrays take two counting passes over 16 bits each.
void SortKeys(std::vector<std::uint64_t>& keys, std::vector<std::uint64_t>& scratch) {
    if (keys.size() < 4096) {
        std::sort(keys.begin(), keys.end());
        return;
    }
    scratch.resize(keys.size());
    std::vector<std::size_t> count(65536);
    for (const int shift : {32, 48}) {
        std::fill(count.begin(), count.end(), 0);
        for (const std::uint64_t k : keys) ++count[(k >> shift) & 0xFFFF];
        std::size_t at = 0;
        for (std::size_t& c : count) {
            const std::size_t n = c;
            c = at;
            at += n;
        }
        for (const std::uint64_t k : keys) scratch[count[(k >> shift) & 0xFFFF]++] = k;
        keys.swap(scratch);
    }
}

// The paths in band order: by start y, then bands from the first remaining
// path's start y up to 500 above it (inclusive) by start x; ties keep list
// order. The limit is taken in 64 bits, as near the top of the range it does
// not fit in 32.
PathOrder BandOrder(const PathStore& store, const PathOrder& paths) {
    // The sort keys hold an index in 32 bits.
    if (paths.size() > 0xFFFFFFFFu) throw std::length_error("too many paths to sort");
    std::vector<std::int32_t> xs, ys;
    xs.reserve(paths.size());
    ys.reserve(paths.size());
    for (const Id id : paths) {
        xs.push_back(store.First(id).x);
        ys.push_back(store.First(id).y);
    }
    // The index in the low half makes equal values keep their order.
    std::vector<std::uint64_t> keys(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) keys[i] = SortKey(ys[i], i);
    std::vector<std::uint64_t> scratch;
    SortKeys(keys, scratch);
    std::vector<std::uint32_t> byY(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) byY[i] = static_cast<std::uint32_t>(keys[i]);

    PathOrder order;
    order.reserve(paths.size());
    for (std::size_t band = 0; band < byY.size();) {
        const std::int64_t limit = std::int64_t{ys[byY[band]]} + BandHeight;
        std::size_t beyond = band;
        while (beyond < byY.size() && ys[byY[beyond]] <= limit) ++beyond;
        keys.clear();
        for (std::size_t j = band; j < beyond; ++j) keys.push_back(SortKey(xs[byY[j]], j));
        SortKeys(keys, scratch);
        for (std::uint64_t key : keys) order.push_back(paths[byY[static_cast<std::uint32_t>(key)]]);
        band = beyond;
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
    std::vector<unsigned char> image;
    for (std::size_t k = 0; k < paths.size(); ++k) {
        if (k + SpanAhead < paths.size()) store.PrefetchSpan(paths[k + SpanAhead]);
        if (k + PointsAhead < paths.size()) store.PrefetchPoints(paths[k + PointsAhead]);
        const Id id = paths[k];
        store.Encode(id, image);
        out.Write(image.data(), image.size());
    }
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
