#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "job/jobrecord.h"

namespace velkar::fuzz {

// A private directory for this fuzzing process (also set as VELKAR_TEMP).
const std::string& WorkDir();

// Writes the fuzzer's bytes to a file in WorkDir() and returns its path.
std::string WriteInput(const std::uint8_t* data, std::size_t size, const char* name = "input.plt");

// Reads a whole job file; aborts if it cannot be read.
std::vector<JobRecord> ReadJob(const std::string& path);

// Aborts unless path is a valid job: its length is a multiple of 20, the count
// in the first record equals the number of records, and the first three codes
// are 200, 201, 202.
std::vector<JobRecord> CheckValidJob(const std::string& path);

[[noreturn]] void Fail(const char* what);

}  // namespace velkar::fuzz
