#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace velkar::cli {

// Exit codes shared by the subcommands.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFileError = 1;   // a missing, unreadable or unwritable file
inline constexpr int ExitUsage = 2;       // bad arguments, or a refused flavour/type pair
inline constexpr int ExitNothingToDo = 3; // a plotter type without a converter

// One subcommand: its name, a one-line summary, its usage text and its entry.
struct Command {
    const char* name;
    const char* summary;
    const char* usage;
    int (*run)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};

// The table of subcommands, in the order --help lists them.
const std::vector<Command>& Commands();

// True when argv[1] names a subcommand or asks for help.
bool IsCliInvocation(int argc, char** argv);

// Runs `velkar <command> ...`; returns the process exit code.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err);

// Prints "velkar: <message>" as one line on err.
void ReportError(std::ostream& err, const std::string& message);

}  // namespace velkar::cli
