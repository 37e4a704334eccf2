#include "job/jobrecord.h"

namespace velkar {

namespace {

void PutLe32(unsigned char* out, std::uint32_t v) {
    out[0] = static_cast<unsigned char>(v);
    out[1] = static_cast<unsigned char>(v >> 8);
    out[2] = static_cast<unsigned char>(v >> 16);
    out[3] = static_cast<unsigned char>(v >> 24);
}

std::uint32_t GetLe32(const unsigned char* in) {
    return static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8) |
           (static_cast<std::uint32_t>(in[2]) << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
}

}  // namespace

void JobRecord::Encode(unsigned char* out) const {
    PutLe32(out, RecordTag);
    out[4] = code;
    out[5] = out[6] = out[7] = 0;
    PutLe32(out + 8, static_cast<std::uint32_t>(x));
    PutLe32(out + 12, static_cast<std::uint32_t>(y));
    PutLe32(out + 16, static_cast<std::uint32_t>(z));
}

JobRecord JobRecord::Decode(const unsigned char* in) {
    JobRecord r;
    r.code = in[4];
    r.x = static_cast<std::int32_t>(GetLe32(in + 8));
    r.y = static_cast<std::int32_t>(GetLe32(in + 12));
    r.z = static_cast<std::int32_t>(GetLe32(in + 16));
    return r;
}

}  // namespace velkar
