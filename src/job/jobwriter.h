#pragma once

#include <cstdint>
#include <string>

#include "job/binaryfile.h"
#include "job/jobrecord.h"

namespace velkar {

// Writes a PT1 job with the shared protocol: three placeholder records, the body,
// then the three headers built in the caller's working record.
//
// The job is built in a scratch file beside the target, which replaces the target
// only when Finish() has completed, so an interrupted conversion leaves the
// previous job as it was. Where no scratch file can be made beside the target
// (a directory without write permission), the target is written in place.
class JobWriter {
public:
    JobWriter() = default;
    ~JobWriter();  // an unfinished job is abandoned and its scratch file removed
    JobWriter(const JobWriter&) = delete;
    JobWriter& operator=(const JobWriter&) = delete;

    // Creates the output and writes the three placeholders. False when it cannot
    // be created; OpenError() then holds the errno.
    bool Open(const std::string& path);
    int OpenError() const { return m_nOpenError; }

    // Appends one body record. Raises FileError when it cannot be written.
    void Write(const JobRecord& record) {
        unsigned char image[RecordSize];
        record.Encode(image);
        m_file.Write(image, RecordSize);
    }

    // Runs the header protocol with the working record: RecHeaderMin and
    // RecHeaderMax (each adding 1 to count), then RecHeaderCount (count + 1, and
    // the orientation flag). The headers carry in z whatever the working record
    // held. Closes the file and puts it in place. Raises FileError on failure.
    void Finish(JobRecord& work, std::int32_t& count, const BoundingBox& box, std::int32_t orientation);

private:
    BinaryFile m_file;
    std::string m_strTarget;
    std::string m_strScratch;  // empty when writing the target in place
    int m_nOpenError = 0;
};

}  // namespace velkar
