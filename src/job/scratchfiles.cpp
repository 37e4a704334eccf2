#include "job/scratchfiles.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkar {

namespace {

// A signal may arrive on any thread at any moment, so the table is fixed,
// lock-free and read by the handler with async-signal-safe calls only.
enum SlotState : int { Free, Filling, Ready };

struct Slot {
    std::atomic<int> state{Free};
    char path[4096];
};

constexpr std::size_t SlotCount = 32;
std::array<Slot, SlotCount> g_slots;
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void RemoveScratchAndEnd(int signal) {
    const int savedErrno = errno;
    for (Slot& s : g_slots)
        if (s.state.load() == Ready) ::unlink(s.path);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(signal, &dfl, nullptr);
    errno = savedErrno;
    ::raise(signal);  // delivered when the handler returns: the process ends as the signal says
}

bool IsProcessGone(long pid) {
    if (pid <= 0 || pid != static_cast<pid_t>(pid)) return false;
    return ::kill(static_cast<pid_t>(pid), 0) < 0 && errno == ESRCH;
}

// The process id in a scratch name, prefix "." digits "~" six characters; 0 when
// name is not one.
long ScratchOwner(const std::string& name, const std::string& prefix) {
    if (name.size() < prefix.size() + 9 || name.compare(0, prefix.size(), prefix) != 0) return 0;
    const std::size_t tilde = name.size() - 7;
    if (name[tilde] != '~') return 0;
    const std::size_t dot = prefix.empty() ? name.rfind('.', tilde - 1) : prefix.size();
    if (dot == std::string::npos || name[dot] != '.' || dot + 1 >= tilde || tilde - dot > 11) return 0;
    long pid = 0;
    for (std::size_t i = dot + 1; i < tilde; ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        pid = pid * 10 + (name[i] - '0');
    }
    return pid;
}

}  // namespace

int ScratchFiles::Add(const std::string& path) {
    if (path.size() >= sizeof g_slots[0].path) return -1;
    for (std::size_t i = 0; i < SlotCount; ++i) {
        int expected = Free;
        if (!g_slots[i].state.compare_exchange_strong(expected, Filling)) continue;
        std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
        g_slots[i].state.store(Ready);
        return static_cast<int>(i);
    }
    return -1;
}

void ScratchFiles::Drop(int slot) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= SlotCount) return;
    g_slots[static_cast<std::size_t>(slot)].state.store(Free);
}

void ScratchFiles::RemoveOnSignals() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) < 0 || old.sa_handler != SIG_DFL) continue;
        struct sigaction sa {};
        sa.sa_handler = RemoveScratchAndEnd;
        sigemptyset(&sa.sa_mask);
        sigaddset(&sa.sa_mask, SIGINT);
        sigaddset(&sa.sa_mask, SIGTERM);
        sigaddset(&sa.sa_mask, SIGHUP);
        ::sigaction(signal, &sa, nullptr);
    }
}

std::string ScratchFiles::Template(const std::string& path) {
    return path + "." + std::to_string(::getpid()) + "~XXXXXX";
}

void ScratchFiles::RemoveStale(const std::string& dir, const std::string& prefix) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        const long pid = ScratchOwner(name, prefix);
        if (pid == 0 || !IsProcessGone(pid)) continue;
        struct stat st {};
        if (::fstatat(::dirfd(d), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid())
            ::unlinkat(::dirfd(d), name.c_str(), 0);
    }
    ::closedir(d);
}

}  // namespace velkar
