#include "import/hpglconverter.h"

#include "import/plotterchars.h"
#include "import/scanners.h"
#include "import/textsource.h"
#include "job/jobwriter.h"

namespace velkar {

namespace {

// Every line handed to the scan ends in '\n', and no step looks past it, so
// indexing needs no further bounds checks.
using Line = std::string;

struct ScanState {
    JobRecord& work;
    BoundingBox& box;
    bool casmate;  // scale 0.4
    int marked = 0;
};

std::int32_t Scaled(std::int32_t n, bool casmate) {
    if (!casmate) return n;
    return static_cast<std::int32_t>(2 * static_cast<std::int64_t>(n) / 5);
}

enum class Next { Number, Semicolon, LineEnd };

// From the last character of a number, passes over everything up to a digit, '-'
// or ';' (letters and '.' included). Leaves pos just before the number, or on the
// ';' or the line feed.
Next MoveToNextNumber(const Line& line, std::size_t& pos) {
    for (std::size_t q = pos + 1;; ++q) {
        char c = line[q];
        if (c == '\n') {
            pos = q;
            return Next::LineEnd;
        }
        if (c == ';') {
            pos = q;
            return Next::Semicolon;
        }
        if (IsDigit(c) || c == '-') {
            pos = q - 1;
            return Next::Number;
        }
    }
}

// The functions below return the index where the scan of the line goes on:
// one past what they consumed, or the line feed when the line ends.

std::size_t ThirdNumber(const Line& line, std::size_t pos, ScanState& s) {
    Next next = MoveToNextNumber(line, pos);
    if (next == Next::LineEnd) return pos;
    if (next == Next::Semicolon) return pos + 1;
    std::int32_t v = 0;
    if (ReadLineNumber(line, pos, v) != 0) return pos + 1;
    s.work.z = Scaled(v, s.casmate);
    ++s.marked;
    return pos + 1;
}

std::size_t PenUp(const Line& line, std::size_t pos, ScanState& s) {
    s.work.code = RecMove;
    ++s.marked;
    std::int32_t v = 0;
    if (ReadLineNumber(line, pos, v) != 0) return pos + 1;
    s.work.x = Scaled(v, s.casmate);
    s.box.AddX(s.work.x);
    Next next = MoveToNextNumber(line, pos);
    if (next == Next::LineEnd) return pos;
    if (next == Next::Semicolon) return pos + 1;
    if (ReadLineNumber(line, pos, v) != 0) return pos + 1;
    s.work.y = Scaled(v, s.casmate);
    s.box.AddY(s.work.y);
    return ThirdNumber(line, pos, s);
}

std::size_t PenDown(const Line& line, std::size_t pos, ScanState& s) {
    std::int32_t v = 0;
    if (ReadLineNumber(line, pos, v) != 0) return pos + 1;
    s.work.code = RecLine;
    s.work.x = Scaled(v, s.casmate);
    s.box.AddX(s.work.x);
    Next next = MoveToNextNumber(line, pos);
    if (next == Next::LineEnd) return pos;
    if (next == Next::Semicolon) return pos + 1;
    if (ReadLineNumber(line, pos, v) != 0) return pos + 1;
    ++s.marked;
    s.work.y = Scaled(v, s.casmate);
    s.box.AddY(s.work.y);
    return ThirdNumber(line, pos, s);
}

std::size_t SelectPen(const Line& line, std::size_t pos, ScanState& s) {
    std::int32_t n = 0;
    if (ReadLineNumber(line, pos, n) != 0) return pos + 1;
    if (n == 0) {
        s.work.code = RecPathEnd;
    } else {
        s.work.code = RecKnife;
        s.work.x = n;
    }
    ++s.marked;
    return pos + 1;
}

// Returns how many instructions marked the line for writing.
int ScanLine(const Line& line, JobRecord& work, BoundingBox& box, bool casmate) {
    ScanState s{work, box, casmate};
    std::size_t pos = 0;
    for (;;) {
        char c = line[pos];
        if (c == '\n') break;
        char n = line[pos + 1];
        if (c == 'I') {
            if (n == 'N') {
                work.code = RecJobStart;
                ++s.marked;
            }
            if (n == '\n') break;
            pos += 2;
        } else if (c == 'P' && n == 'U') {
            pos = PenUp(line, pos + 1, s);
        } else if (c == 'P' && n == 'D') {
            pos = PenDown(line, pos + 1, s);
        } else if (c == 'S' && n == 'P') {
            pos = SelectPen(line, pos + 1, s);
        } else if (c == 'P' || c == 'S') {
            if (n == '\n') break;
            pos += 2;
        } else {
            ++pos;
        }
    }
    return s.marked;
}

}  // namespace

ConversionResult ConvertHpglFile(const std::string& input, const std::string& output, std::int32_t& count, int flavour) {
    count = 0;
    TextSource in;
    if (!in.Open(input)) return ConversionFileFailed;
    JobWriter writer;
    if (!writer.Open(output)) return ConversionFileFailed;

    const bool casmate = flavour == 4;
    const std::int32_t orientation = (flavour == 2 || flavour == 4) ? OrientationMirrorY : OrientationAsStored;
    JobRecord work;
    BoundingBox box;
    Line line;
    while (in.GetLine(line)) {
        if (line.empty()) continue;
        line += '\n';
        if (ScanLine(line, work, box, casmate) > 0) {
            writer.Write(work);
            ++count;
        }
    }
    writer.Finish(work, count, box, orientation);
    return ConversionDone;
}

}  // namespace velkar
