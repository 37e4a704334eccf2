#include "serial/profile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include <QStandardPaths>

namespace velkar {

namespace {

// atol's reading without its undefined overflow: strtol clamps.
long ReadLong(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::strtol(bytes.constData(), nullptr, 10);
}

}  // namespace

std::unique_ptr<QSettings> OpenProfile() {
    // An explicit file rather than QSettings' organisation lookup, whose
    // directory is fixed at first use and would ignore a later XDG_CONFIG_HOME.
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return std::make_unique<QSettings>(dir + QStringLiteral("/QV VELKAR1/Velkar.ini"), QSettings::IniFormat);
}

MaterialSize LoadMaterialSize() {
    auto profile = OpenProfile();
    MaterialSize size{};
    size.length = ReadLong(profile->value(QStringLiteral("material/length"), QStringLiteral("200")).toString());
    size.width = ReadLong(profile->value(QStringLiteral("material/width"), QStringLiteral("200")).toString());
    return size;
}

void SaveMaterialSize(const MaterialSize& size) {
    auto profile = OpenProfile();
    profile->setValue(QStringLiteral("material/length"), QString::number(size.length));
    profile->setValue(QStringLiteral("material/width"), QString::number(size.width));
}

bool LoadKnifeSettings(KnifeSettings& knives, QString& error) {
    auto profile = OpenProfile();
    KnifeSettings read = knives;
    for (int k = 1; k <= 8; ++k) {
        for (const char* what : {"speed", "force"}) {
            const QString key = QStringLiteral("knife/") + QLatin1StringView(what) + QString::number(k);
            const QString text = profile->value(key).toString().trimmed();
            if (text.isEmpty()) continue;
            bool ok = false;
            const int value = text.toInt(&ok);
            if (!ok || value < 1 || value > KnifeSettings::MaxValue) {
                error = QStringLiteral("profile key ") + key + QStringLiteral(" is '") + text +
                        QStringLiteral("': it takes a whole number from 1 to 1000");
                return false;
            }
            (what[0] == 's' ? read.speedCmS : read.force)[static_cast<std::size_t>(k - 1)] = value;
        }
    }
    knives = read;
    return true;
}

}  // namespace velkar
