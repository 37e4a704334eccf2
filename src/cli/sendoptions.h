#pragma once

#include <array>
#include <cstdint>
#include <chrono>
#include <string>
#include <vector>

#include "cutter/cuttersend.h"

namespace velkar::cli {

// Takes the option at args[i] if it is one of the send's own (--sharp MM,
// --close MM, --move-x MM, --move-y MM, --define-color, --pen-tip,
// --compact, --dialect velkar|hpgl, --knife-speed K=CM/S, --knife-force K=F), advancing i
// past its value. Returns false when args[i] is not such an option; sets
// `error` when it is one but its value is missing or out of range.
bool TakeSendOption(const std::vector<std::string>& args, std::size_t& i, CutterSendOptions& options,
                    std::string& error);

// The largest knife speed (cm/s) or force that --knife-speed and --knife-force take.
inline constexpr std::int32_t MaxKnifeValue = KnifeSettings::MaxValue;

// Reads "K=VALUE" (knife 1 to 8, a whole number from 1 to MaxKnifeValue) into values[K-1].
bool ParseKnifeValue(const std::string& text, std::array<std::int32_t, 8>& values);

// Reads a whole argument as a number of seconds from 1 to 86400 (a day), with
// a fraction if given.
bool ParseSeconds(const std::string& text, std::chrono::milliseconds& value);

// Reads a whole argument as a number of millimetres in single precision.
bool ParseMillimetres(const std::string& text, float& value);

}  // namespace velkar::cli
