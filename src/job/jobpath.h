#pragma once

#include <cstddef>
#include <vector>

#include "job/jobrecord.h"

namespace velkar {

// One path of a knife's job: a move first, then lines. It is created from its
// first record and so never starts empty; the records are owned by value.
class CJobPath {
public:
    explicit CJobPath(const JobRecord& first) {
        m_records.reserve(4);  // most paths are short; saves regrowing them one record at a time
        m_records.push_back(first);
    }

    std::size_t Size() const { return m_records.size(); }
    // Record i, 0 <= i < Size(); unchecked like an array index.
    JobRecord& At(std::size_t i) { return m_records[i]; }
    const JobRecord& At(std::size_t i) const { return m_records[i]; }
    const JobRecord& First() const { return m_records.front(); }
    const JobRecord& Last() const { return m_records.back(); }

    void Append(const JobRecord& record) { m_records.push_back(record); }
    // Drops record i (i < Size()); the records after it move down by one.
    void RemoveAt(std::size_t i) { m_records.erase(m_records.begin() + static_cast<std::ptrdiff_t>(i)); }
    void RemoveAll() { m_records.clear(); }

    // The records themselves, for operations on whole runs (shortening, reversing).
    std::vector<JobRecord>& Records() { return m_records; }
    const std::vector<JobRecord>& Records() const { return m_records; }

private:
    std::vector<JobRecord> m_records;
};

}  // namespace velkar
