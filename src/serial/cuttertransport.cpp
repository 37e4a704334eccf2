#include "serial/cuttertransport.h"

#include "serial/commport.h"
#include "serial/cupsqueue.h"
#include "serial/socketport.h"

namespace velkar {

CutterTransport::Kind CutterTransport::KindOf(const QString& device) {
    if (device.startsWith(QLatin1StringView(CSocketPort::Scheme))) return Kind::Socket;
    if (device.startsWith(QLatin1StringView(CCupsQueue::Scheme))) return Kind::Queue;
    return Kind::Device;
}

std::unique_ptr<CutterTransport> CutterTransport::ForDevice(const QString& device) {
    switch (KindOf(device)) {
    case Kind::Socket:
        return std::make_unique<CSocketPort>();
    case Kind::Queue:
        return std::make_unique<CCupsQueue>();
    case Kind::Device:
        break;
    }
    return std::make_unique<CCommPort>();
}

}  // namespace velkar
