#pragma once

#include <string>

namespace velkar {

// Files that only live while this process works (scratch copies of a job being
// written, the multi-knife pipeline's files) and must not outlive it.
//
// While registered, a file is removed when SIGINT, SIGTERM or SIGHUP ends the
// process; the signal then ends it as it would have. Files that a process
// killed outright leaves behind carry its process id in their name, so a later
// process can tell them from the files of one still running and remove them.
class ScratchFiles {
public:
    // Registers path; returns its slot for Drop(), or -1 when every slot is
    // taken or the path is too long (the file is then removed only by the
    // owner's own cleanup or by RemoveStale of a later process).
    static int Add(const std::string& path);
    // Forgets a slot from Add(); -1 is ignored.
    static void Drop(int slot);

    // Installs the removal for SIGINT, SIGTERM and SIGHUP where the signal
    // still has its default action (an ignored SIGHUP stays ignored).
    static void RemoveOnSignals();

    // The name of a new scratch file beside path, a template for mkstemp:
    // path + "." + this process's id + "~XXXXXX".
    static std::string Template(const std::string& path);

    // Removes the scratch files in dir whose name is prefix + "." + a process id +
    // "~" + six characters, whose process no longer runs, and which this user
    // owns. An empty prefix matches any name. Never raises.
    static void RemoveStale(const std::string& dir, const std::string& prefix = std::string());
};

}  // namespace velkar
