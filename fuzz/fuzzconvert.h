#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzzsupport.h"

namespace velkar::fuzz {

using Converter = ConversionResult (*)(const std::string&, const std::string&, std::int32_t&, int);

// Converts the fuzzer's bytes with flavour and checks the job: it must be valid
// and the counter must equal its records. When the bytes hold no CR, the same
// text with CR LF line ends must give the same job byte for byte.
std::vector<JobRecord> ConvertAndCheck(Converter convert, const std::uint8_t* data, std::size_t size, int flavour);

}  // namespace velkar::fuzz
