#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "cutter/cuttersend.h"

namespace velkar::cli {

// Takes the option at args[i] if it is one of the send's own (--sharp MM,
// --close MM, --move-x MM, --move-y MM, --define-color, --pen-tip,
// --compact), advancing i
// past its value. Returns false when args[i] is not such an option; sets
// `error` when it is one but its value is missing or out of range.
bool TakeSendOption(const std::vector<std::string>& args, std::size_t& i, CutterSendOptions& options,
                    std::string& error);

// Reads a whole argument as a number of seconds from 1 to 86400 (a day), with
// a fraction if given.
bool ParseSeconds(const std::string& text, std::chrono::milliseconds& value);

// Reads a whole argument as a number of millimetres in single precision.
bool ParseMillimetres(const std::string& text, float& value);

}  // namespace velkar::cli
