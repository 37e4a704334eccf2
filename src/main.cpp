#include <iostream>

#include "cli/cli.h"
#include "job/scratchfiles.h"
#ifdef VELKAR_HAVE_GUI
#include "app/guimain.h"
#endif

int main(int argc, char** argv) {
    // Ctrl-C, TERM or HUP during a conversion must not leave scratch files behind.
    velkar::ScratchFiles::RemoveOnSignals();
#ifdef VELKAR_HAVE_GUI
    // Without a subcommand the desktop program starts; subcommands never need a display.
    if (!velkar::cli::IsCliInvocation(argc, argv)) return velkar::RunDesktop(argc, argv);
#endif
    return velkar::cli::RunCli(argc, argv, std::cout, std::cerr);
}
