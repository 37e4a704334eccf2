#include "job/filereplacement.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "job/binaryfile.h"
#include "job/scratchfiles.h"

namespace velkar {

namespace {

constexpr int MaxLinkHops = 40;  // as the kernel allows

std::string Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// The kernel's own rule for links in shared folders: follow a link there only
// when it belongs to the follower or to the folder's owner.
bool IsPlantedLink(const std::string& link, const struct stat& st) {
    if (st.st_uid == ::geteuid()) return false;
    struct stat folder {};
    if (::stat(Folder(link).c_str(), &folder) < 0) return true;
    return (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH) && folder.st_uid != st.st_uid;
}

// Blocks the signals that remove scratch files while a file is made and registered.
class SignalGuard {
public:
    SignalGuard() {
        sigset_t set;
        sigemptyset(&set);
        for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, s);
        ::pthread_sigmask(SIG_BLOCK, &set, &m_old);
    }
    ~SignalGuard() { ::pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }
    SignalGuard(const SignalGuard&) = delete;
    SignalGuard& operator=(const SignalGuard&) = delete;

private:
    sigset_t m_old;
};

}  // namespace

FileReplacement::~FileReplacement() { Abandon(); }

bool FileReplacement::Refuse(const std::string& reason, int error) {
    m_strReason = reason;
    m_nErrno = error;
    return false;
}

bool FileReplacement::Open(const std::string& target) {
    Abandon();
    m_strReason.clear();
    m_nErrno = 0;
    m_strTarget = target;
    if (target.empty()) return Refuse(SystemErrorText(ENOENT), ENOENT);

    std::string path = target;
    mode_t mode = 0;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) < 0) {
            if (errno != ENOENT) return Refuse(SystemErrorText(errno), errno);
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
            break;
        }
        if (S_ISREG(st.st_mode)) {
            mode = st.st_mode & 07777;
            break;
        }
        if (!S_ISLNK(st.st_mode))
            return Refuse(std::string("is ") + KindOf(st.st_mode) + "; only regular files are replaced",
                          S_ISDIR(st.st_mode) ? EISDIR : 0);
        if (hops == MaxLinkHops) return Refuse(SystemErrorText(ELOOP), ELOOP);
        if (IsPlantedLink(path, st))
            return Refuse("is a symbolic link of another user in a shared folder; it is not followed", EACCES);
        std::vector<char> to(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1);
        const ssize_t n = ::readlink(path.c_str(), to.data(), to.size());
        if (n < 0) return Refuse(SystemErrorText(errno), errno);
        if (static_cast<std::size_t>(n) >= to.size()) return Refuse(SystemErrorText(ENAMETOOLONG), ENAMETOOLONG);
        std::string next(to.data(), static_cast<std::size_t>(n));
        path = next.front() == '/' ? next : Folder(path) + "/" + next;
    }
    m_strFinal = path;

    // Scratch files of this target left by a process that was killed outright go now.
    const std::size_t slash = path.rfind('/');
    ScratchFiles::RemoveStale(Folder(path), slash == std::string::npos ? path : path.substr(slash + 1));

    std::string pattern = ScratchFiles::Template(path);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    {
        SignalGuard guard;
        m_fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (m_fd < 0) {
            const int error = errno;
            // A missing folder is told as such; anything else is about the scratch file.
            if (error == ENOENT || error == ENOTDIR) return Refuse(SystemErrorText(error), error);
            return Refuse("cannot make a scratch file beside it: " + SystemErrorText(error), error);
        }
        m_strScratch = name.data();
        m_nSlot = ScratchFiles::Add(m_strScratch);
    }
    if (::fchmod(m_fd, mode) < 0) {
        const int error = errno;
        Abandon();
        return Refuse("cannot set the scratch file's permissions: " + SystemErrorText(error), error);
    }
    return true;
}

int FileReplacement::TakeDescriptor() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void FileReplacement::Commit() {
    if (m_fd >= 0) ::close(m_fd), m_fd = -1;
    if (m_strScratch.empty()) throw FileError(m_strTarget, "no scratch file to put in place");
    // No fsync: each costs milliseconds on a disk, and conversions and the fuzzers
    // write jobs by the thousand; a failed write is caught by the writer and by close.
    if (::rename(m_strScratch.c_str(), m_strFinal.c_str()) < 0) {
        const int error = errno;
        Abandon();
        throw FileError(m_strTarget, "cannot be replaced: " + SystemErrorText(error));
    }
    m_strScratch.clear();
    ScratchFiles::Drop(m_nSlot);
    m_nSlot = -1;
}

void FileReplacement::Abandon() {
    if (m_fd >= 0) ::close(m_fd), m_fd = -1;
    if (!m_strScratch.empty()) ::unlink(m_strScratch.c_str());
    m_strScratch.clear();
    ScratchFiles::Drop(m_nSlot);
    m_nSlot = -1;
}

std::string FileReplacement::Check(const std::string& target) {
    FileReplacement probe;
    return probe.Open(target) ? std::string() : probe.Reason();
}

}  // namespace velkar
