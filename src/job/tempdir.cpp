#include "job/tempdir.h"

#include <cerrno>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include "job/binaryfile.h"

namespace velkar {

namespace {

std::string ChooseTempDir() {
    if (const char* v = std::getenv("VELKAR_TEMP"); v && *v) return v;
    if (const char* r = std::getenv("XDG_RUNTIME_DIR"); r && *r) return std::string(r) + "/velkar";
    return "/tmp/velkar-" + std::to_string(::geteuid());
}

[[noreturn]] void Refuse(const std::string& dir, const std::string& reason) {
    throw TempDirError("temporary directory " + dir + ": " + reason);
}

}  // namespace

std::string PrivateTempDir() {
    std::string dir = ChooseTempDir();
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (::mkdir(dir.c_str(), 0700) < 0 && errno != EEXIST) Refuse(dir, "cannot create: " + SystemErrorText(errno));

    struct stat st {};
    if (::lstat(dir.c_str(), &st) < 0) Refuse(dir, SystemErrorText(errno));
    if (S_ISLNK(st.st_mode)) Refuse(dir, "is a symbolic link");
    if (!S_ISDIR(st.st_mode)) Refuse(dir, "is not a directory");
    if (st.st_uid != ::geteuid()) Refuse(dir, "is owned by another user");
    if (st.st_mode & (S_IWGRP | S_IWOTH)) Refuse(dir, "is writable by other users");
    return dir;
}

std::string PrivateTempFile(const std::string& name) { return PrivateTempDir() + "/" + name; }

}  // namespace velkar
