#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace velkar {

// Raised by a read, write, seek, remove or rename that fails. Opening a file
// does not raise: Open() reports failure, as the converters' result 10 needs.
class FileError : public std::runtime_error {
public:
    FileError(std::string path, std::string reason)
        : std::runtime_error(path + ": " + reason), m_strPath(std::move(path)), m_strReason(std::move(reason)) {}
    const std::string& Path() const { return m_strPath; }
    const std::string& Reason() const { return m_strReason; }

private:
    std::string m_strPath;
    std::string m_strReason;
};

}  // namespace velkar
