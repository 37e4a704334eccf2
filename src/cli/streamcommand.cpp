#include <ostream>

#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/sendoptions.h"
#include "cutter/cuttersend.h"
#include "job/binaryfile.h"
#include "job/filereplacement.h"

namespace velkar::cli {

const char* const StreamUsage =
    "velkar stream JOB [--sharp MM] [--close MM] [--move-x MM] [--move-y MM] [--define-color] [--compact] [-o FILE]\n"
    "                  [--dialect velkar|hpgl] [--knife-speed K=CM/S] [--knife-force K=F]\n"
    "  Writes the exact bytes that cutting JOB would send to the cutter, to standard output or FILE.\n"
    "  --compact leaves out the moves to where the knife already is.\n"
    "  --dialect: the cutter's command language (default velkar); hpgl sends the speed (VS) and\n"
    "  force (FS) given for knife K (1-8) with its selection.";

namespace {

// Standard output, or a file that is put in place only when the whole stream
// is in it.
class StreamOutput : public CutterOutput {
public:
    explicit StreamOutput(std::ostream& os) : m_os(os) {}
    bool OpenFile(const std::string& path) {
        if (!m_replacement.Open(path)) return m_strError = path + ": " + m_replacement.Reason(), false;
        m_file.Adopt(m_replacement.TakeDescriptor(), path);
        return true;
    }
    Status Write(const char* data, std::size_t n, OutputWait&) override {
        if (!m_file.IsOpen()) {
            m_os.write(data, static_cast<std::streamsize>(n));
            if (!m_os) m_strError = "standard output: the output could not be written";
            return m_os ? Status::Written : Status::Failed;
        }
        try {
            m_file.Write(data, n);
        } catch (const FileError& e) {
            m_strError = e.what();
            return Status::Failed;
        }
        return Status::Written;
    }
    // Completes the output; false with ErrorText() when it could not be.
    bool Finish() {
        if (!m_file.IsOpen()) {
            m_os.flush();
            if (!m_os) m_strError = "standard output: the output could not be written";
            return static_cast<bool>(m_os);
        }
        try {
            m_file.Close();
            m_replacement.Commit();
        } catch (const FileError& e) {
            m_strError = e.what();
            return false;
        }
        return true;
    }
    std::string ErrorText() const override { return m_strError; }

private:
    std::ostream& m_os;
    FileReplacement m_replacement;
    BinaryFile m_file;
    std::string m_strError;
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
    StreamOutput output(out);
    if (!outPath.empty() && !output.OpenFile(outPath)) return ReportError(err, output.ErrorText()), ExitFileError;
    CutterSendHooks hooks;  // no operator: nothing is asked, nothing is cancelled
    const CCutterSend::Result result = send.Send(hooks, output);
    if (result != CCutterSend::Result::Completed) return ReportError(err, send.ErrorText()), ExitFileError;
    if (!output.Finish()) return ReportError(err, output.ErrorText()), ExitFileError;
    return ExitOk;
}

}  // namespace velkar::cli
