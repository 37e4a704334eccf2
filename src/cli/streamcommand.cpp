#include <cerrno>
#include <fstream>
#include <ostream>

#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/sendoptions.h"
#include "cutter/cuttersend.h"
#include "job/binaryfile.h"

namespace velkar::cli {

const char* const StreamUsage =
    "velkar stream JOB [--sharp MM] [--close MM] [--move-x MM] [--move-y MM] [--define-color] [--compact] [-o FILE]\n"
    "                  [--dialect velkar|hpgl] [--knife-speed K=CM/S] [--knife-force K=F]\n"
    "  Writes the exact bytes that cutting JOB would send to the cutter, to standard output or FILE.\n"
    "  --compact leaves out the moves to where the knife already is.\n"
    "  --dialect: the cutter's command language (default velkar); hpgl sends the speed (VS) and\n"
    "  force (FS) given for knife K (1-8) with its selection.";

namespace {

class StreamOutput : public CutterOutput {
public:
    StreamOutput(std::ostream& os, std::string name) : m_os(os), m_strName(std::move(name)) {}
    Status Write(const char* data, std::size_t n, OutputWait&) override {
        m_os.write(data, static_cast<std::streamsize>(n));
        return m_os ? Status::Written : Status::Failed;
    }
    std::string ErrorText() const override { return m_strName + ": the output could not be written"; }

private:
    std::ostream& m_os;
    std::string m_strName;
};

}  // namespace

int RunStream(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CutterSendOptions options;
    std::string job, outPath, error;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o") {
            if (i + 1 >= args.size()) return ReportError(err, "-o needs a file name"), ExitUsage;
            outPath = args[++i];
        } else if (a != "--pen-tip" && TakeSendOption(args, i, options, error)) {
            if (!error.empty()) return ReportError(err, error), ExitUsage;
        } else if (!a.empty() && a[0] == '-') {
            return ReportError(err, "unknown option '" + a + "' (see 'velkar stream --help')"), ExitUsage;
        } else if (job.empty()) {
            job = a;
        } else {
            return ReportError(err, "only one job can be streamed"), ExitUsage;
        }
    }
    if (job.empty()) return ReportError(err, "no job given (see 'velkar stream --help')"), ExitUsage;

    CCutterSend send(options);
    if (!send.OpenJob(job)) return ReportError(err, send.ErrorText()), ExitFileError;
    std::ofstream file;
    if (!outPath.empty()) {
        file.open(outPath, std::ios::binary | std::ios::trunc);
        if (!file) return ReportError(err, outPath + ": " + SystemErrorText(errno)), ExitFileError;
    }
    std::ostream& target = outPath.empty() ? out : file;
    StreamOutput output(target, outPath.empty() ? "standard output" : outPath);
    CutterSendHooks hooks;  // no operator: nothing is asked, nothing is cancelled
    const CCutterSend::Result result = send.Send(hooks, output);
    target.flush();
    if (result == CCutterSend::Result::Completed && !target)
        return ReportError(err, output.ErrorText()), ExitFileError;
    if (result != CCutterSend::Result::Completed) return ReportError(err, send.ErrorText()), ExitFileError;
    if (file.is_open()) {
        file.close();
        if (!file) return ReportError(err, output.ErrorText()), ExitFileError;
    }
    return ExitOk;
}

}  // namespace velkar::cli
