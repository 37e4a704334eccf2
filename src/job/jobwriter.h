#pragma once

#include <cstdint>
#include <string>

#include "job/binaryfile.h"
#include "job/filereplacement.h"
#include "job/jobrecord.h"

namespace velkar {

// Writes a PT1 job with the shared protocol: three placeholder records, the body,
// then the three headers built in the caller's working record.
//
// The job is built in a scratch file beside the target, which replaces the target
// only when Finish() has completed, so an interrupted or failed conversion leaves
// the previous job as it was. The target is never written in place: where no
// scratch file can be made beside it, or it is not a regular file, Open() refuses
// (see FileReplacement for links and the files that are refused).
class JobWriter {
public:
    JobWriter() = default;
    ~JobWriter();  // an unfinished job is abandoned and its scratch file removed
    JobWriter(const JobWriter&) = delete;
    JobWriter& operator=(const JobWriter&) = delete;

    // Creates the scratch file and writes the three placeholders. False when the
    // target cannot be replaced; OpenError() then holds the errno (0 when the
    // refusal has none) and OpenErrorText() the reason, without the file name.
    bool Open(const std::string& path);
    int OpenError() const { return m_nOpenError; }
    const std::string& OpenErrorText() const { return m_strOpenError; }

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
    FileReplacement m_replacement;
    std::string m_strTarget;
    int m_nOpenError = 0;
    std::string m_strOpenError;
};

}  // namespace velkar
