#include <cstdint>
#include <ostream>
#include <string>

#include <sys/stat.h>

#include "cli/cli.h"
#include "cli/commands.h"
#include "import/standardplotreader.h"
#include "job/filereplacement.h"
#include "split/multiknifejob.h"

namespace velkar::cli {

namespace {

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

void ReportSkipped(const std::string& source, const StandardPlotStats& stats, std::ostream& err) {
    if (stats.labels == 0 && stats.fills == 0 && stats.unknown == 0) return;
    err << source << ": not cut: " << stats.labels << " labels, " << stats.fills << " fills, " << stats.unknown
        << " unknown instructions\n";
}

}  // namespace

int RunStandardImport(const std::string& source, const std::string& job, std::optional<PathOrder> order,
                      std::ostream& out, std::ostream& err) {
    // The job is renamed over its target when complete; a target that is the
    // plotter file itself would replace the input.
    if (IsSameFile(source, job)) {
        ReportError(err, job + ": is the plotter file itself; choose another job file with -o");
        return ExitFileError;
    }
    std::int32_t count = 0;
    StandardPlotStats stats;
    std::string error;
    bool orderingFailed = false;
    const ConversionResult result = ConvertInOrder(
        [&](const std::string& target, std::int32_t& n) {
            return ConvertStandardPlotFile(source, target, n, stats, error);
        },
        job, count, order, orderingFailed);
    if (orderingFailed) {
        const std::string why = FileReplacement::Check(job);
        error = job + ": " + (why.empty() ? std::string("the ordered job could not be written") : why);
    }
    if (result != ConversionDone) {
        ReportError(err, error);
        return result == ConversionFileFailed ? ExitFileError : ExitUsage;
    }
    ReportSkipped(source, stats, err);
    out << job << ": " << count << " records\n";
    return ExitOk;
}

}  // namespace velkar::cli
