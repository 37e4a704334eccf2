#include "split/pathordering.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include <unistd.h>

#include "job/binaryfile.h"
#include "job/pathlist.h"
#include "split/pathchainer.h"
#include "split/pipelinefiles.h"

namespace velkar {

namespace {

constexpr std::int64_t BandHeight = 500;

bool SamePoint(const JobRecord& a, const JobRecord& b) { return a.x == b.x && a.y == b.y; }

// Reads the knife file into paths: a move starts a path, a line extends the
// current one, other codes are passed over. A line before any move gives
// ConversionLineBeforeMove and the paths read so far are of no use.
ConversionResult ReadPaths(const std::string& knifeFile, CPathList& paths) {
    BinaryFile in;
    if (!in.Open(knifeFile, BinaryFile::Mode::Read)) return ConversionFileFailed;
    CJobPath* current = nullptr;
    std::vector<unsigned char> buffer(RecordSize * 4096);
    for (;;) {
        const std::size_t got = in.Read(buffer.data(), buffer.size());
        const std::size_t whole = got / RecordSize;
        for (std::size_t i = 0; i < whole; ++i) {
            const JobRecord r = JobRecord::Decode(buffer.data() + i * RecordSize);
            if (r.code == RecMove) {
                current = &CPathList::PathAt(paths.AddTail(CJobPath(r)));
            } else if (r.code == RecLine) {
                if (!current) return ConversionLineBeforeMove;
                current->Append(r);
            }
        }
        if (got < buffer.size()) break;
    }
    return ConversionDone;
}

void WritePath(BinaryFile& out, const CJobPath& path, std::vector<unsigned char>& image) {
    image.resize(path.Size() * RecordSize);
    for (std::size_t i = 0; i < path.Size(); ++i) path.At(i).Encode(image.data() + i * RecordSize);
    out.Write(image.data(), image.size());
}

// Removes paths of one record and two-record paths on one point; in longer
// paths keeps only the first of each run of records on one point.
void CleanPaths(CPathList& paths) {
    for (auto pos = paths.HeadPosition(); pos != paths.EndPosition();) {
        const auto next = CPathList::NextPosition(pos);
        std::vector<JobRecord>& r = CPathList::PathAt(pos).Records();
        if (r.size() == 1 || (r.size() == 2 && SamePoint(r[0], r[1]))) {
            paths.RemoveAt(pos);
        } else if (r.size() >= 3) {
            std::size_t kept = 1;
            for (std::size_t i = 1; i < r.size(); ++i)
                if (!SamePoint(r[i], r[i - 1])) r[kept++] = r[i];
            r.resize(kept);
        }
        pos = next;
    }
}

// Ends each path at its first point of return (where the records on either side
// stand on one point); the retraced records are dropped and what follows them
// becomes a new path at the tail. The successor is taken before a path is
// handled, so a path appended while the last one is handled is not visited.
void FoldPaths(CPathList& paths) {
    for (auto pos = paths.HeadPosition(); pos != paths.EndPosition();) {
        const auto next = CPathList::NextPosition(pos);
        std::vector<JobRecord>& r = CPathList::PathAt(pos).Records();
        if (r.size() >= 3) {
            const std::size_t n = r.size() - 1;
            std::size_t turn = 1;
            while (turn < n && !SamePoint(r[turn - 1], r[turn + 1])) ++turn;
            if (turn < n) {
                std::size_t m = 0;
                while (m < turn && turn + m + 1 <= n && SamePoint(r[turn - m - 1], r[turn + m + 1])) ++m;
                if (turn + m < n) {
                    JobRecord start = r[turn + m];
                    start.code = RecMove;
                    CJobPath rest(start);
                    rest.Records().insert(rest.Records().end(), r.begin() + static_cast<std::ptrdiff_t>(turn + m + 1), r.end());
                    paths.AddTail(std::move(rest));
                }
                r.resize(turn + 1);
            }
        }
        pos = next;
    }
}

// Cleans and folds the paths, then takes them out in the order a chaining step
// writes them: closed paths first, then the chained open paths.
CPathList ChainedPaths(CPathList& paths) {
    CleanPaths(paths);
    FoldPaths(paths);
    CPathList out;
    for (auto pos = paths.HeadPosition(); pos != paths.EndPosition();) {
        const auto next = CPathList::NextPosition(pos);
        const CJobPath& path = CPathList::PathAt(pos);
        if (SamePoint(path.First(), path.Last())) paths.MoveToTail(pos, out);
        pos = next;
    }
    PathChainer(paths).Run(out);
    return out;
}

// Order-preserving sort keys: a 32-bit signed value above a 32-bit index.
std::uint64_t SortKey(std::int32_t value, std::size_t index) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(value) ^ 0x80000000u) << 32) | static_cast<std::uint64_t>(index);
}

// The paths in band order: by start y, then bands from the first remaining
// path's start y up to 500 above it (inclusive) by start x; ties keep list
// order. The limit is taken in 64 bits, as near the top of the range it does
// not fit in 32.
std::vector<const CJobPath*> BandOrder(CPathList& paths) {
    // The sort keys hold an index in 32 bits.
    if (paths.Count() > 0xFFFFFFFFu) throw std::length_error("too many paths to sort");
    std::vector<const CJobPath*> path;
    std::vector<std::int32_t> xs, ys;
    path.reserve(paths.Count());
    for (auto pos = paths.HeadPosition(); pos != paths.EndPosition(); pos = CPathList::NextPosition(pos)) {
        path.push_back(&CPathList::PathAt(pos));
        xs.push_back(path.back()->First().x);
        ys.push_back(path.back()->First().y);
    }
    // The index in the low half makes equal values keep their order.
    std::vector<std::uint64_t> keys(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) keys[i] = SortKey(ys[i], i);
    std::sort(keys.begin(), keys.end());
    std::vector<std::uint32_t> byY(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) byY[i] = static_cast<std::uint32_t>(keys[i]);

    std::vector<const CJobPath*> order;
    order.reserve(path.size());
    for (std::size_t band = 0; band < byY.size();) {
        const std::int64_t limit = std::int64_t{ys[byY[band]]} + BandHeight;
        std::size_t beyond = band;
        while (beyond < byY.size() && ys[byY[beyond]] <= limit) ++beyond;
        keys.clear();
        for (std::size_t j = band; j < beyond; ++j) keys.push_back(SortKey(xs[byY[j]], j));
        std::sort(keys.begin(), keys.end());
        for (std::uint64_t key : keys) order.push_back(path[byY[static_cast<std::uint32_t>(key)]]);
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

void WriteAll(BinaryFile& out, CPathList& paths) {
    std::vector<unsigned char> image;
    for (auto pos = paths.HeadPosition(); pos != paths.EndPosition(); pos = CPathList::NextPosition(pos))
        WritePath(out, CPathList::PathAt(pos), image);
}

void WriteAll(BinaryFile& out, const std::vector<const CJobPath*>& paths) {
    std::vector<unsigned char> image;
    for (const CJobPath* path : paths) WritePath(out, *path, image);
}

}  // namespace

// The three steps are run on the paths in memory: a chaining step writes only
// move-started paths, so reading its output back would give the very paths it
// wrote, and a file that stops the first step with a line before any move
// stops the others too.
ConversionResult OrderKnifePaths(std::string knifeFile) {
    CPathList paths;
    const ConversionResult read = ReadPaths(knifeFile, paths);
    if (read == ConversionFileFailed) return ConversionFileFailed;
    if (read == ConversionLineBeforeMove) return ConversionDone;
    CPathList once = ChainedPaths(paths);
    CPathList twice = ChainedPaths(once);
    const std::vector<const CJobPath*> order = BandOrder(twice);
    return ReplaceKnifeFile(knifeFile, PipelineFiles::BandScratch(), [&](BinaryFile& out) { WriteAll(out, order); });
}

ConversionResult ChainKnifePaths(std::string knifeFile) {
    CPathList paths;
    if (const ConversionResult read = ReadPaths(knifeFile, paths); read != ConversionDone) return read;
    CPathList chained = ChainedPaths(paths);
    return ReplaceKnifeFile(knifeFile, PipelineFiles::ChainScratch(), [&](BinaryFile& out) { WriteAll(out, chained); });
}

ConversionResult SortPathsInBands(std::string knifeFile) {
    CPathList paths;
    if (const ConversionResult read = ReadPaths(knifeFile, paths); read != ConversionDone) return read;
    const std::vector<const CJobPath*> order = BandOrder(paths);
    return ReplaceKnifeFile(knifeFile, PipelineFiles::BandScratch(), [&](BinaryFile& out) { WriteAll(out, order); });
}

}  // namespace velkar
