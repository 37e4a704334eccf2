#pragma once

#include <string>

namespace velkar {

// Whether a file is a complete job that may go to the cutter.
struct JobCheck {
    bool opened = false;  // false: the file could not be opened or read; reason holds the system's text
    std::string reason;   // empty when the file is a complete job

    bool IsJob() const { return opened && reason.empty(); }
};

// Checks the file at path: the three headers (codes 200, 201, 202 in this
// order), a record count from 3 up to what the file's length holds, and body
// records (4 to the count) whose codes the job format knows (6, 7, 8, 9, 11).
// Bytes after the counted records are not looked at. Reads the counted records
// once; never raises.
JobCheck CheckJob(const std::string& path);

}  // namespace velkar
