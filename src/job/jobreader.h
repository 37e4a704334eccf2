#pragma once

#include <string>

#include "job/binaryfile.h"
#include "job/jobrecord.h"

namespace velkar {

// Reads a PT1 job record by record into the caller's working record.
class JobReader {
public:
    // False when the file cannot be opened; OpenError() then holds the errno.
    bool Open(const std::string& path) { return m_file.Open(path, BinaryFile::Mode::Read); }
    int OpenError() const { return m_file.OpenError(); }
    const std::string& Path() const { return m_file.Path(); }

    // Reads the next 20 bytes into record. A short read (end of file) returns
    // false and leaves record as it was. Raises FileError on an I/O error.
    bool Read(JobRecord& record) {
        unsigned char image[RecordSize];
        if (m_file.Read(image, RecordSize) != RecordSize) return false;
        record = JobRecord::Decode(image);
        return true;
    }

    void SeekRecord(std::uint64_t index) { m_file.SeekBegin(index * RecordSize); }
    void Close() { m_file.Abandon(); }

private:
    BinaryFile m_file;
};

// The three headers as a reader sees them through its one working record: a
// missing header keeps the values of the record read before it.
struct JobHeader {
    JobRecord count;  // x: records in the file, y: orientation flag
    JobRecord min;
    JobRecord max;
    bool valid = false;  // codes 200, 201, 202 in this order
};

JobHeader ReadJobHeader(JobReader& reader, JobRecord& work);

}  // namespace velkar
