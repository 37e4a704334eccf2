#include "app/flavourchoice.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <vector>

#include <unistd.h>

#include "cutter/knifecuts.h"
#include "import/dmplconverter.h"
#include "import/hconverter.h"
#include "import/hpglconverter.h"
#include "import/plottertype.h"
#include "import/standardplotreader.h"
#include "job/binaryfile.h"
#include "job/scratchfiles.h"
#include "job/tempdir.h"

namespace velkar {

namespace {

// An empty file of its own in the private temporary directory, removed when this goes.
class ScratchFile {
public:
    ScratchFile() {
        std::string pattern = ScratchFiles::Template(PrivateTempFile("trial"));
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) throw TempDirError(pattern + ": " + SystemErrorText(errno));
        ::close(fd);
        m_strPath = pattern;
        m_nSlot = ScratchFiles::Add(m_strPath);
    }
    ~ScratchFile() {
        ::unlink(m_strPath.c_str());
        ScratchFiles::Drop(m_nSlot);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
    int m_nSlot = -1;
};

// Copies the first `bytes` of source into target.
void CopyStart(const std::string& source, const std::string& target, std::uint64_t bytes) {
    BinaryFile in;
    BinaryFile out;
    if (!in.Open(source, BinaryFile::Mode::Read)) throw FileError(source, SystemErrorText(in.OpenError()));
    if (!out.Open(target, BinaryFile::Mode::CreateTruncate)) throw FileError(target, SystemErrorText(out.OpenError()));
    std::vector<char> block(64 * 1024);
    while (bytes > 0) {
        const std::size_t got = in.Read(block.data(), std::min<std::uint64_t>(bytes, block.size()));
        if (got == 0) break;
        out.Write(block.data(), got);
        bytes -= got;
    }
    out.Close();
    in.Abandon();
}

// The cuts the design's converter for type writes from input; -1 for a type without one.
std::int64_t DesignCuts(int type, const std::string& input) {
    ScratchFile job;
    std::int32_t count = 0;
    ConversionResult result = ConversionFileFailed;
    switch (type) {
        // The DM/PL style's first stage alone: splitting and ordering add no cuts.
        case PlotterTypeMultiKnife: result = ConvertDmplFile(input, job.Path(), count, FlavourAutocad); break;
        case PlotterTypeHpgl: result = ConvertHpglFile(input, job.Path(), count, FlavourZorvex); break;
        case PlotterTypeH: result = ConvertHFile(input, job.Path(), count, FlavourCasmate); break;
        default: return -1;
    }
    return result == ConversionDone ? CountKnifeCuts(job.Path()) : -1;
}

}  // namespace

const char* FlavourCaption(int flavour) {
    static const char* const captions[] = {"ZORVEX PLT",   "Coredraw PLT", "AutoCad PLT",    "CasMate PLT",
                                           "Standard PLT", "SVG drawing",  "EPS/PDF drawing"};
    return flavour >= 1 && flavour <= 7 ? captions[flavour - 1] : "";
}

std::int64_t StandardPlotCuts(const std::string& plotterFile) {
    try {
        ScratchFile job;
        std::int32_t count = 0;
        StandardPlotStats stats;
        std::string error;
        if (ConvertStandardPlotFile(plotterFile, job.Path(), count, stats, error) != ConversionDone) return -1;
        return CountKnifeCuts(job.Path());
    } catch (const std::exception&) {
        return -1;
    }
}

std::string NothingToCutText(const std::string& plotterFile, int flavour) {
    std::string text = plotterFile + ": nothing to cut with " + FlavourCaption(flavour);
    const std::int64_t cuts = flavour >= FlavourZorvex && flavour <= FlavourCasmate ? StandardPlotCuts(plotterFile) : 0;
    if (cuts > 0)
        text += std::string("; ") + FlavourCaption(FlavourStandard) + " finds " + std::to_string(cuts) +
                (cuts == 1 ? " cut" : " cuts");
    return text;
}

int FlavourThatReads(const std::string& plotterFile) {
    try {
        std::string first39;
        int error = 0;
        if (!ReadRecognitionText(plotterFile, first39, error)) return FlavourStandard;
        const int type = RecognizePlotterType(first39);
        const int flavour = type == PlotterTypeHpgl         ? FlavourZorvex
                            : type == PlotterTypeMultiKnife ? FlavourAutocad
                            : type == PlotterTypeH          ? FlavourCasmate
                                                            : FlavourStandard;
        if (flavour == FlavourStandard) return flavour;
        ScratchFile start;
        CopyStart(plotterFile, start.Path(), TrialBytes);
        return DesignCuts(type, start.Path()) > 0 ? flavour : FlavourStandard;
    } catch (const std::exception&) {
        return FlavourStandard;
    }
}

}  // namespace velkar
