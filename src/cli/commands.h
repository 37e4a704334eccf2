#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace velkar::cli {

// The subcommands' entries, listed in the table of cli.cpp. Each takes the
// arguments after its name and returns the process exit code.

// velkar import FILE --flavour N [-o JOB]
int RunImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// velkar info JOB [--records]
int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace velkar::cli
