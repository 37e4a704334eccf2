#include "serial/commport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "serial/serialsettings.h"

namespace velkar {

namespace {

using Clock = std::chrono::steady_clock;

QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool ProcessExists(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

// The owner named by a lock file of the serial programs: the process id as
// text (ten characters and a newline as most write it, any blanks around the
// digits accepted), or as four binary bytes as older programs wrote it. 0 when
// the content reads as neither.
pid_t LockOwner(const QByteArray& content) {
    const qsizetype end = content.indexOf('\n');
    const QByteArray line = content.left(end < 0 ? content.size() : end).trimmed();
    bool digits = !line.isEmpty() && line.size() <= 10;
    for (const char c : line) digits = digits && c >= '0' && c <= '9';
    if (digits) {
        const long long pid = line.toLongLong();
        return pid > 0 && pid <= INT32_MAX ? static_cast<pid_t>(pid) : 0;
    }
    if (content.size() == 4) {
        std::int32_t pid = 0;
        std::memcpy(&pid, content.constData(), 4);
        return pid > 0 ? static_cast<pid_t>(pid) : 0;
    }
    return 0;
}

// The directory where serial programs leave their "LCK.." files; the first
// writable one is shared by all of them.
QString LockDirectory() {
    const QByteArray overridden = qgetenv("VELKAR_LOCK_DIR");
    if (!overridden.isEmpty()) return QFile::decodeName(overridden);
    for (const char* dir : {"/run/lock", "/var/lock"}) {
        const QFileInfo info(QString::fromLatin1(dir));
        if (info.isDir() && info.isWritable()) return info.absoluteFilePath();
    }
    return QDir::tempPath();
}

QString LockFileName(const QString& device) {
    QString name = QFileInfo(device).canonicalFilePath();
    if (name.isEmpty()) name = device;
    if (name.startsWith(QLatin1StringView("/dev/"))) name = name.mid(5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return LockDirectory() + QStringLiteral("/LCK..") + name;
}

// Reads up to 64 bytes of a lock file; errno tells why when it fails.
bool ReadLockFile(const QByteArray& path, QByteArray& content) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return false;
    char buffer[64];
    ssize_t n = 0;
    do n = ::read(fd, buffer, sizeof buffer);
    while (n < 0 && errno == EINTR);
    const int error = errno;
    ::close(fd);
    errno = error;
    if (n < 0) return false;
    content = QByteArray(buffer, static_cast<qsizetype>(n));
    return true;
}

// Bytes the kernel may hold for the line: about a tenth of a second's worth, so
// that a cancel stops the knife soon even while the line is moving.
int QueueLimitFor(int baud) { return std::max(16, baud / 100); }

}  // namespace

// The wait of writes outside a send: no operator to ask, so the line is given
// up after 30 s without progress.
class CCommPort::LineWait : public OutputWait {
public:
    explicit LineWait(CCommPort& port) : m_port(port) {}
    Verdict Idle(bool moved, bool /*begun*/) override {
        const Clock::time_point now = Clock::now();
        if (moved) m_lastMove = now;
        if (now - m_lastMove < std::chrono::seconds(30)) return Verdict::Wait;
        m_port.m_strError = m_port.m_strDevice + QStringLiteral(": the line did not move for 30 seconds");
        return Verdict::Drop;
    }

private:
    CCommPort& m_port;
    Clock::time_point m_lastMove = Clock::now();
};

CCommPort::CCommPort() = default;

CCommPort::~CCommPort() { ClosePort(); }

QString CCommPort::DescribeOpenError(const QString& device, int error, const struct stat* st) {
    QString text = device + QStringLiteral(": ") + SystemError(error);
    if (error != EACCES && error != EPERM) return text;
    if (!st) {
        // The device itself could not be looked at: the usual groups.
        const bool printer = QFileInfo(device).fileName().startsWith(QLatin1StringView("lp"));
        return text + QStringLiteral(" (the group ") + (printer ? QStringLiteral("lp") : QStringLiteral("dialout")) +
               QStringLiteral(" grants access)");
    }
    if (st->st_mode & S_IWGRP) {
        const struct group* g = ::getgrgid(st->st_gid);
        const QString name = g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st->st_gid);
        return text + QStringLiteral(" (the group ") + name + QStringLiteral(" grants access)");
    }
    const struct passwd* owner = ::getpwuid(st->st_uid);
    const QString name = owner ? QString::fromLocal8Bit(owner->pw_name) : QString::number(st->st_uid);
    return text + QStringLiteral(" (only its owner, ") + name + QStringLiteral(", may write to it)");
}

bool CCommPort::FailOpen(const QString& reason) {
    Release(true);
    m_strOpenError = reason;
    return false;
}

bool CCommPort::OpenPort() {
    if (IsOpen()) return true;
    CSerialSettings settings;
    settings.LoadSettings();
    return OpenPort(settings);
}

bool CCommPort::OpenPort(const CSerialSettings& settings, const QString& device) {
    if (IsOpen()) return true;
    QString path = device;
    if (path.isEmpty()) {
        const int port = TextToInt(settings.GetPort());
        if (port < 1 || port > 4)
            return FailOpen(QStringLiteral("COM") + QString::number(port) + QStringLiteral(" is not one of COM1 to COM4"));
        path = settings.DeviceForPort(port);
    }
    LineParameters line;
    QString lineError;
    const bool lineUsable = line.FromSettings(settings, lineError);
    return Open(path, lineUsable ? &line : nullptr, lineError);
}

bool CCommPort::OpenDevice(const QString& device, const LineParameters& line) {
    if (IsOpen()) return true;
    return Open(device, &line, {});
}

bool CCommPort::Open(const QString& device, const LineParameters* line, const QString& lineError) {
    m_strOpenError.clear();
    m_strError.clear();
    m_bDiscard = false;
    m_strDevice = device;
    const QByteArray native = QFile::encodeName(device);
    struct stat st {};
    if (device.isEmpty()) return FailOpen(QStringLiteral("no device is named for the port"));
    if (::stat(native.constData(), &st) != 0) return FailOpen(DescribeOpenError(device, errno, nullptr));
    const bool character = S_ISCHR(st.st_mode);
    const bool regular = S_ISREG(st.st_mode);
    if (!character && !regular && !S_ISFIFO(st.st_mode))
        return FailOpen(device + QStringLiteral(": not a device, a named pipe or a file"));
    if (!AcquireLock(device)) return false;

    const int flags = O_NOCTTY | O_NONBLOCK | O_CLOEXEC | (character ? O_RDWR : O_WRONLY);
    m_fd = ::open(native.constData(), flags);
    if (m_fd < 0) return FailOpen(DescribeOpenError(device, errno, &st));
    // A mistyped device must not destroy a file: only an empty one takes a dry run.
    if (regular && (::fstat(m_fd, &st) != 0 || st.st_size != 0))
        return FailOpen(device + QStringLiteral(": a file that is not empty is not written over (for a dry run use "
                                                "'velkar stream JOB -o FILE')"));
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        return FailOpen(error == EWOULDBLOCK ? device + QStringLiteral(": in use by another program")
                                             : DescribeOpenError(device, error, &st));
    }
    m_bTerminal = ::isatty(m_fd) == 1;
    if (!m_bTerminal) {
        // A reader that goes away must end the send with an error, not the program.
        if (S_ISFIFO(st.st_mode)) std::signal(SIGPIPE, SIG_IGN);
        return true;
    }
    // Keeps other programs out for as long as the port is open (root passes it:
    // the lock file and flock cover that).
    ::ioctl(m_fd, TIOCEXCL);
    if (!line) return FailOpen(device + QStringLiteral(": ") + lineError);
    termios t {};
    if (::tcgetattr(m_fd, &t) != 0) return FailOpen(DescribeOpenError(device, errno, &st));
    const bool standard = line->ApplyTo(t);
    if (::tcsetattr(m_fd, TCSANOW, &t) != 0) return FailOpen(DescribeOpenError(device, errno, &st));
    if (!standard) {
        if (const int error = SetCustomRate(m_fd, line->baud))
            return FailOpen(device + QStringLiteral(": the speed ") + QString::number(line->baud) +
                            QStringLiteral(" cannot be set: ") + SystemError(error));
    }
    // A pseudo-terminal has no line to pace (and reports no queue).
    const bool pseudo = major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
    m_nQueueLimit = pseudo ? 0 : QueueLimitFor(line->baud);
    return true;
}

bool CCommPort::AcquireLock(const QString& device) {
    const QString path = LockFileName(device);
    const QByteArray native = QFile::encodeName(path);
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
    // A stale lock removed in between may be taken by another program first: look again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd >= 0) {
            const bool written = ::write(fd, text, static_cast<std::size_t>(length)) == length;
            const int error = written ? 0 : errno;
            if (::close(fd) != 0 || !written) {
                ::unlink(native.constData());
                return FailOpen(device + QStringLiteral(": cannot write the lock file ") + path + QStringLiteral(": ") +
                                SystemError(error ? error : EIO));
            }
            m_strLockPath = path;
            return true;
        }
        if (errno != EEXIST)
            return FailOpen(device + QStringLiteral(": cannot create the lock file ") + path + QStringLiteral(": ") +
                            SystemError(errno));
        QByteArray content;
        bool read = ReadLockFile(native, content);
        if (read && content.isEmpty()) {
            // Its owner may be writing it right now.
            ::poll(nullptr, 0, 50);
            read = ReadLockFile(native, content);
        }
        if (!read && errno == ENOENT) continue;
        if (!read)
            return FailOpen(device + QStringLiteral(": the lock file ") + path + QStringLiteral(" cannot be read: ") +
                            SystemError(errno));
        const pid_t owner = LockOwner(content);
        if (owner == 0)
            return FailOpen(device + QStringLiteral(": the lock file ") + path +
                            QStringLiteral(" names no process; delete it if no program uses the device"));
        if (ProcessExists(owner))
            return FailOpen(device + QStringLiteral(": in use by another program (process ") + QString::number(owner) +
                            QLatin1Char(')'));
        // Its owner is gone without removing it.
        ::unlink(native.constData());
    }
    return FailOpen(device + QStringLiteral(": cannot create the lock file ") + path);
}

bool CCommPort::Release(bool discard) {
    bool closed = true;
    if (m_fd >= 0) {
        if (m_bTerminal) {
            if (discard) ::tcflush(m_fd, TCOFLUSH);
            ::ioctl(m_fd, TIOCNXCL);
        }
        // A file written for a dry run can still fail here (a full disk).
        if (::close(m_fd) != 0 && errno != EINTR) {
            SetWriteError(errno);
            closed = false;
        }
        m_fd = -1;
    }
    m_bTerminal = false;
    if (!m_strLockPath.isEmpty()) {
        const QByteArray native = QFile::encodeName(m_strLockPath);
        QByteArray content;
        // Only our own lock is removed, never one another program made since.
        if (ReadLockFile(native, content) && LockOwner(content) == ::getpid()) ::unlink(native.constData());
        m_strLockPath.clear();
    }
    return closed;
}


void CCommPort::SetWriteError(int error) { m_strError = m_strDevice + QStringLiteral(": ") + SystemError(error); }

CutterOutput::Status CCommPort::Write(const char* data, std::size_t n, OutputWait& wait) {
    if (m_fd < 0) {
        SetWriteError(EBADF);
        return Status::Failed;
    }
    std::size_t done = 0;
    bool moved = false;
    while (done < n) {
        int queued = 0;
        bool full = false;
        if (m_nQueueLimit > 0) {
            if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0) {
                SetWriteError(errno);
                return Status::Failed;
            }
            full = queued > m_nQueueLimit;
        }
        if (!full) {
            const ssize_t written = ::write(m_fd, data + done, n - done);
            if (written > 0) {
                done += static_cast<std::size_t>(written);
                moved = true;
                continue;
            }
            if (written < 0 && errno == EINTR) continue;
            if (written < 0 && errno != EAGAIN) {
                SetWriteError(errno);
                return Status::Failed;
            }
        }
        const OutputWait::Verdict verdict = wait.Idle(moved, done > 0);
        if (verdict == OutputWait::Verdict::Stop && done == 0) return Status::Cancelled;
        if (verdict != OutputWait::Verdict::Wait) {
            m_bDiscard = true;
            return Status::Dropped;
        }
        moved = false;
        if (full) {
            // The queue drains at the line's pace; look again soon.
            ::poll(nullptr, 0, 5);
            int left = 0;
            if (::ioctl(m_fd, TIOCOUTQ, &left) == 0 && left < queued) moved = true;
            continue;
        }
        pollfd p{m_fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, SliceMs);
        if (ready < 0 && errno != EINTR) {
            SetWriteError(errno);
            return Status::Failed;
        }
        if (ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLOUT)) {
            SetWriteError(EIO);
            return Status::Failed;
        }
    }
    return Status::Written;
}

CutterOutput::Status CCommPort::Flush(OutputWait& wait) {
    if (m_fd < 0 || !m_bTerminal) return Status::Written;
    int last = -1;
    for (;;) {
        int queued = 0;
        if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0) {
            SetWriteError(errno);
            return Status::Failed;
        }
        if (queued <= 0) return Status::Written;
        const bool moved = last >= 0 && queued < last;
        last = queued;
        if (wait.Idle(moved, true) != OutputWait::Verdict::Wait) {
            m_bDiscard = true;
            return Status::Dropped;
        }
        ::poll(nullptr, 0, 10);
    }
}

bool CCommPort::WriteByte(unsigned char byte) {
    const char c = static_cast<char>(byte);
    return WriteBlock(&c, 1) == 1;
}

int CCommPort::WriteBlock(const char* data, int length) {
    if (m_fd < 0 || length <= 0) return 0;
    LineWait wait(*this);
    return Write(data, static_cast<std::size_t>(length), wait) == Status::Written ? length : -1;
}

bool CCommPort::ClosePort() {
    if (m_fd < 0) {
        Release(true);
        return true;
    }
    bool delivered = m_strError.isEmpty() && !m_bDiscard;
    if (delivered) {
        LineWait wait(*this);
        delivered = Flush(wait) == Status::Written;
    }
    return Release(!delivered) && delivered;
}

}  // namespace velkar
