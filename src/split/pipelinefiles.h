#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace velkar {

// The fixed files of the multi-knife conversion in the private temporary
// directory, and exclusive use of them.
//
// Because the names are fixed, two conversions (two copies of the program) must
// not run at once: an object of this class holds an exclusive lock on the lock
// file "velkar.lock" in the directory for its whole life. The lock file itself
// stays; removing it would let a waiting conversion lock a file nobody else sees.
class PipelineFiles {
public:
    // Waits up to `wait` for the lock, then removes files left by an earlier run.
    // Raises TempDirError when the directory is unusable, or with "temporary
    // directory <dir> is in use by another conversion" when the wait runs out.
    // Raises FileError when a stale file cannot be removed.
    explicit PipelineFiles(std::chrono::milliseconds wait);
    // Removes every pipeline file that still exists, then releases the lock.
    ~PipelineFiles();
    PipelineFiles(const PipelineFiles&) = delete;
    PipelineFiles& operator=(const PipelineFiles&) = delete;

    static constexpr std::chrono::milliseconds DefaultWait{30000};

    // "tessera0.pt1": the whole converted job, all knives.
    static std::string ConvertedJob();
    // "tessera1.pt1" ... "tessera8.pt1": the moves and lines of one knife, knife 1..8.
    static std::string KnifeFile(int knife);
    // "tessera10.pt1", "tessera11.pt1": scratch output of the chaining and of the band sort.
    static std::string ChainScratch();
    static std::string BandScratch();

    // Removes the knife files 1..8 that exist. Raises FileError when one cannot be removed.
    static void RemoveKnifeFiles();
    // Removes every pipeline file that exists (not the lock file); never raises.
    static void RemoveAllQuietly();

    // At start-up: removes what conversions that no longer run left in the
    // private temporary directory (the pipeline's files when no conversion
    // holds the lock, and scratch files of processes that are gone). Never raises.
    static void RemoveLeftovers();

private:
    int m_fd = -1;
    std::vector<int> m_slots;  // the files' registrations for removal on a signal
};

}  // namespace velkar
