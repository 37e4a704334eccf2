#pragma once

#include <memory>

#include <QString>

#include "cutter/cutteroutput.h"

namespace velkar {

class CSerialSettings;

// How the cutter is reached, named by the device text the way the print system
// names its devices: a device path ("/dev/ttyUSB0", "/dev/usb/lp0"), a raw TCP
// connection ("socket://HOST[:PORT]", port 9100 by default) or a print queue
// ("cups:QUEUE"). One object per send: Open, the send's writes, then Close
// (after Abandon when the send did not complete).
class CutterTransport : public CutterOutput {
public:
    enum class Kind { Device, Socket, Queue };

    static Kind KindOf(const QString& device);
    // A closed transport of the kind that `device` names.
    static std::unique_ptr<CutterTransport> ForDevice(const QString& device);

    // Opens `device`; `settings` give a serial line its parameters, `title`
    // names the job where the receiver keeps names (a print queue). False when
    // nothing could be opened: OpenError() tells why, and nothing is held.
    virtual bool Open(const CSerialSettings& settings, const QString& device, const QString& title) = 0;
    // The send did not complete: the receiver is told to drop what it holds of
    // it where it can (a queued print job is cancelled, a connection reset).
    virtual void Abandon() {}
    // Lets what was written reach the cutter (or the queue), giving up after
    // 30 s without progress, then releases everything. True when all of it
    // went out (or nothing was open); false when a write or flush was dropped
    // or the transport failed (ErrorText()).
    virtual bool Close() = 0;

    virtual const QString& OpenError() const = 0;
    // The device text as opened, for messages.
    virtual const QString& DevicePath() const = 0;
    // A serial line, whose speed paces the send.
    virtual bool IsTerminal() const { return false; }
};

}  // namespace velkar
