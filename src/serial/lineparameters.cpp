#include "serial/lineparameters.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "serial/serialsettings.h"

namespace velkar {

int TextToInt(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    const long value = std::strtol(bytes.constData(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

bool LineParameters::FromSettings(const CSerialSettings& settings, QString& error) {
    baud = TextToInt(settings.GetSpeed());
    dataBits = TextToInt(settings.GetDataBits());
    const QString parityText = settings.GetParity();
    parity = parityText == QLatin1StringView("O") ? 'O' : parityText == QLatin1StringView("E") ? 'E' : 'N';
    const QString stop = settings.GetStopBits();
    twoStopBits = stop == QLatin1StringView("1.5") || stop == QLatin1StringView("2");
    hardwareFlow = true;
    if (baud < 1) {
        error = QStringLiteral("the speed \"") + settings.GetSpeed() + QStringLiteral("\" is not a baud rate");
        return false;
    }
    if (dataBits < 5 || dataBits > 8) {
        error = QStringLiteral("the data bits \"") + settings.GetDataBits() + QStringLiteral("\" are not 5 to 8");
        return false;
    }
    return true;
}

speed_t LineParameters::StandardSpeed(int baud) {
    switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    default: return B0;
    }
}

bool LineParameters::ApplyTo(termios& t) const {
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[dataBits >= 5 && dataBits <= 8 ? dataBits - 5 : 3] | CREAD | CLOCAL;
    if (parity == 'O') t.c_cflag |= PARENB | PARODD;
    if (parity == 'E') t.c_cflag |= PARENB;
    if (twoStopBits) t.c_cflag |= CSTOPB;
    if (hardwareFlow) t.c_cflag |= CRTSCTS;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    const speed_t standard = StandardSpeed(baud);
    const speed_t speed = standard != B0 ? standard : B38400;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return standard != B0;
}

}  // namespace velkar
