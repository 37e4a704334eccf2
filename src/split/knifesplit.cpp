#include "split/knifesplit.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "job/binaryfile.h"
#include "job/jobreader.h"
#include "job/knifeblocklist.h"
#include "split/pipelinefiles.h"

namespace velkar {

namespace {

constexpr std::int32_t KnifeCount = 8;

// Blocks are ordered by knife, blocks of one knife in file order. firstOf[k]
// remembers where knife k's run begins, so an insertion costs at most eight
// steps instead of a walk over every block already listed.
using FirstOfKnife = std::array<std::optional<CKnifeBlockList::Position>, KnifeCount + 1>;

void InsertInKnifeOrder(CKnifeBlockList& list, FirstOfKnife& firstOf, const CKnifeBlock& block) {
    CKnifeBlockList::Position before = list.EndPosition();
    for (std::int32_t k = block.knife + 1; k <= KnifeCount; ++k) {
        if (firstOf[k]) {
            before = *firstOf[k];
            break;
        }
    }
    CKnifeBlockList::Position added = list.InsertBefore(before, block);
    if (!firstOf[block.knife]) firstOf[block.knife] = added;
}

std::size_t ReadAt(int fd, const std::string& path, std::uint64_t offset, unsigned char* buffer, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        ssize_t r = ::pread(fd, buffer + got, n - got, static_cast<off_t>(offset + got));
        if (r < 0) {
            if (errno == EINTR) continue;
            throw FileError(path, "cannot read: " + SystemErrorText(errno));
        }
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    return got;
}

// Appends the moves and lines from record `position` on to `out`. Blocks are
// often short and scattered, so reads start small and grow while the block goes on.
void CopyBlock(int fd, const std::string& path, std::int32_t position, BinaryFile& out, std::vector<unsigned char>& buffer) {
    std::uint64_t offset = static_cast<std::uint64_t>(position) * RecordSize;
    std::size_t chunk = 16;
    for (;;) {
        buffer.resize(chunk * RecordSize);
        const std::size_t got = ReadAt(fd, path, offset, buffer.data(), buffer.size());
        const std::size_t whole = got / RecordSize;
        for (std::size_t i = 0; i < whole; ++i) {
            const unsigned char* image = buffer.data() + i * RecordSize;
            const std::uint8_t code = JobRecord::Decode(image).code;
            if (code != RecMove && code != RecLine) return;
            // Copied unchanged, padding included, as the record was read.
            out.Write(image, RecordSize);
        }
        if (got < buffer.size()) return;
        offset += got;
        chunk = std::min<std::size_t>(chunk * 2, 4096);
    }
}

}  // namespace

ConversionResult SplitByKnife(std::string convertedJob, std::uint8_t& knifeMask) {
    JobReader reader;
    if (!reader.Open(convertedJob)) return ConversionFileFailed;
    PipelineFiles::RemoveKnifeFiles();

    JobRecord record;
    const JobHeader header = ReadJobHeader(reader, record);
    const std::int64_t total = header.count.x;

    CKnifeBlockList blocks;
    FirstOfKnife firstOf;
    for (std::int64_t number = 4; number <= total; ++number) {
        if (!reader.Read(record)) break;
        if (record.code != RecKnife) continue;
        std::int32_t knife = record.x > KnifeCount ? 1 : record.x;
        if (knife < 1) continue;  // no knife to cut it with: the block is dropped
        // number <= total, a 32-bit count, so the position fits.
        InsertInKnifeOrder(blocks, firstOf, CKnifeBlock{static_cast<std::int32_t>(number), knife});
    }
    reader.Close();

    const int fd = ::open(convertedJob.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ConversionFileFailed;
    try {
        BinaryFile out;
        std::int32_t openKnife = 0;
        std::vector<unsigned char> buffer;
        for (auto pos = blocks.HeadPosition(); pos != blocks.EndPosition(); pos = CKnifeBlockList::NextPosition(pos)) {
            const CKnifeBlock& block = CKnifeBlockList::ValueAt(pos);
            // Blocks of one knife are neighbours in the list, so each knife file is opened once.
            if (block.knife != openKnife) {
                if (out.IsOpen()) out.Close();
                if (!out.Open(PipelineFiles::KnifeFile(block.knife), BinaryFile::Mode::CreateKeep)) {
                    ::close(fd);
                    return ConversionFileFailed;
                }
                openKnife = block.knife;
                knifeMask = static_cast<std::uint8_t>(knifeMask | (1u << (block.knife - 1)));
                out.SeekEnd();
            }
            CopyBlock(fd, convertedJob, block.position, out, buffer);
        }
        if (out.IsOpen()) out.Close();
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    return ConversionDone;
}

}  // namespace velkar
