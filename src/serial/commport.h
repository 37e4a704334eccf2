#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QString>

#include "serial/cuttertransport.h"
#include "serial/lineparameters.h"

class QLockFile;
struct stat;

namespace velkar {

class CSerialSettings;

// The line to the cutter: a serial device configured from the stored settings,
// or any other writable device (a printer-class cutter, a named pipe, a plain
// file for a dry run), written as it is.
//
// Exclusive: while open, the device is held by a lock file in the directory
// serial programs share (/run/lock, "LCK..<name>"), by flock() and, for a
// terminal, by TIOCEXCL; a second open of the same device, from this or another
// program, fails. Everything is released on every way out; a lock left by a
// process that no longer exists is taken over. VELKAR_LOCK_DIR, when set,
// replaces the lock directory.
//
// Writes never block the caller for more than one short slice (about 50 ms)
// without asking the cancel query; on a stalled line a cancel ends the write
// within one slice. Not copyable; one object per send.
class CCommPort : public CutterTransport {
public:
    CCommPort();
    ~CCommPort() override;
    CCommPort(const CCommPort&) = delete;
    CCommPort& operator=(const CCommPort&) = delete;

    // Asked between slices of every wait (it may pump the user interface);
    // true stops the wait. Without one, waits are not cancellable.
    void SetCancelQuery(std::function<bool()> query) override { m_cancelQuery = std::move(query); }

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

    // Lets the queued output reach the device, waiting in cancellable slices,
    // then closes and releases everything. True when everything written has
    // gone out (or nothing was open); false when the wait was cancelled (the
    // rest is discarded) or the device failed (ErrorText()).
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

    // Writes one byte; false when it could not be written (see Write).
    bool WriteByte(unsigned char byte);
    // Writes length bytes: returns length, 0 when the port is not open or
    // length <= 0, -1 when the write failed or was cancelled.
    int WriteBlock(const char* data, int length);

    // CutterOutput: the whole block, or Cancelled / Failed. After a cancel a
    // block already begun is still finished while the line keeps moving;
    // once a slice passes without progress the write gives up.
    Status Write(const char* data, std::size_t n) override;
    std::string ErrorText() const override { return m_strError.toStdString(); }

    // "<device>: <system error>", and for a permission error the group that
    // grants access: the device's own group when it may write, otherwise
    // dialout (lp for a printer-class device). `st` may be null.
    static QString DescribeOpenError(const QString& device, int error, const struct stat* st);

    // Text for the operator when the port cannot be opened.
    static constexpr const char* CantOpenText = "serial can't open";
    // Longest wait between two looks at the cancel query, in milliseconds.
    static constexpr int SliceMs = 50;

private:
    bool Open(const QString& device, const LineParameters* line, const QString& lineError);
    bool FailOpen(const QString& reason);
    void SetWriteError(int error);
    bool AskCancel();
    bool AcquireLock(const QString& device);
    bool Release(bool discard);
    bool Drain();

    int m_fd = -1;
    bool m_bTerminal = false;
    int m_nQueueLimit = 0;
    QString m_strDevice;
    QString m_strOpenError;
    QString m_strError;
    std::unique_ptr<QLockFile> m_lock;
    std::function<bool()> m_cancelQuery;
};

}  // namespace velkar
