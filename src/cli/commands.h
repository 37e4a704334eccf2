#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "split/multiknifejob.h"

namespace velkar::cli {

// The subcommands' entries, listed in the table of cli.cpp. Each takes the
// arguments after its name and returns the process exit code.

// velkar import FILE [--flavour N] [--order [bands|travel]] [-o JOB]
int RunImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The import of flavour 5, "Standard PLT": converts source into job, keeping
// the drawing order unless `order` asks for the per-knife split and an ordering.
// Prints the job and its record count on out, the skipped labels, fills and
// unknown instructions on err.
int RunStandardImport(const std::string& source, const std::string& job, std::optional<PathOrder> order,
                      std::ostream& out, std::ostream& err);

// The import of a drawing, flavour 6 (SVG) or 7 (PostScript, EPS, PDF,
// Illustrator): converts source into job, keeping the drawing order unless
// order asks for the per-knife split and ordering. Prints the job and its
// record count on out, each knife's colours, paths and length and what was
// left out on err.
int RunDrawingImport(const std::string& source, const std::string& job, int flavour, std::optional<PathOrder> order,
                     std::ostream& out, std::ostream& err);

// velkar info JOB [--records]
int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Exit code of a send that the operator cancelled or declined.
inline constexpr int ExitCancelled = 4;

// velkar stream JOB ...: the exact bytes a cut would send, without prompts.
int RunStream(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
extern const char* const StreamUsage;

#ifdef VELKAR_WITH_QT
// velkar cut JOB ...: sends the job to the cutter on a serial device.
int RunCut(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
extern const char* const CutUsage;
#endif

// velkar render JOB -o FILE.png|.svg|.pdf [--scale S] [--sharp MM] [--close MM] [--move-x MM] [--move-y MM]
int RunRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace velkar::cli
