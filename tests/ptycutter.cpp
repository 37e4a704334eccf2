#include "ptycutter.h"

#include <cerrno>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace velkar::test {

PtyCutter::PtyCutter() {
    char name[256] = {};
    termios raw {};
    ::cfmakeraw(&raw);
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) < 0) {
        m_master = m_slave = -1;
        return;
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_strDevice = QString::fromLocal8Bit(name);
    m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { Drain(); });
}

PtyCutter::~PtyCutter() {
    if (m_slave >= 0) ::close(m_slave);
    CloseCutterEnd();
}

void PtyCutter::Drain() {
    if (m_master < 0 || !m_bTaking) return;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            m_received.append(buffer, static_cast<qsizetype>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
}

void PtyCutter::CloseCutterEnd() {
    m_notifier.reset();
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
}

}  // namespace velkar::test
