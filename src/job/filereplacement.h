#pragma once

#include <string>

namespace velkar {

// Replaces a file with new content only once that content is complete: the
// content goes into a scratch file beside the file, which Commit() renames over
// it. A failure or an abandoned write leaves the previous file as it was.
//
// Only regular files are replaced: a device, FIFO, socket or folder at the
// target is refused. A symbolic link stays a link; the file it finally points
// to receives the content. A link owned by another user in a sticky folder that
// everyone may write (such as /tmp) is refused, so a planted link cannot
// redirect the content into a file of someone else.
class FileReplacement {
public:
    FileReplacement() = default;
    ~FileReplacement();  // an uncommitted scratch file is removed
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Makes the scratch file. False when the target cannot be replaced safely;
    // Reason() then says why, without the target's name (callers name the file
    // the user gave, never the scratch file), and Errno() holds the system's
    // error where there is one (0 otherwise).
    bool Open(const std::string& target);
    const std::string& Reason() const { return m_strReason; }
    int Errno() const { return m_nErrno; }

    // The scratch file: its name, and its descriptor (open for reading and
    // writing) until TakeDescriptor() hands it over to the caller.
    const std::string& ScratchPath() const { return m_strScratch; }
    int TakeDescriptor();

    // Puts the complete scratch file in place of the target. The caller has
    // closed its descriptor. Raises FileError naming the target on failure; the
    // scratch file is then removed.
    void Commit();
    // Removes the scratch file; the target stays as it was.
    void Abandon();

    // Whether target could be replaced now: tries Open() and abandons the scratch.
    // Empty when it could, else the reason as Reason() gives it.
    static std::string Check(const std::string& target);

private:
    bool Refuse(const std::string& reason, int error);

    std::string m_strTarget;   // as the caller named it
    std::string m_strFinal;    // the file that receives the content (the target, or where its links lead)
    std::string m_strScratch;  // empty when no scratch file exists
    std::string m_strReason;
    int m_nErrno = 0;
    int m_fd = -1;
    int m_nSlot = -1;  // in ScratchFiles
};

}  // namespace velkar
