#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace velkar::test {

// What `velkar <args...>` printed and returned, run in-process.
struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

inline CliRun RunVelkar(std::vector<std::string> args) {
    args.insert(args.begin(), "velkar");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    CliRun r;
    r.code = cli::RunCli(static_cast<int>(args.size()), argv.data(), out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

}  // namespace velkar::test
