#include "import/hconverter.h"

#include "import/plotterchars.h"
#include "import/scanners.h"
#include "import/textsource.h"
#include "job/jobwriter.h"

namespace velkar {

namespace {

// Passes over characters up to the next digit, '-' or letter ('H' among them)
// and pushes it back. True when a number may follow; false when the command
// ends there (a letter, or the end of input).
bool SkipToNextNumber(TextSource& in) {
    for (;;) {
        int c = in.Get();
        if (c == TextSource::End) return false;
        if (IsLetter(c)) {
            in.Unget();
            return false;
        }
        if (IsDigit(c) || c == '-') {
            in.Unget();
            return true;
        }
    }
}

}  // namespace

ConversionResult ConvertHFile(const std::string& input, const std::string& output, std::int32_t& count, int /*flavour*/) {
    count = 0;
    TextSource in;
    if (!in.Open(input)) return ConversionFileFailed;
    JobWriter writer;
    if (!writer.Open(output)) return ConversionFileFailed;

    JobRecord work;
    BoundingBox box;
    bool lastWasDraw = false;  // Z was the last group command (M, or none yet, otherwise)
    bool started = false;
    auto put = [&] {
        writer.Write(work);
        ++count;
    };
    // Each reads the next number of a group: false when the group breaks off.
    auto first = [&](std::int32_t& v) { return ReadStreamNumber(in, v) == 0; };
    auto next = [&](std::int32_t& v) { return SkipToNextNumber(in) && ReadStreamNumber(in, v) == 0; };

    work.code = RecJobStart;
    put();
    for (int c = in.Get(); c != TextSource::End; c = in.Get()) {
        std::int32_t v = 0;
        if (c == 'H') {
            int d = in.Get();  // consumed whatever it is
            if (!started) {
                started = d == ';';
                continue;
            }
            if (lastWasDraw) {
                work.code = RecMove;
                work.x = box.minX;
                work.y = box.minY;
                put();
            }
            work.code = RecPathEnd;
            put();
        } else if (c == 'M') {
            while (first(v)) {
                work.code = RecMove;
                work.x = v;
                box.AddX(v);
                lastWasDraw = false;
                if (!next(v)) break;
                work.y = v;
                box.AddY(v);
                put();
                if (!SkipToNextNumber(in)) break;
            }
        } else if (c == 'Z') {
            while (first(v)) {
                work.code = RecLine;
                work.x = v;
                box.AddX(v);
                lastWasDraw = true;
                if (!next(v)) break;
                work.y = v;
                box.AddY(v);
                if (!next(v)) break;
                work.z = v;
                put();
                if (!SkipToNextNumber(in)) break;
            }
        }
    }
    writer.Finish(work, count, box, OrientationAsStored);
    return ConversionDone;
}

}  // namespace velkar
