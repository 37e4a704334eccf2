#pragma once

#include <QByteArray>
#include <QSocketNotifier>
#include <QString>

#include <memory>
#include <utility>

namespace velkar::test {

// A pseudo-terminal standing in for the cutter: the program opens DevicePath()
// as its serial line, and the test reads what arrived at the cutter's end.
class PtyCutter {
public:
    PtyCutter();  // IsOpen() is false when no pseudo-terminal can be had
    ~PtyCutter();
    PtyCutter(const PtyCutter&) = delete;
    PtyCutter& operator=(const PtyCutter&) = delete;

    bool IsOpen() const { return m_master >= 0; }
    const QString& DevicePath() const { return m_strDevice; }

    // Everything the cutter received so far. Bytes are collected whenever the
    // event loop runs (a send pumps it), so the line never fills up.
    QByteArray Received() { return Drain(), m_received; }
    // Hands the bytes received so far to the caller and forgets them.
    QByteArray Take() { return Drain(), std::exchange(m_received, {}); }
    // false: the cutter takes nothing more (the line fills and stays still)
    // until it is set true again.
    void SetTaking(bool taking) {
        m_bTaking = taking;
        if (m_notifier) m_notifier->setEnabled(taking);
    }
    // Hangs up the cutter's end: further writes by the program fail.
    void CloseCutterEnd();

private:
    void Drain();

    QByteArray m_received;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_bTaking = true;
    int m_master = -1;
    int m_slave = -1;  // held open so the line stays up between the program's opens
    QString m_strDevice;
};

}  // namespace velkar::test
