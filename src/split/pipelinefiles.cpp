#include "split/pipelinefiles.h"

#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "job/binaryfile.h"
#include "job/scratchfiles.h"
#include "job/tempdir.h"

namespace velkar {

namespace {

constexpr const char* LockName = "velkar.lock";
constexpr std::chrono::milliseconds PollInterval{50};

// True when the file was removed or did not exist.
bool RemoveIfPresent(const std::string& path, int& error) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    error = errno;
    return false;
}

bool TryLock(int fd) {
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc < 0 && errno == EINTR);
    return rc == 0;
}

}  // namespace

PipelineFiles::PipelineFiles(std::chrono::milliseconds wait) {
    const std::string dir = PrivateTempDir();
    const std::string lockPath = dir + "/" + LockName;
    m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) throw TempDirError("temporary directory " + dir + ": cannot open " + LockName + ": " + SystemErrorText(errno));

    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!TryLock(m_fd)) {
        const int error = errno;
        if (error != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            ::close(m_fd);
            m_fd = -1;
            if (error != EWOULDBLOCK)
                throw TempDirError("temporary directory " + dir + ": cannot lock " + LockName + ": " + SystemErrorText(error));
            throw TempDirError("temporary directory " + dir + " is in use by another conversion");
        }
        std::this_thread::sleep_for(PollInterval);
    }

    // An earlier run that died mid-way may have left files; they must not leak into this job.
    try {
        RemoveKnifeFiles();
        for (const std::string& path : {ConvertedJob(), ChainScratch(), BandScratch()}) {
            int error = 0;
            if (!RemoveIfPresent(path, error)) throw FileError(path, "cannot remove: " + SystemErrorText(error));
        }
    } catch (...) {
        ::close(m_fd);
        m_fd = -1;
        throw;
    }
    for (int knife = 1; knife <= 8; ++knife) m_slots.push_back(ScratchFiles::Add(KnifeFile(knife)));
    for (const std::string& path : {ConvertedJob(), ChainScratch(), BandScratch()}) m_slots.push_back(ScratchFiles::Add(path));
}

PipelineFiles::~PipelineFiles() {
    RemoveAllQuietly();
    for (int slot : m_slots) ScratchFiles::Drop(slot);
    if (m_fd >= 0) ::close(m_fd);  // closing the descriptor releases the lock
}

void PipelineFiles::RemoveLeftovers() {
    try {
        PipelineFiles unused(std::chrono::milliseconds(0));  // removes the fixed files when no one holds them
    } catch (...) {
        // In use by a running conversion, or the directory is unusable: nothing to remove now.
    }
    try {
        ScratchFiles::RemoveStale(PrivateTempDir());
    } catch (...) {
    }
}

std::string PipelineFiles::ConvertedJob() { return PrivateTempFile("tessera0.pt1"); }

std::string PipelineFiles::KnifeFile(int knife) { return PrivateTempFile("tessera" + std::to_string(knife) + ".pt1"); }

std::string PipelineFiles::ChainScratch() { return PrivateTempFile("tessera10.pt1"); }

std::string PipelineFiles::BandScratch() { return PrivateTempFile("tessera11.pt1"); }

void PipelineFiles::RemoveKnifeFiles() {
    for (int knife = 1; knife <= 8; ++knife) {
        const std::string path = KnifeFile(knife);
        int error = 0;
        if (!RemoveIfPresent(path, error)) throw FileError(path, "cannot remove: " + SystemErrorText(error));
    }
}

void PipelineFiles::RemoveAllQuietly() {
    try {
        int error = 0;
        for (int knife = 1; knife <= 8; ++knife) RemoveIfPresent(KnifeFile(knife), error);
        RemoveIfPresent(ConvertedJob(), error);
        RemoveIfPresent(ChainScratch(), error);
        RemoveIfPresent(BandScratch(), error);
    } catch (...) {
        // The directory became unusable after the run began; nothing more can be cleaned.
    }
}

}  // namespace velkar
