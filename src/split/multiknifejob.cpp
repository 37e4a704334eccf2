#include "split/multiknifejob.h"

#include <limits>
#include <vector>

#include "import/dmplconverter.h"
#include "job/binaryfile.h"
#include "job/jobwriter.h"
#include "split/knifesplit.h"
#include "split/pathordering.h"
#include "split/travelordering.h"

namespace velkar {

namespace {

constexpr int KnifeCount = 8;

void CountRecord(std::int32_t& count, const std::string& job) {
    // Three headers follow; the count must still fit.
    if (count >= std::numeric_limits<std::int32_t>::max() - 3) throw FileError(job, "too many records for a job file");
    ++count;
}

// Every record passes through the one buffer, so fields a record does not set
// carry those of the record before it.
ConversionResult JoinKnifeFiles(const std::string& job, std::uint8_t mask, std::int32_t& count) {
    count = 0;
    BoundingBox box;
    JobWriter out;
    if (!out.Open(job)) return ConversionFileFailed;
    JobRecord buffer;
    buffer.code = RecJobStart;
    out.Write(buffer);
    CountRecord(count, job);

    std::vector<unsigned char> chunk(RecordSize * 4096);
    for (int knife = 1; knife <= KnifeCount; ++knife) {
        if (!(mask & (1u << (knife - 1)))) continue;
        buffer.code = RecKnife;
        buffer.x = knife;
        out.Write(buffer);
        CountRecord(count, job);

        const std::string knifeFile = PipelineFiles::KnifeFile(knife);
        BinaryFile in;
        if (!in.Open(knifeFile, BinaryFile::Mode::Read)) return ConversionFileFailed;
        for (;;) {
            // A trailing part shorter than a record is ignored.
            const std::size_t got = in.Read(chunk.data(), chunk.size());
            for (std::size_t i = 0; i + RecordSize <= got; i += RecordSize) {
                buffer = JobRecord::Decode(chunk.data() + i);
                out.Write(buffer);
                CountRecord(count, job);
                box.AddX(buffer.x);
                box.AddY(buffer.y);
            }
            if (got < chunk.size()) break;
        }
        in.Close();
        BinaryFile::Remove(knifeFile);
    }
    buffer.code = RecPathEnd;
    out.Write(buffer);
    CountRecord(count, job);
    out.Finish(buffer, count, box, OrientationMirrorY);
    BinaryFile::Remove(PipelineFiles::ConvertedJob());
    return ConversionDone;
}

}  // namespace

ConversionResult RunMultiKnifePipeline(const ConvertStage& convert, const std::string& job, std::int32_t& count,
                                       std::chrono::milliseconds lockWait, PathOrder order) {
    // Held to the end: the lock, and the removal of every temporary file on
    // whatever way this function is left.
    PipelineFiles files(lockWait);
    const std::string converted = PipelineFiles::ConvertedJob();
    if (convert(converted, count) == ConversionFileFailed) return ConversionFileFailed;

    std::uint8_t mask = 0;
    if (SplitByKnife(converted, mask) == ConversionFileFailed) return ConversionFileFailed;
    if (order == PathOrder::Travel) {
        if (OrderKnifeFilesByTravel(mask) == ConversionFileFailed) return ConversionFileFailed;
        return JoinKnifeFiles(job, mask, count);
    }
    for (int knife = 1; knife <= KnifeCount; ++knife) {
        if (!(mask & (1u << (knife - 1)))) continue;
        if (OrderKnifePaths(PipelineFiles::KnifeFile(knife)) == ConversionFileFailed) return ConversionFileFailed;
    }
    return JoinKnifeFiles(job, mask, count);
}

ConversionResult ConvertMultiKnifeJob(std::string source, std::string job, std::int32_t& count, int flavour) {
    return RunMultiKnifePipeline(
        [&](const std::string& converted, std::int32_t& n) { return ConvertDmplFile(source, converted, n, flavour); }, job, count);
}

ConversionResult ConvertInOrder(const ConvertStage& convert, const std::string& job, std::int32_t& count,
                                std::optional<PathOrder> order, bool& orderingFailed) {
    orderingFailed = false;
    if (!order) return convert(job, count);
    ConversionResult converted = ConversionDone;
    const ConversionResult result = RunMultiKnifePipeline(
        [&](const std::string& convertedJob, std::int32_t& n) {
            converted = convert(convertedJob, n);
            return converted == ConversionDone ? ConversionDone : ConversionFileFailed;
        },
        job, count, PipelineFiles::DefaultWait, *order);
    if (converted != ConversionDone) return converted;
    orderingFailed = result != ConversionDone;
    return result;
}

}  // namespace velkar
