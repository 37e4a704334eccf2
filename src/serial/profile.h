#pragma once

#include <memory>

#include <QSettings>

namespace velkar {

// The per-user profile: an INI file "QV VELKAR1/Velkar.ini" in the user's
// configuration directory ($XDG_CONFIG_HOME, else ~/.config), looked up afresh
// at every call. The caller owns the returned object; changes are written when
// it is destroyed.
std::unique_ptr<QSettings> OpenProfile();

// The material sheet in millimetres (section "material").
struct MaterialSize {
    long length;
    long width;
};

// Reads "length" then "width"; absent keys give 200, text is read as atol reads
// it (leading digits, 0 when there are none; values beyond long are clamped).
MaterialSize LoadMaterialSize();
// Writes "length" then "width" as decimal text.
void SaveMaterialSize(const MaterialSize& size);

}  // namespace velkar
