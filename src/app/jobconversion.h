#pragma once

#include <cstdint>
#include <string>

namespace velkar {

// The conversion that an import leaves for the view's next paint: the
// converter is chosen by the flavour ("Standard PLT" has its own reader) or
// else by the recognised plotter type, and a conversion that fails is
// explained rather than leaving an empty picture.
class CJobConversion {
public:
    struct Request {
        std::string source;  // the plotter file
        std::string job;     // the PT1 file to write
        int fileType = -1;   // recognised plotter type
        int flavour = 1;     // import flavour 1 to 7
        bool travelOrder = false;  // with orderPaths: for the shortest knife-up travel instead of bands
        bool orderPaths = false;  // flavours 5 to 7: order the paths per knife instead of keeping the drawing order
    };

    struct Outcome {
        bool converted = false;   // a converter ran and completed
        bool jobEmptied = false;  // the type has no converter: the view has no job
        // Empty, or one line for the operator naming the file and the reason
        // ("cannot read /jobs/logo.plt: Permission denied").
        std::string failure;
        // After a Standard PLT conversion that left something out, what was
        // left out ("not cut: 2 labels, 0 fills, 1 unknown instructions"); after
        // a drawing, its knives and what was left out, joined by "; ".
        std::string notes;
        // Empty, or what the operator is told when the conversion left nothing
        // to cut (see NothingToCutText); the job is kept as converted.
        std::string nothingToCut;
    };

    // Runs the converter: flavour 5 the standard reader; otherwise by type,
    // 0 the multi-knife pipeline, 1 HP-GL, 3 the "H;;" type, and any other type
    // none. count is the converters' record counter. Errors of the file layer
    // are caught and reported in Outcome::failure. A converted job without a
    // cut is reported in Outcome::nothingToCut. The file at job is replaced
    // only by a complete job, so a failure leaves it as it was.
    static Outcome Run(const Request& request, std::int32_t& count);

    // Why a conversion from source to job could not start: the first of the
    // two files that cannot be opened, with the system's reason.
    static std::string ExplainOpenFailure(const std::string& source, const std::string& job);

private:
    static Outcome RunConverter(const Request& request, std::int32_t& count);
};

}  // namespace velkar
