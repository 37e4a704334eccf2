#include "cli/cli.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <ostream>

#include "cli/commands.h"

namespace velkar::cli {

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"import", "convert a plotter file or a drawing into a PT1 job",
         "velkar import FILE [--flavour N] [--order [bands|travel]] [-o JOB]\n"
         "  N: 1 or zorvex, 2 or coredraw, 3 or autocad, 4 or casmate (the program that wrote FILE),\n"
         "  5 or standard (HP-GL, HP-GL/2 or DM/PL from any program; the default),\n"
         "  6 or svg (an SVG drawing), 7 or pdf (PostScript, EPS, PDF or AI, through pstoedit);\n"
         "  drawings are recognised by their name or content without --flavour.\n"
         "  --order (standard and drawings) sorts the paths per knife in bands instead of keeping the\n"
         "  drawing order; --order travel orders them for the shortest knife-up travel instead;\n"
         "  what was not converted, and a drawing's knives, are told on stderr.\n"
         "  The job goes to JOB, or beside FILE with the extension PT1.\n"
         "  A FILE whose name starts with '-' goes last, after --.",
         RunImport},
        {"info", "summarise a PT1 job",
         "velkar info JOB [--records] [--baud B] [--compact] [--sharp MM] [--close MM] [--move-x MM] [--move-y MM]\n"
         "               [--define-color]\n"
         "  Prints the headers, the count of each record kind and the knives present, then what a cut\n"
         "  with the given send options takes: metres cut and travelled with the knife up, bytes sent\n"
         "  and the time the line needs at B baud (default: the stored serial settings);\n"
         "  --records adds one line per record: index, code, x, y, z.",
         RunInfo},
        {"stream", "write the exact bytes a cut would send", StreamUsage, RunStream},
#ifdef VELKAR_WITH_QT
        {"cut", "send a job to the cutter", CutUsage, RunCut},
#endif
#ifdef VELKAR_HAVE_RENDER
        {"render", "draw a job into a picture file",
         "velkar render JOB -o FILE.png|.svg|.pdf [--scale S] [--sharp MM] [--close MM] [--move-x MM] [--move-y MM]",
         RunRender},
#endif
    };
    return commands;
}

namespace {

void PrintHelp(std::ostream& out) {
    out << "Usage: velkar <command> [arguments]\n\nCommands:\n";
    for (const Command& c : Commands()) out << "  " << c.name << std::string(10 - std::min<std::size_t>(9, std::strlen(c.name)), ' ') << c.summary << "\n";
    out << "\n'velkar <command> --help' describes a command.\n";
}

const Command* Find(const char* name) {
    for (const Command& c : Commands())
        if (std::strcmp(c.name, name) == 0) return &c;
    return nullptr;
}

}  // namespace

void ReportError(std::ostream& err, const std::string& message) { err << "velkar: " << message << "\n"; }

bool IsCliInvocation(int argc, char** argv) {
    if (argc < 2) return false;
    const char* a = argv[1];
    return std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0 || std::strcmp(a, "help") == 0 || Find(a) != nullptr;
}

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        PrintHelp(out);
        return ExitOk;
    }
    const Command* c = Find(argv[1]);
    if (!c) {
        ReportError(err, std::string("unknown command '") + argv[1] + "' (see 'velkar --help')");
        return ExitUsage;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const std::string& a : args) {
        if (a == "--") break;  // what follows names files, even "--help"
        if (a == "--help" || a == "-h") {
            out << "Usage: " << c->usage << "\n";
            return ExitOk;
        }
    }
    try {
        return c->run(args, out, err);
    } catch (const std::exception& e) {
        ReportError(err, e.what());
        return ExitFileError;
    }
}

}  // namespace velkar::cli
