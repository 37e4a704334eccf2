#pragma once

#include <stdexcept>
#include <string>

namespace velkar {

// The temporary directory could not be made or is not safe to use.
class TempDirError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Name of the job file used when the job path beside the plotter file cannot be written.
inline constexpr const char* FallbackJobName = "orvalispt1.tmp";

// The private per-user directory for temporary jobs and the multi-knife
// pipeline's files: $VELKAR_TEMP when set, else $XDG_RUNTIME_DIR/velkar, else
// /tmp/velkar-UID. It is created with mode 0700 when missing. Because its file
// names are fixed, it is refused when it is a symbolic link, not a directory,
// owned by another user, or writable by others. Raises TempDirError with the
// directory and the reason.
std::string PrivateTempDir();

// PrivateTempDir() + "/" + name.
std::string PrivateTempFile(const std::string& name);

}  // namespace velkar
