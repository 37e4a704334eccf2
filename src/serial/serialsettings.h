#pragma once

#include <array>

#include <QString>

namespace velkar {

// The serial line's settings as the profile keeps them (section "comm"), as
// texts exactly as stored: a text that none of the dialog's choices matches is
// kept and written back unchanged.
class CSerialSettings {
public:
    // Reads "port", "speed", "parity", "data", "stopbits" in this order, with
    // the defaults "1", "9600", "N", "8", "1"; and "device1".."device4".
    void LoadSettings();
    // Writes "stopbits", "parity", "port", "speed", "data" in this order. The
    // device keys are not written: they are edited in the profile by hand.
    void SaveSettings() const;

    QString GetPort() const { return m_strPort; }
    QString GetStopBits() const { return m_strStopBits; }
    QString GetDataBits() const { return m_strDataBits; }
    QString GetSpeed() const { return m_strSpeed; }
    QString GetParity() const { return m_strParity; }

    // The device that COM number `port` (1 to 4) names: key "device<port>",
    // default /dev/ttyS0 to /dev/ttyS3: a device path, "socket://HOST[:PORT]"
    // or "cups:QUEUE". Empty for any other number.
    QString DeviceForPort(int port) const;
    // The command language of the cutter on COM number `port`: key
    // "dialect<port>", "Velkar" or "HP-GL", default "Velkar". Empty for any
    // other number.
    QString DialectForPort(int port) const;

    // The keys in the order LoadSettings reads and SaveSettings writes them.
    static const std::array<const char*, 5>& LoadOrder();
    static const std::array<const char*, 5>& SaveOrder();

    QString m_strPort;
    QString m_strStopBits;
    QString m_strDataBits;
    QString m_strSpeed;
    QString m_strParity;

private:
    QString* Field(const char* key);
    const QString* Field(const char* key) const;

    std::array<QString, 4> m_astrDevice = {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS1"),
                                           QStringLiteral("/dev/ttyS2"), QStringLiteral("/dev/ttyS3")};
    std::array<QString, 4> m_astrDialect = {QStringLiteral("Velkar"), QStringLiteral("Velkar"),
                                            QStringLiteral("Velkar"), QStringLiteral("Velkar")};
};

}  // namespace velkar
