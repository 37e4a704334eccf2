#include <iostream>

#include "cli/cli.h"
#ifdef VELKAR_HAVE_GUI
#include "app/guimain.h"
#endif

int main(int argc, char** argv) {
#ifdef VELKAR_HAVE_GUI
    // Without a subcommand the desktop program starts; subcommands never need a display.
    if (!velkar::cli::IsCliInvocation(argc, argv)) return velkar::RunDesktop(argc, argv);
#endif
    return velkar::cli::RunCli(argc, argv, std::cout, std::cerr);
}
