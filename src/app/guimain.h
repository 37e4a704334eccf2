#pragma once

namespace velkar {

// Runs the desktop program; returns the process exit code.
int RunDesktop(int argc, char** argv);

}  // namespace velkar
