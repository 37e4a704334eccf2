#include "app/jobconversion.h"

#include <new>
#include <optional>

#include "app/flavourchoice.h"
#include "cutter/knifecuts.h"
#include "drawingimport/postscriptdrawing.h"
#include "drawingimport/svgdrawingreader.h"
#include "import/hconverter.h"
#include "import/hpglconverter.h"
#include "import/plottertype.h"
#include "import/standardplotreader.h"
#include "job/binaryfile.h"
#include "job/filereplacement.h"
#include "job/tempdir.h"
#include "split/multiknifejob.h"

namespace velkar {

namespace {

// Converts in the drawing's order or through the chosen ordering; a failed
// ordering is explained by what stands in the way of the job file.
ConversionResult ConvertRequest(const CJobConversion::Request& request, std::int32_t& count, std::string& error,
                                const ConvertStage& convert) {
    std::optional<PathOrder> order;
    if (request.orderPaths) order = request.travelOrder ? PathOrder::Travel : PathOrder::Bands;
    bool orderingFailed = false;
    const ConversionResult result = ConvertInOrder(convert, request.job, count, order, orderingFailed);
    if (orderingFailed && result != ConversionLineBeforeMove)
        error = CJobConversion::ExplainOpenFailure(request.source, request.job);
    return result;
}

CJobConversion::Outcome RunStandard(const CJobConversion::Request& request, std::int32_t& count) {
    CJobConversion::Outcome outcome;
    StandardPlotStats stats;
    std::string error;
    const ConversionResult result = ConvertRequest(
        request, count, error, [&](const std::string& target, std::int32_t& n) {
            return ConvertStandardPlotFile(request.source, target, n, stats, error);
        });
    if (result != ConversionDone && result != ConversionLineBeforeMove) {
        outcome.failure = error;
        return outcome;
    }
    outcome.converted = true;
    if (stats.labels != 0 || stats.fills != 0 || stats.unknown != 0)
        outcome.notes = "not cut: " + std::to_string(stats.labels) + " labels, " + std::to_string(stats.fills) +
                        " fills, " + std::to_string(stats.unknown) + " unknown instructions";
    return outcome;
}

CJobConversion::Outcome RunDrawing(const CJobConversion::Request& request, std::int32_t& count) {
    CJobConversion::Outcome outcome;
    DrawingStats stats;
    std::string error;
    const ConversionResult result = ConvertRequest(
        request, count, error, [&](const std::string& target, std::int32_t& n) {
            return request.flavour == FlavourSvg ? ConvertSvgDrawing(request.source, target, n, stats, error)
                                                 : ConvertPostScriptDrawing(request.source, target, n, stats, error);
        });
    if (result != ConversionDone && result != ConversionLineBeforeMove) {
        outcome.failure = error;
        return outcome;
    }
    outcome.converted = true;
    for (const std::string& line : DescribeDrawing(stats)) outcome.notes += (outcome.notes.empty() ? "" : "; ") + line;
    return outcome;
}

}  // namespace

std::string CJobConversion::ExplainOpenFailure(const std::string& source, const std::string& job) {
    BinaryFile in;
    if (!in.Open(source, BinaryFile::Mode::Read))
        return "cannot read " + source + ": " + SystemErrorText(in.OpenError());
    in.Abandon();
    // The converters report only that a file failed to open; the reason is found
    // by trying the same replacement again.
    if (std::string reason = FileReplacement::Check(job); !reason.empty()) return "cannot write " + job + ": " + reason;
    try {
        PrivateTempDir();  // the multi-knife pipeline keeps its intermediate files there
    } catch (const TempDirError& e) {
        return std::string("cannot convert ") + source + ": " + e.what();
    }
    return "cannot convert " + source + " into " + job;
}

CJobConversion::Outcome CJobConversion::Run(const Request& request, std::int32_t& count) {
    Outcome outcome = RunConverter(request, count);
    if (outcome.converted && CountKnifeCuts(request.job) == 0)
        outcome.nothingToCut = NothingToCutText(request.source, request.flavour);
    return outcome;
}

CJobConversion::Outcome CJobConversion::RunConverter(const Request& request, std::int32_t& count) {
    Outcome outcome;
    const std::string& source = request.source;
    const std::string& job = request.job;
    ConversionResult result = ConversionDone;
    try {
        if (request.flavour == FlavourStandard) return RunStandard(request, count);
        if (request.flavour == FlavourSvg || request.flavour == FlavourPostScript) return RunDrawing(request, count);
        switch (request.fileType) {
            case PlotterTypeMultiKnife:
                result = ConvertMultiKnifeJob(source, job, count, request.flavour);
                break;
            case PlotterTypeHpgl:
                result = ConvertHpglFile(source, job, count, request.flavour);
                break;
            case PlotterTypeH:
                result = ConvertHFile(source, job, count, request.flavour);
                break;
            default:
                outcome.jobEmptied = true;
                return outcome;
        }
    } catch (const FileError& e) {
        outcome.failure = "cannot convert " + source + ": " + e.Path() + ": " + e.Reason();
        return outcome;
    } catch (const TempDirError& e) {
        outcome.failure = "cannot convert " + source + ": " + e.what();
        return outcome;
    } catch (const std::bad_alloc&) {
        // The ordering holds a knife's paths in memory; the previous job stays.
        outcome.failure = source + ": not enough memory";
        return outcome;
    }
    // The ordering steps of the multi-knife pipeline report 1 for a job that is
    // still complete.
    if (result == ConversionDone || result == ConversionLineBeforeMove) {
        outcome.converted = true;
        return outcome;
    }
    outcome.failure = ExplainOpenFailure(source, job);
    return outcome;
}

}  // namespace velkar
