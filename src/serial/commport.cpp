#include "serial/commport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include "serial/serialsettings.h"

namespace velkar {

namespace {

using Clock = std::chrono::steady_clock;

QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

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

// Bytes the kernel may hold for the line: about a tenth of a second's worth, so
// that a cancel stops the knife soon even while the line is moving.
int QueueLimitFor(int baud) { return std::max(16, baud / 100); }

}  // namespace

CCommPort::CCommPort() = default;

CCommPort::~CCommPort() { ClosePort(); }

QString CCommPort::DescribeOpenError(const QString& device, int error, const struct stat* st) {
    QString text = device + QStringLiteral(": ") + SystemError(error);
    if (error != EACCES && error != EPERM) return text;
    QString groupName;
    if (st && (st->st_mode & S_IWGRP) && st->st_gid != 0) {
        if (const struct group* g = ::getgrgid(st->st_gid)) groupName = QString::fromLocal8Bit(g->gr_name);
    }
    if (groupName.isEmpty()) {
        const bool printer = QFileInfo(device).fileName().startsWith(QLatin1StringView("lp"));
        groupName = printer ? QStringLiteral("lp") : QStringLiteral("dialout");
    }
    return text + QStringLiteral(" (the group ") + groupName + QStringLiteral(" grants access)");
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

    const int flags = O_NOCTTY | O_NONBLOCK | O_CLOEXEC | (character ? O_RDWR : O_WRONLY) | (regular ? O_TRUNC : 0);
    m_fd = ::open(native.constData(), flags);
    if (m_fd < 0) return FailOpen(DescribeOpenError(device, errno, &st));
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
    m_lock = std::make_unique<QLockFile>(path);
    // Only a lock whose process is gone is stale, however old it is.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) return true;
    QString reason;
    if (m_lock->error() == QLockFile::LockFailedError) {
        qint64 pid = 0;
        QString host, app;
        m_lock->getLockInfo(&pid, &host, &app);
        reason = device + QStringLiteral(": in use by another program (process ") + QString::number(pid) +
                 QStringLiteral(", lock file ") + path + QLatin1Char(')');
    } else {
        reason = device + QStringLiteral(": cannot create the lock file ") + path;
    }
    m_lock.reset();
    return FailOpen(reason);
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
    if (m_lock) {
        m_lock->unlock();
        m_lock.reset();
    }
    return closed;
}

bool CCommPort::AskCancel() { return m_cancelQuery && m_cancelQuery(); }

void CCommPort::SetWriteError(int error) { m_strError = m_strDevice + QStringLiteral(": ") + SystemError(error); }

CutterOutput::Status CCommPort::Write(const char* data, std::size_t n) {
    if (m_fd < 0) {
        SetWriteError(EBADF);
        return Status::Failed;
    }
    std::size_t done = 0;
    bool cancelled = false;
    Clock::time_point lastProgress = Clock::now();
    while (done < n) {
        int wait = 0;  // ms to wait before the next try; 0: write now
        bool byPoll = false;
        int queued = 0;
        if (m_nQueueLimit > 0) {
            if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0) {
                SetWriteError(errno);
                return Status::Failed;
            }
            if (queued > m_nQueueLimit) wait = SliceMs;
        }
        if (wait == 0) {
            const ssize_t written = ::write(m_fd, data + done, n - done);
            if (written > 0) {
                done += static_cast<std::size_t>(written);
                lastProgress = Clock::now();
                continue;
            }
            if (written < 0 && errno == EINTR) continue;
            if (written < 0 && errno != EAGAIN) {
                SetWriteError(errno);
                return Status::Failed;
            }
            byPoll = true;
            wait = SliceMs;
        }
        if (!cancelled && AskCancel()) {
            if (done == 0) return Status::Cancelled;
            cancelled = true;  // finish the begun command while the line moves
        }
        if (cancelled && Clock::now() - lastProgress >= std::chrono::milliseconds(SliceMs)) return Status::Cancelled;
        if (byPoll) {
            pollfd p{m_fd, POLLOUT, 0};
            const int ready = ::poll(&p, 1, wait);
            if (ready < 0 && errno != EINTR) {
                SetWriteError(errno);
                return Status::Failed;
            }
            if (ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLOUT)) {
                SetWriteError(EIO);
                return Status::Failed;
            }
        } else {
            // The queue drains at the line's pace; look again soon.
            ::poll(nullptr, 0, std::min(wait, 5));
            int left = 0;
            if (::ioctl(m_fd, TIOCOUTQ, &left) == 0 && left < queued) lastProgress = Clock::now();
        }
    }
    return Status::Written;
}

bool CCommPort::WriteByte(unsigned char byte) {
    const char c = static_cast<char>(byte);
    return Write(&c, 1) == Status::Written;
}

int CCommPort::WriteBlock(const char* data, int length) {
    if (m_fd < 0 || length <= 0) return 0;
    return Write(data, static_cast<std::size_t>(length)) == Status::Written ? length : -1;
}

bool CCommPort::Drain() {
    if (!m_bTerminal) return true;
    int last = -1;
    Clock::time_point lastProgress = Clock::now();
    for (;;) {
        int queued = 0;
        if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0) {
            SetWriteError(errno);
            return false;
        }
        if (queued <= 0) return true;
        if (queued != last) lastProgress = Clock::now(), last = queued;
        const auto idle = Clock::now() - lastProgress;
        if (AskCancel() && idle >= std::chrono::milliseconds(SliceMs)) return false;
        if (!m_cancelQuery && idle >= std::chrono::seconds(30)) {
            m_strError = m_strDevice + QStringLiteral(": the line did not move for 30 seconds");
            return false;
        }
        ::poll(nullptr, 0, 10);
    }
}

bool CCommPort::ClosePort() {
    if (m_fd < 0) {
        Release(true);
        return true;
    }
    const bool delivered = m_strError.isEmpty() && Drain();
    return Release(!delivered) && delivered;
}

}  // namespace velkar
