#include "split/pathordering.h"

#include <algorithm>
#include <cstdint>
#include <memory>
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

}  // namespace

ConversionResult OrderKnifePaths(std::string knifeFile) {
    if (ChainKnifePaths(knifeFile) == ConversionFileFailed) return ConversionFileFailed;
    if (ChainKnifePaths(knifeFile) == ConversionFileFailed) return ConversionFileFailed;
    if (SortPathsInBands(knifeFile) == ConversionFileFailed) return ConversionFileFailed;
    return ConversionDone;
}

ConversionResult ChainKnifePaths(std::string knifeFile) {
    CPathList paths;
    if (const ConversionResult read = ReadPaths(knifeFile, paths); read != ConversionDone) return read;
    CleanPaths(paths);
    FoldPaths(paths);
    return ReplaceKnifeFile(knifeFile, PipelineFiles::ChainScratch(), [&](BinaryFile& out) {
        std::vector<unsigned char> image;
        for (auto pos = paths.HeadPosition(); pos != paths.EndPosition();) {
            const auto next = CPathList::NextPosition(pos);
            const CJobPath& path = CPathList::PathAt(pos);
            if (SamePoint(path.First(), path.Last())) {
                WritePath(out, path, image);
                paths.RemoveAt(pos);
            }
            pos = next;
        }
        PathChainer(paths).Run([&](const CJobPath& path) { WritePath(out, path, image); });
    });
}

ConversionResult SortPathsInBands(std::string knifeFile) {
    CPathList paths;
    if (const ConversionResult read = ReadPaths(knifeFile, paths); read != ConversionDone) return read;
    std::vector<const CJobPath*> order;
    order.reserve(paths.Count());
    for (auto pos = paths.HeadPosition(); pos != paths.EndPosition(); pos = CPathList::NextPosition(pos))
        order.push_back(&CPathList::PathAt(pos));
    std::stable_sort(order.begin(), order.end(), [](const CJobPath* p, const CJobPath* r) { return p->First().y < r->First().y; });
    // A band runs from its first path's start y up to 500 above it, inclusive; in
    // 64 bits, as the limit of a start y near the top of the range does not fit in 32.
    for (auto band = order.begin(); band != order.end();) {
        const std::int64_t limit = std::int64_t{(*band)->First().y} + BandHeight;
        const auto beyond = std::find_if(band, order.end(), [&](const CJobPath* p) { return p->First().y > limit; });
        std::stable_sort(band, beyond, [](const CJobPath* p, const CJobPath* r) { return p->First().x < r->First().x; });
        band = beyond;
    }
    return ReplaceKnifeFile(knifeFile, PipelineFiles::BandScratch(), [&](BinaryFile& out) {
        std::vector<unsigned char> image;
        for (const CJobPath* path : order) WritePath(out, *path, image);
    });
}

}  // namespace velkar
