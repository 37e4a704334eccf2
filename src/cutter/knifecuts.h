#pragma once

#include <cstdint>
#include <string>

namespace velkar {

// The cuts the knife makes through the job at path without offsets: the
// segments that the knife-offset processor puts out with the knife down (a cut
// to the point just reached not counted), as the send and the picture follow
// them. -1 when the job cannot be opened, its headers are not a job's, or it
// cannot be read. Never throws.
std::int64_t CountKnifeCuts(const std::string& job);

}  // namespace velkar
