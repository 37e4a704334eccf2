#include "job/jobwriter.h"

namespace velkar {

JobWriter::~JobWriter() {
    m_file.Abandon();
    m_replacement.Abandon();
}

bool JobWriter::Open(const std::string& path) {
    m_file.Abandon();
    m_strTarget = path;
    m_nOpenError = 0;
    m_strOpenError.clear();
    if (!m_replacement.Open(path)) {
        m_strOpenError = m_replacement.Reason();
        m_nOpenError = m_replacement.Errno();
        return false;
    }
    // Write errors name the job the user asked for, not its scratch file.
    m_file.Adopt(m_replacement.TakeDescriptor(), path);
    const JobRecord placeholder;
    for (int i = 0; i < 3; ++i) Write(placeholder);
    return true;
}

void JobWriter::Finish(JobRecord& work, std::int32_t& count, const BoundingBox& box, std::int32_t orientation) {
    unsigned char image[RecordSize];
    m_file.SeekBegin(0);
    work.Encode(image);
    m_file.Write(image, RecordSize);  // overwritten below; keeps the next write in slot 1

    work.code = RecHeaderMin;
    work.x = box.minX;
    work.y = box.minY;
    Write(work);
    ++count;

    work.code = RecHeaderMax;
    work.x = box.maxX;
    work.y = box.maxY;
    Write(work);
    ++count;

    m_file.SeekBegin(0);
    ++count;
    work.code = RecHeaderCount;
    work.x = count;
    work.y = orientation;
    Write(work);

    m_file.Close();
    m_replacement.Commit();
}

}  // namespace velkar
