#include "job/jobcheck.h"

#include <sys/stat.h>

#include "job/jobreader.h"

namespace velkar {

namespace {

bool IsBodyCode(std::uint8_t code) {
    return code == RecMove || code == RecLine || code == RecPathEnd || code == RecJobStart || code == RecKnife;
}

std::string Why(JobReader& reader, std::int64_t size) {
    JobRecord work;
    const JobHeader header = ReadJobHeader(reader, work);
    if (!header.valid) return "the first three records are not the headers 200, 201, 202";
    const std::int64_t count = header.count.x;
    const std::int64_t held = size / static_cast<std::int64_t>(RecordSize);
    if (count < 3 || count > held)
        return "the header counts " + std::to_string(count) + " records, the file holds " + std::to_string(held);
    for (std::int64_t index = 4; index <= count; ++index) {
        if (!reader.Read(work)) return "the file ended at record " + std::to_string(index);
        if (!IsBodyCode(work.code))
            return "record " + std::to_string(index) + " has the unknown code " + std::to_string(work.code);
    }
    return {};
}

}  // namespace

JobCheck CheckJob(const std::string& path) {
    JobCheck check;
    // Looked at before opening: opening a FIFO would wait for a writer.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        check.opened = true;
        check.reason = "not a regular file";
        return check;
    }
    JobReader reader;
    if (!reader.Open(path)) {
        check.reason = SystemErrorText(reader.OpenError());
        return check;
    }
    try {
        check.opened = true;
        check.reason = Why(reader, static_cast<std::int64_t>(st.st_size));
    } catch (const FileError& e) {
        check.opened = false;
        check.reason = e.Reason();
    }
    return check;
}

}  // namespace velkar
