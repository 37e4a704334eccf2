#include <cctype>
#include <new>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "cli/cli.h"
#include "cli/commands.h"
#ifdef VELKAR_HAVE_DRAWING
#include "drawingimport/drawingflavour.h"
#endif
#include "import/hconverter.h"
#include "import/hpglconverter.h"
#include "import/standardplotreader.h"
#include "import/plottertype.h"
#include "import/textsource.h"
#include "job/binaryfile.h"
#include "job/jobwriter.h"
#include "split/multiknifejob.h"
#include "split/pipelinefiles.h"

namespace velkar::cli {

namespace {

bool SameTextIgnoringCase(const std::string& a, const char* b);

struct ImportArgs {
    std::string source;
    std::string job;  // empty: derived from the source
    int flavour = 0;
    std::optional<PathOrder> order;  // standard flavour and drawings only: per-knife split and ordering
};

// Flavours beyond the plotter programs: 5 and, where drawings are read, 6 and 7.
int ParseImportFlavour(const std::string& value) {
    if (value == "5" || SameTextIgnoringCase(value, "standard")) return FlavourStandard;
#ifdef VELKAR_HAVE_DRAWING
    if (value == "6" || SameTextIgnoringCase(value, "svg")) return FlavourSvg;
    if (value == "7" || SameTextIgnoringCase(value, "pdf") || SameTextIgnoringCase(value, "eps") ||
        SameTextIgnoringCase(value, "ps"))
        return FlavourPostScript;
#endif
    return ParseFlavour(value);
}

#ifdef VELKAR_HAVE_DRAWING
constexpr const char* FlavourChoices = "1 to 7 or zorvex, coredraw, autocad, casmate, standard, svg, pdf";
#else
constexpr const char* FlavourChoices = "1 to 5 or zorvex, coredraw, autocad, casmate, standard";
#endif

bool IsDrawingFlavour(int flavour) {
#ifdef VELKAR_HAVE_DRAWING
    return flavour == FlavourSvg || flavour == FlavourPostScript;
#else
    (void)flavour;
    return false;
#endif
}

bool SameTextIgnoringCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return i == a.size() && !b[i];
}

// Parses the arguments; on a mistake reports it and returns false.
bool ParseImportArgs(const std::vector<std::string>& args, ImportArgs& parsed, std::ostream& err) {
    bool haveFlavour = false;
    bool optionsEnded = false;  // after "--" a name starting with '-' is a file
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (optionsEnded) {
            if (!parsed.source.empty()) {
                ReportError(err, "import: more than one plotter file given");
                return false;
            }
            parsed.source = a;
        } else if (a == "--order" || a == "--order=bands" || a == "--order=travel") {
            // A bare --order keeps meaning the band order; a following word may choose.
            parsed.order = PathOrder::Bands;
            if (a == "--order=travel" || (a == "--order" && i + 1 < args.size() && args[i + 1] == "travel"))
                parsed.order = PathOrder::Travel;
            if (a == "--order" && i + 1 < args.size() && (args[i + 1] == "travel" || args[i + 1] == "bands")) ++i;
        } else if (a == "--flavour" || a == "-f" || a == "-o" || a == "--output") {
            if (i + 1 == args.size()) {
                ReportError(err, "import: " + a + " needs a value");
                return false;
            }
            const std::string& value = args[++i];
            if (a == "-o" || a == "--output") {
                parsed.job = value;
                continue;
            }
            parsed.flavour = ParseImportFlavour(value);
            haveFlavour = true;
            if (parsed.flavour == 0) {
                ReportError(err, "import: unknown flavour '" + value + "' (use " + FlavourChoices + ")");
                return false;
            }
        } else if (a.size() > 1 && a[0] == '-') {
            ReportError(err, "import: unknown option '" + a + "'");
            return false;
        } else if (parsed.source.empty()) {
            parsed.source = a;
        } else {
            ReportError(err, "import: more than one plotter file given");
            return false;
        }
    }
    if (parsed.source.empty()) {
        ReportError(err, "import: no plotter file given (velkar import FILE [--flavour N] [--order [bands|travel]] [-o JOB])");
        return false;
    }
    if (!haveFlavour) {
        parsed.flavour = FlavourStandard;
#ifdef VELKAR_HAVE_DRAWING
        if (const int drawing = DrawingFlavourOf(parsed.source); drawing != 0) parsed.flavour = drawing;
#endif
    }
    if (parsed.order && parsed.flavour != FlavourStandard && !IsDrawingFlavour(parsed.flavour)) {
        ReportError(err, "import: --order works with the standard flavour and drawings only");
        return false;
    }
    if (parsed.job.empty()) parsed.job = DeriveJobPath(parsed.source);
    return true;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// Runs the converter of a plotter type. False when the type has no converter
// in this program.
bool RunConverter(int type, const ImportArgs& a, std::int32_t& count, ConversionResult& result) {
    switch (type) {
        case PlotterTypeHpgl:
            result = ConvertHpglFile(a.source, a.job, count, a.flavour);
            return true;
        case PlotterTypeH:
            result = ConvertHFile(a.source, a.job, count, a.flavour);
            return true;
        case PlotterTypeMultiKnife:
            result = ConvertMultiKnifeJob(a.source, a.job, count, a.flavour);
            return true;
        default:
            return false;
    }
}

// A converter reports only that a file failed; find out which one and why.
std::string DiagnoseFailure(const ImportArgs& a) {
    TextSource in;
    if (!in.Open(a.source)) return a.source + ": " + SystemErrorText(in.OpenError());
    JobWriter probe;  // abandoned unfinished, so its scratch file goes again
    if (!probe.Open(a.job)) return a.job + ": " + probe.OpenErrorText();
    return a.job + ": the job could not be written";
}

int ImportParsed(const ImportArgs& a, std::ostream& out, std::ostream& err) {
    if (a.flavour == FlavourStandard) return RunStandardImport(a.source, a.job, a.order, out, err);
#ifdef VELKAR_HAVE_DRAWING
    if (IsDrawingFlavour(a.flavour)) return RunDrawingImport(a.source, a.job, a.flavour, a.order, out, err);
#endif

    // These flavours read the file twice (its first characters, then the whole),
    // which a pipe cannot give: the second read would see only what is left.
    struct stat st {};
    if (::stat(a.source.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        ReportError(err, a.source + ": is a pipe or a device; flavours 1 to 4 read regular files only "
                                    "(save it to a file first, or use the standard flavour)");
        return ExitFileError;
    }
    std::string first;
    int error = 0;
    if (!ReadRecognitionText(a.source, first, error)) {
        ReportError(err, a.source + ": " + SystemErrorText(error));
        return ExitFileError;
    }
    const int type = RecognizePlotterType(first);
    std::string refusal = CheckFlavourAndType(a.flavour, type);
    if (!refusal.empty()) {
        ReportError(err, a.source + ": " + refusal);
        return ExitUsage;
    }
    if (type == PlotterTypeUnknown || type == PlotterTypeHpglNoConverter) {
        ReportError(err, a.source + ": nothing to convert (" +
                             (type == PlotterTypeUnknown ? std::string("plotter type not recognised")
                                                         : std::string("an HP-GL type that is not converted")) +
                             ")");
        return ExitNothingToDo;
    }
    // The job is written beside and then renamed over its target, so a target
    // that is the plotter file itself would replace the input.
    if (SameFile(a.source, a.job)) {
        ReportError(err, a.job + ": is the plotter file itself; choose another job file with -o");
        return ExitFileError;
    }

    std::int32_t count = 0;
    ConversionResult result = ConversionDone;
    if (!RunConverter(type, a, count, result)) {
        ReportError(err, a.source + ": no converter for this plotter type");
        return ExitNothingToDo;
    }
    if (result != ConversionDone) {
        ReportError(err, DiagnoseFailure(a));
        return ExitFileError;
    }
    out << a.job << ": " << count << " records\n";
    return ExitOk;
}

}  // namespace

int RunImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ImportArgs a;
    if (!ParseImportArgs(args, a, err)) return ExitUsage;
    PipelineFiles::RemoveLeftovers();
    try {
        return ImportParsed(a, out, err);
    } catch (const std::bad_alloc&) {
        // The ordering holds a knife's paths in memory; the job stays as it was.
        ReportError(err, a.source + ": not enough memory");
        return ExitFileError;
    }
}

}  // namespace velkar::cli
