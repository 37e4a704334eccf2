#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace velkar::cli {

// The subcommands' entries, listed in the table of cli.cpp. Each takes the
// arguments after its name and returns the process exit code.

// velkar import FILE [--flavour N] [--order] [-o JOB]
int RunImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The import of flavour 5, "Standard PLT": converts source into job, keeping
// the drawing order unless order asks for the per-knife split and ordering.
// Prints the job and its record count on out, the skipped labels, fills and
// unknown instructions on err.
int RunStandardImport(const std::string& source, const std::string& job, bool order, std::ostream& out,
                      std::ostream& err);

// velkar info JOB [--records]
int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace velkar::cli
