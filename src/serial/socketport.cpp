#include "serial/socketport.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velkar {

namespace {

using Clock = std::chrono::steady_clock;

// About a tenth of a second at a network cutter's usual pace: enough to keep
// the cutter busy, little enough that a cancel stops it soon.
constexpr int SendQueueBytes = 8192;
constexpr auto StallLimit = std::chrono::seconds(30);

QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool IsClosedByPeer(int error) { return error == EPIPE || error == ECONNRESET; }

}  // namespace

CSocketPort::~CSocketPort() { Release(true); }

bool CSocketPort::ParseUri(const QString& uri, QString& host, int& port, QString& error) {
    QString rest = uri;
    if (!rest.startsWith(QLatin1StringView(Scheme))) {
        error = uri + QStringLiteral(": not a socket:// address");
        return false;
    }
    rest = rest.mid(static_cast<qsizetype>(std::strlen(Scheme)));
    if (rest.endsWith(QLatin1Char('/'))) rest.chop(1);
    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0) {
            error = uri + QStringLiteral(": the address lacks its closing ]");
            return false;
        }
        host = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(QLatin1Char(':'))) {
            error = uri + QStringLiteral(": text after the address");
            return false;
        }
        if (!after.isEmpty()) portText = after.size() > 1 ? after.mid(1) : QStringLiteral("x");
    } else {
        const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
        host = colon < 0 ? rest : rest.left(colon);
        if (colon >= 0) portText = rest.mid(colon + 1);
        if (colon >= 0 && portText.isEmpty()) portText = QStringLiteral("x");  // "host:" names no port
    }
    if (host.isEmpty() || host.contains(QLatin1Char('/')) || host.contains(QLatin1Char('?'))) {
        error = uri + QStringLiteral(": no host is named");
        return false;
    }
    port = DefaultPort;
    if (!portText.isEmpty()) {
        bool ok = false;
        port = portText.toInt(&ok);
        if (!ok || port < 1 || port > 65535 || portText.startsWith(QLatin1Char('+'))) {
            error = uri + QStringLiteral(": the port must be a number from 1 to 65535");
            return false;
        }
    }
    return true;
}

bool CSocketPort::FailOpen(const QString& reason) {
    Release(true);
    m_strOpenError = reason;
    return false;
}

void CSocketPort::SetError(int error) {
    m_strError = m_strUri + QStringLiteral(": ") +
                 (IsClosedByPeer(error) ? QStringLiteral("the cutter closed the connection") : SystemError(error));
}

bool CSocketPort::Open(const CSerialSettings&, const QString& device, const QString&) { return Connect(device); }

bool CSocketPort::Connect(const QString& uri) {
    if (m_fd >= 0) return true;
    m_strUri = uri;
    m_strOpenError.clear();
    m_strError.clear();
    m_bDiscard = false;
    QString host, error;
    int port = 0;
    if (!ParseUri(uri, host, port, error)) return FailOpen(error);

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const QByteArray hostName = host.toUtf8();
    const QByteArray service = QByteArray::number(port);
    if (const int rc = ::getaddrinfo(hostName.constData(), service.constData(), &hints, &found); rc != 0)
        return FailOpen(uri + QStringLiteral(": ") + QString::fromLocal8Bit(::gai_strerror(rc)));

    int lastError = ECONNREFUSED;
    for (addrinfo* a = found; a && m_fd < 0; a = a->ai_next) {
        m_fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (m_fd < 0) {
            lastError = errno;
            continue;
        }
        const int queue = SendQueueBytes;
        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDBUF, &queue, sizeof queue);
        const int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        int rc = ::connect(m_fd, a->ai_addr, a->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            const Clock::time_point start = Clock::now();
            for (;;) {
                pollfd p{m_fd, POLLOUT, 0};
                const int ready = ::poll(&p, 1, SliceMs);
                if (ready > 0) break;
                if (ready < 0 && errno != EINTR) break;
                if (Clock::now() - start >= std::chrono::seconds(ConnectSeconds)) {
                    ::freeaddrinfo(found);
                    return FailOpen(uri + QStringLiteral(": no answer within ") + QString::number(ConnectSeconds) +
                                    QStringLiteral(" seconds"));
                }
            }
            socklen_t len = sizeof rc;
            if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &rc, &len) != 0) rc = errno;
            if (rc != 0) errno = rc, rc = -1;
        }
        if (rc != 0) {
            lastError = errno;
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ::freeaddrinfo(found);
    if (m_fd < 0) return FailOpen(uri + QStringLiteral(": ") + SystemError(lastError));
    return true;
}

CutterOutput::Status CSocketPort::Write(const char* data, std::size_t n, OutputWait& wait) {
    if (m_fd < 0) {
        m_strError = m_strUri + QStringLiteral(": not connected");
        return Status::Failed;
    }
    std::size_t done = 0;
    bool moved = false;
    while (done < n) {
        const ssize_t sent = ::send(m_fd, data + done, n - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
            moved = true;
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            SetError(errno);
            return Status::Failed;
        }
        const OutputWait::Verdict verdict = wait.Idle(moved, done > 0);
        if (verdict == OutputWait::Verdict::Stop && done == 0) return Status::Cancelled;
        if (verdict != OutputWait::Verdict::Wait) {
            m_bDiscard = true;
            return Status::Dropped;
        }
        moved = false;
        pollfd p{m_fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, SliceMs);
        if (ready < 0 && errno != EINTR) {
            SetError(errno);
            return Status::Failed;
        }
        if (ready > 0 && (p.revents & (POLLERR | POLLHUP)) && !(p.revents & POLLOUT)) {
            int error = 0;
            socklen_t len = sizeof error;
            ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &len);
            SetError(error != 0 ? error : EPIPE);
            return Status::Failed;
        }
    }
    return Status::Written;
}

CutterOutput::Status CSocketPort::Flush(OutputWait& wait) {
    if (m_fd < 0) return Status::Written;
    // Bytes not yet acknowledged by the cutter: once none are left, all of it arrived.
    int last = -1;
    for (;;) {
        int queued = 0;
        if (::ioctl(m_fd, SIOCOUTQ, &queued) != 0) {
            SetError(errno);
            return Status::Failed;
        }
        int error = 0;
        socklen_t len = sizeof error;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error != 0) {
            SetError(error);
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

// Without an operator to ask: give up once the cutter has taken nothing for 30 s.
class CSocketPort::StallWait : public OutputWait {
public:
    explicit StallWait(CSocketPort& port) : m_port(port) {}
    Verdict Idle(bool moved, bool) override {
        const Clock::time_point now = Clock::now();
        if (moved) m_lastMove = now;
        if (now - m_lastMove < StallLimit) return Verdict::Wait;
        m_port.m_strError = m_port.m_strUri + QStringLiteral(": the cutter took nothing for 30 seconds");
        return Verdict::Drop;
    }

private:
    CSocketPort& m_port;
    Clock::time_point m_lastMove = Clock::now();
};

void CSocketPort::Release(bool reset) {
    if (m_fd < 0) return;
    if (reset) {
        // Drops what the kernel still holds instead of letting it reach the cutter.
        const linger hard{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    ::close(m_fd);
    m_fd = -1;
}

bool CSocketPort::Close() {
    if (m_fd < 0) return true;
    bool delivered = m_strError.isEmpty() && !m_bDiscard;
    if (delivered) {
        StallWait wait(*this);
        delivered = Flush(wait) == Status::Written;
    }
    if (delivered) ::shutdown(m_fd, SHUT_WR);
    Release(!delivered);
    return delivered;
}

}  // namespace velkar
