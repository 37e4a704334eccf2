#include <sys/stat.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "cli/cli.h"
#include "cli/commands.h"
#include "drawingimport/postscriptdrawing.h"
#include "drawingimport/svgdrawingreader.h"
#include "job/filereplacement.h"
#include "split/multiknifejob.h"

namespace velkar::cli {

namespace {

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

ConversionResult Convert(const std::string& source, const std::string& job, int flavour, std::int32_t& count,
                         DrawingStats& stats, std::string& error) {
    if (flavour == FlavourSvg) return ConvertSvgDrawing(source, job, count, stats, error);
    return ConvertPostScriptDrawing(source, job, count, stats, error);
}

}  // namespace

int RunDrawingImport(const std::string& source, const std::string& job, int flavour, std::optional<PathOrder> order,
                     std::ostream& out, std::ostream& err) {
    if (IsSameFile(source, job)) {
        ReportError(err, job + ": is the drawing itself; choose another job file with -o");
        return ExitFileError;
    }
    std::int32_t count = 0;
    DrawingStats stats;
    std::string error;
    bool orderingFailed = false;
    const ConversionResult result = ConvertInOrder(
        [&](const std::string& target, std::int32_t& n) { return Convert(source, target, flavour, n, stats, error); },
        job, count, order, orderingFailed);
    if (orderingFailed) {
        const std::string why = FileReplacement::Check(job);
        error = job + ": " + (why.empty() ? std::string("the ordered job could not be written") : why);
    }
    if (result != ConversionDone) {
        ReportError(err, error);
        return result == ConversionFileFailed || result == ConversionNoTool ? ExitFileError : ExitUsage;
    }
    for (const std::string& line : DescribeDrawing(stats)) err << source << ": " << line << "\n";
    out << job << ": " << count << " records\n";
    return ExitOk;
}

}  // namespace velkar::cli
