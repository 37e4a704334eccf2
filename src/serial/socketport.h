#pragma once

#include "serial/cuttertransport.h"

namespace velkar {

// A cutter on the network, reached by a raw TCP connection
// ("socket://HOST[:PORT]", the port 9100 when none is given; HOST may be a
// name, an IPv4 address or an IPv6 address in brackets).
//
// Writes behave as on the serial line: they never block the caller for more
// than one slice without asking their OutputWait, Flush waits until the cutter
// has acknowledged every byte, and the kernel holds only a small send queue so
// that the cutter stops soon after a cancel. A cutter that closes the
// connection ends the send with "<uri>: the cutter closed the connection".
// Connecting gives up after ConnectSeconds.
class CSocketPort : public CutterTransport {
public:
    static constexpr const char* Scheme = "socket://";
    static constexpr int DefaultPort = 9100;
    // Longest wait for the connection to be made.
    static constexpr int ConnectSeconds = 10;
    static constexpr int SliceMs = 50;

    CSocketPort() = default;
    ~CSocketPort() override;
    CSocketPort(const CSocketPort&) = delete;
    CSocketPort& operator=(const CSocketPort&) = delete;

    // Splits "socket://HOST[:PORT][/]". False, with the reason, for anything else.
    static bool ParseUri(const QString& uri, QString& host, int& port, QString& error);

    bool Open(const CSerialSettings& settings, const QString& device, const QString& title) override;
    bool Connect(const QString& uri);
    void Abandon() override { m_bDiscard = true; }
    bool Close() override;

    Status Write(const char* data, std::size_t n, OutputWait& wait) override;
    Status Flush(OutputWait& wait) override;
    std::string ErrorText() const override { return m_strError.toStdString(); }
    const QString& OpenError() const override { return m_strOpenError; }
    const QString& DevicePath() const override { return m_strUri; }

private:
    bool FailOpen(const QString& reason);
    void SetError(int error);
    void Release(bool reset);
    class StallWait;

    int m_fd = -1;
    bool m_bDiscard = false;  // a write or flush was dropped, or the send abandoned: reset, do not deliver
    QString m_strUri;
    QString m_strOpenError;
    QString m_strError;
};

}  // namespace velkar
