#pragma once

#include <string>

#include <QString>

#include "serial/cuttertransport.h"
#include "serial/lineparameters.h"

struct stat;

namespace velkar {

class CSerialSettings;

// The line to the cutter: a serial device configured from the stored settings,
// or any other writable device (a printer-class cutter, a named pipe, a plain
// file for a dry run), written as it is.
//
// Exclusive: while open, the device is held by a lock file in the directory
// serial programs share (/run/lock, "LCK..<name>", holding the process id as
// ten characters and a newline, as those programs write and read it), by
// flock() and, for a terminal, by TIOCEXCL; a second open of the same device,
// from this or another program, fails. A lock file of a live process (text or
// four binary bytes) blocks the open, as does one that names no process; a
// lock left by a process that no longer exists is taken over. Everything is
// released on every way out. VELKAR_LOCK_DIR, when set, replaces the lock
// directory.
//
// A regular file is written only when it is empty (a dry run); one with content
// is refused, so that a mistyped device never destroys a file.
//
// Writes never block the caller for more than one short slice (about 50 ms)
// without asking their OutputWait. Not copyable; one object per send.
class CCommPort : public CutterTransport {
public:
    CCommPort();
    ~CCommPort() override;
    CCommPort(const CCommPort&) = delete;
    CCommPort& operator=(const CCommPort&) = delete;

    // Opens the device of the stored settings ("port" names COM1..COM4, whose
    // devices are "device1".."device4"). True when open (also when it already
    // was). False when nothing could be opened: OpenError() tells why, and
    // nothing is held.
    bool OpenPort();
    // The same with the given settings; a non-empty `device` replaces the
    // device that the port number names.
    bool OpenPort(const CSerialSettings& settings, const QString& device = {});
    // Opens `device` with the given line parameters (used for terminals only).
    bool OpenDevice(const QString& device, const LineParameters& line);

    // Lets the queued output reach the device (giving up after 30 s without
    // progress), then closes and releases everything. True when everything
    // written has gone out (or nothing was open); false when a write or flush
    // was dropped (the queue is discarded) or the device failed (ErrorText()).
    bool ClosePort();

    bool IsOpen() const { return m_fd >= 0; }
    bool IsTerminal() const override { return m_bTerminal; }
    const QString& DevicePath() const override { return m_strDevice; }
    // The reason of the last failed OpenPort: device path and the system's error.
    const QString& OpenError() const override { return m_strOpenError; }

    // CutterTransport: OpenPort with `device` for the port's device; ClosePort.
    bool Open(const CSerialSettings& settings, const QString& device, const QString&) override {
        return OpenPort(settings, device);
    }
    bool Close() override { return ClosePort(); }

    // Writes one byte; false when it could not be written (see WriteBlock).
    bool WriteByte(unsigned char byte);
    // Writes length bytes: returns length, 0 when the port is not open or
    // length <= 0, -1 when the write failed or the line did not move for 30 s.
    int WriteBlock(const char* data, int length);

    // CutterOutput: the whole block, or what `wait` decided, or Failed.
    Status Write(const char* data, std::size_t n, OutputWait& wait) override;
    // Waits until the line's queue is empty (terminals only).
    Status Flush(OutputWait& wait) override;
    std::string ErrorText() const override { return m_strError.toStdString(); }

    // "<device>: <system error>", and for a permission error who may write:
    // the device's own group when it may, otherwise its owner. `st` may be
    // null (the device could not be looked at): then the usual group, dialout
    // (lp for a printer-class device).
    static QString DescribeOpenError(const QString& device, int error, const struct stat* st);

    // Text for the operator when the port cannot be opened.
    static constexpr const char* CantOpenText = "serial can't open";
    // Longest wait between two looks at the cancel query, in milliseconds.
    static constexpr int SliceMs = 50;

private:
    bool Open(const QString& device, const LineParameters* line, const QString& lineError);
    bool FailOpen(const QString& reason);
    void SetWriteError(int error);
    bool AcquireLock(const QString& device);
    bool Release(bool discard);

    class LineWait;

    int m_fd = -1;
    bool m_bTerminal = false;
    int m_nQueueLimit = 0;
    QString m_strDevice;
    QString m_strOpenError;
    QString m_strError;
    bool m_bDiscard = false;  // a write or flush was dropped: the queue is not let through
    QString m_strLockPath;    // the lock file this object made
};

}  // namespace velkar
