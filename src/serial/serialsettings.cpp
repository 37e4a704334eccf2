#include "serial/serialsettings.h"

#include <cstring>

#include "serial/profile.h"

namespace velkar {

namespace {

const char* DefaultOf(const char* key) {
    if (std::strcmp(key, "port") == 0) return "1";
    if (std::strcmp(key, "speed") == 0) return "9600";
    if (std::strcmp(key, "parity") == 0) return "N";
    if (std::strcmp(key, "data") == 0) return "8";
    return "1";  // stopbits
}

QString CommKey(const char* key) { return QStringLiteral("comm/") + QLatin1StringView(key); }

}  // namespace

const std::array<const char*, 5>& CSerialSettings::LoadOrder() {
    static const std::array<const char*, 5> order = {"port", "speed", "parity", "data", "stopbits"};
    return order;
}

const std::array<const char*, 5>& CSerialSettings::SaveOrder() {
    static const std::array<const char*, 5> order = {"stopbits", "parity", "port", "speed", "data"};
    return order;
}

QString* CSerialSettings::Field(const char* key) {
    return const_cast<QString*>(static_cast<const CSerialSettings*>(this)->Field(key));
}

const QString* CSerialSettings::Field(const char* key) const {
    if (std::strcmp(key, "port") == 0) return &m_strPort;
    if (std::strcmp(key, "speed") == 0) return &m_strSpeed;
    if (std::strcmp(key, "parity") == 0) return &m_strParity;
    if (std::strcmp(key, "data") == 0) return &m_strDataBits;
    return &m_strStopBits;
}

void CSerialSettings::LoadSettings() {
    auto profile = OpenProfile();
    for (const char* key : LoadOrder())
        *Field(key) = profile->value(CommKey(key), QString::fromLatin1(DefaultOf(key))).toString();
    for (int i = 0; i < 4; ++i) {
        const QString fallback = QStringLiteral("/dev/ttyS") + QString::number(i);
        m_astrDevice[i] = profile->value(QStringLiteral("comm/device") + QString::number(i + 1), fallback).toString();
        m_astrDialect[i] =
            profile->value(QStringLiteral("comm/dialect") + QString::number(i + 1), QStringLiteral("Velkar")).toString();
    }
}

void CSerialSettings::SaveSettings() const {
    auto profile = OpenProfile();
    for (const char* key : SaveOrder()) profile->setValue(CommKey(key), *Field(key));
}

QString CSerialSettings::DeviceForPort(int port) const {
    if (port < 1 || port > 4) return {};
    return m_astrDevice[static_cast<std::size_t>(port - 1)];
}

QString CSerialSettings::DialectForPort(int port) const {
    if (port < 1 || port > 4) return {};
    return m_astrDialect[static_cast<std::size_t>(port - 1)];
}

}  // namespace velkar
