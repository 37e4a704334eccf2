#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "job/binaryfile.h"
#include "job/jobrecord.h"
#include "job/jobwriter.h"

namespace velkar {

// The count in RecHeaderCount is a signed 32-bit number that includes the three
// headers, so a body can hold at most this many records.
inline constexpr std::int32_t MaxBodyRecords = std::numeric_limits<std::int32_t>::max() - 3;

// Appends one body record of the job at output and counts it in count. A body
// that would outgrow MaxBodyRecords raises FileError naming output, so the
// counter never wraps and the unfinished job is abandoned.
inline void WriteBodyRecord(JobWriter& writer, const JobRecord& record, std::int32_t& count, const std::string& output) {
    if (count >= MaxBodyRecords) throw FileError(output, "more records than a job file can hold");
    writer.Write(record);
    ++count;
}

}  // namespace velkar
