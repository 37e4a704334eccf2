#include "import/dmplconverter.h"

#include "import/plotterchars.h"
#include "import/scanners.h"
#include "import/textsource.h"
#include "job/jobwriter.h"

namespace velkar {

namespace {

// Passes over characters up to the next '@', digit, '-' or letter and pushes it
// back. True when a number may follow; false when the command ends there ('@', a
// letter, or the end of input).
bool SkipToNextNumber(TextSource& in) {
    for (;;) {
        int c = in.Get();
        if (c == TextSource::End) return false;
        if (c == '@' || IsLetter(c)) {
            in.Unget();
            return false;
        }
        if (IsDigit(c) || c == '-') {
            in.Unget();
            return true;
        }
    }
}

void ReadPairs(TextSource& in, JobWriter& writer, JobRecord& work, std::uint8_t code, BoundingBox& box,
               std::int32_t& count) {
    for (;;) {
        std::int32_t value = 0;
        if (ReadStreamNumber(in, value) != 0) return;
        work.code = code;
        work.x = value;
        box.AddX(value);
        if (!SkipToNextNumber(in)) return;
        if (ReadStreamNumber(in, value) != 0) return;
        work.y = value;
        box.AddY(value);
        writer.Write(work);
        ++count;
        if (!SkipToNextNumber(in)) return;
    }
}

}  // namespace

ConversionResult ConvertDmplFile(const std::string& input, const std::string& output, std::int32_t& count, int /*flavour*/) {
    count = 0;
    TextSource in;
    if (!in.Open(input)) return ConversionFileFailed;
    JobWriter writer;
    if (!writer.Open(output)) return ConversionFileFailed;

    JobRecord work;
    BoundingBox box;
    work.code = RecJobStart;
    writer.Write(work);
    ++count;

    for (int c = in.Get(); c != TextSource::End; c = in.Get()) {
        if (c == '@') {
            work.code = RecPathEnd;
            writer.Write(work);
            ++count;
        } else if (c == 'U') {
            int d = in.Get();
            if (d == 'P') {
                std::int32_t knife = 0;
                if (ReadStreamNumber(in, knife) == 0) {
                    work.code = RecKnife;
                    work.x = knife;
                    writer.Write(work);
                    ++count;
                }
            } else {
                in.Unget();
                ReadPairs(in, writer, work, RecMove, box, count);
            }
        } else if (c == 'D') {
            ReadPairs(in, writer, work, RecLine, box, count);
        }
    }

    writer.Finish(work, count, box, OrientationMirrorY);
    return ConversionDone;
}

}  // namespace velkar
