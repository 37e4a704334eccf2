#include "import/standardplotreader.h"

#include <new>

#include "import/dmplreader.h"
#include "import/hpglreader.h"
#include "import/plotinput.h"
#include "import/plotjobsink.h"
#include "import/plotsniffer.h"
#include "job/binaryfile.h"
#include "job/jobwriter.h"

namespace velkar {

ConversionResult ConvertStandardPlotFile(const std::string& input, const std::string& output, std::int32_t& count,
                                         StandardPlotStats& stats, std::string& error, std::size_t lookahead) {
    count = 0;
    stats = StandardPlotStats{};
    error.clear();

    try {
        PlotInput in(lookahead);
        if (!in.Open(input)) {
            error = "cannot read " + input + ": " + SystemErrorText(in.OpenError());
            return ConversionFileFailed;
        }
        const char* p = nullptr;
        const char* end = nullptr;
        in.Start(p, end);
        const PlotSniff sniff = SniffPlotDialect(in, p, end);
        if (sniff.dialect == PlotDialect::None) {
            error = "not a plotter file: " + input + ": " + sniff.reason;
            return ConversionNotPlotterFile;
        }

        JobWriter writer;
        if (!writer.Open(output)) {
            error = "cannot write " + output + ": " + writer.OpenErrorText();
            return ConversionFileFailed;
        }
        PlotJobSink sink(writer, count);
        sink.Start();
        if (sniff.dialect == PlotDialect::Hpgl)
            HpglReader(sink, stats).Read(in, p, end);
        else
            DmplReader(sink, stats).Read(in, p, end);
        sink.Finish();
    } catch (const PlotRangeError& e) {
        count = 0;
        error = "cannot convert " + input + ": " + e.what();
        return ConversionOutOfRange;
    } catch (const FileError& e) {
        // The input is read as the job is written: a read error names the input.
        count = 0;
        error = (e.Path() == input ? "cannot read " : "cannot write ") + e.Path() + ": " + e.Reason();
        return ConversionFileFailed;
    } catch (const std::bad_alloc&) {
        count = 0;
        error = input + ": not enough memory";
        return ConversionFileFailed;
    }
    return ConversionDone;
}

}  // namespace velkar
