#pragma once

#include <cstddef>
#include <cstdint>

namespace velkar {

// Record kinds of a PT1 job file. A reader masks the code to 8 bits.
enum RecordCode : std::uint8_t {
    RecPlaceholder = 0,
    RecMove = 6,
    RecLine = 7,
    RecPathEnd = 8,
    RecJobStart = 9,
    RecKnife = 11,
    RecHeaderCount = 200,
    RecHeaderMin = 201,
    RecHeaderMax = 202,
};

// Written into bytes 0..3 of every record; readers never look at it.
inline constexpr std::uint32_t RecordTag = 0x0040F98Cu;
inline constexpr std::size_t RecordSize = 20;

// Orientation flags carried in y of RecHeaderCount.
inline constexpr std::int32_t OrientationMirrorY = 1;
inline constexpr std::int32_t OrientationAsStored = 4;

// Start values of a converter's bounding box: a body without coordinates keeps them.
inline constexpr std::int32_t BoxStartMin = 200000000;
inline constexpr std::int32_t BoxStartMax = -200000000;

// One 20-byte record: tag, code, three padding bytes, x, y, z, little-endian.
struct JobRecord {
    std::uint8_t code = RecPlaceholder;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t z = 0;

    // Writes the 20-byte image (tag, code, zero padding, x, y, z).
    void Encode(unsigned char* out) const {
        PutLe32(out, RecordTag);
        out[4] = code;
        out[5] = out[6] = out[7] = 0;
        PutLe32(out + 8, static_cast<std::uint32_t>(x));
        PutLe32(out + 12, static_cast<std::uint32_t>(y));
        PutLe32(out + 16, static_cast<std::uint32_t>(z));
    }
    // Reads code, x, y and z from a 20-byte image; tag and padding are ignored.
    static JobRecord Decode(const unsigned char* in) {
        JobRecord r;
        r.code = in[4];
        r.x = static_cast<std::int32_t>(GetLe32(in + 8));
        r.y = static_cast<std::int32_t>(GetLe32(in + 12));
        r.z = static_cast<std::int32_t>(GetLe32(in + 16));
        return r;
    }

    // Little-endian 32-bit fields of the image. Inline: millions of records pass
    // through them in a conversion.
    static void PutLe32(unsigned char* out, std::uint32_t v) {
        out[0] = static_cast<unsigned char>(v);
        out[1] = static_cast<unsigned char>(v >> 8);
        out[2] = static_cast<unsigned char>(v >> 16);
        out[3] = static_cast<unsigned char>(v >> 24);
    }
    static std::uint32_t GetLe32(const unsigned char* in) {
        return static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8) |
               (static_cast<std::uint32_t>(in[2]) << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
    }

    friend bool operator==(const JobRecord&, const JobRecord&) = default;
};

// Result of a converter or pipeline stage.
using ConversionResult = int;
inline constexpr ConversionResult ConversionDone = 0;
inline constexpr ConversionResult ConversionLineBeforeMove = 1;  // ordering steps only; counts as success
inline constexpr ConversionResult ConversionFileFailed = 10;

// Bounding box as the converters keep it: minimum and maximum are independent tests.
struct BoundingBox {
    std::int32_t minX = BoxStartMin;
    std::int32_t minY = BoxStartMin;
    std::int32_t maxX = BoxStartMax;
    std::int32_t maxY = BoxStartMax;

    void AddX(std::int32_t x) {
        if (x < minX) minX = x;
        if (x > maxX) maxX = x;
    }
    void AddY(std::int32_t y) {
        if (y < minY) minY = y;
        if (y > maxY) maxY = y;
    }
};

}  // namespace velkar
