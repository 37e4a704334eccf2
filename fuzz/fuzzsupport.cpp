#include "fuzzsupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace velkar::fuzz {

void Fail(const char* what) {
    std::fprintf(stderr, "invalid output: %s\n", what);
    std::abort();
}

const std::string& WorkDir() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/velkar-fuzz-XXXXXX";
        if (!::mkdtemp(pattern)) Fail("mkdtemp");
        ::setenv("VELKAR_TEMP", pattern, 1);
        return std::string(pattern);
    }();
    return dir;
}

std::string WriteInput(const std::uint8_t* data, std::size_t size, const char* name) {
    std::string path = WorkDir() + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) Fail("cannot write input");
    if (size && std::fwrite(data, 1, size, f) != size) Fail("short input write");
    std::fclose(f);
    return path;
}

std::vector<JobRecord> ReadJob(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) Fail("job file missing");
    std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (bytes.size() % RecordSize != 0) Fail("length is not a multiple of 20");
    std::vector<JobRecord> recs;
    for (std::size_t i = 0; i < bytes.size(); i += RecordSize)
        recs.push_back(JobRecord::Decode(reinterpret_cast<const unsigned char*>(bytes.data() + i)));
    return recs;
}

std::vector<JobRecord> CheckValidJob(const std::string& path) {
    std::vector<JobRecord> recs = ReadJob(path);
    if (recs.size() < 3) Fail("fewer than three headers");
    if (recs[0].code != RecHeaderCount || recs[1].code != RecHeaderMin || recs[2].code != RecHeaderMax)
        Fail("header codes are not 200, 201, 202");
    if (recs[0].x < 0 || static_cast<std::size_t>(recs[0].x) != recs.size()) Fail("count differs from length / 20");
    return recs;
}

}  // namespace velkar::fuzz
