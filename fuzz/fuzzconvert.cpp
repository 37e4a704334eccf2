#include "fuzzconvert.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace velkar::fuzz {

namespace {

std::string Bytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::vector<JobRecord> Convert(Converter convert, const std::string& input, int flavour) {
    const std::string output = WorkDir() + "/out.PT1";
    std::int32_t count = -1;
    if (convert(input, output, count, flavour) != ConversionDone) Fail("conversion did not finish");
    std::vector<JobRecord> records = CheckValidJob(output);
    if (count < 0 || static_cast<std::size_t>(count) != records.size()) Fail("counter differs from the job");
    return records;
}

}  // namespace

std::vector<JobRecord> ConvertAndCheck(Converter convert, const std::uint8_t* data, std::size_t size, int flavour) {
    std::vector<JobRecord> records = Convert(convert, WriteInput(data, size), flavour);
    if (size == 0 || std::memchr(data, '\r', size) != nullptr) return records;

    const std::string lfJob = Bytes(WorkDir() + "/out.PT1");
    std::string crlf;
    crlf.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') crlf += '\r';
        crlf += static_cast<char>(data[i]);
    }
    Convert(convert, WriteInput(reinterpret_cast<const std::uint8_t*>(crlf.data()), crlf.size(), "crlf.plt"), flavour);
    if (Bytes(WorkDir() + "/out.PT1") != lfJob) Fail("CR LF line ends give another job");
    return records;
}

}  // namespace velkar::fuzz
