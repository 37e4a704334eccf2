#pragma once

#include <memory>

#include <QSettings>
#include <QString>

#include "cutter/cutterdialect.h"

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

// The speed (cm/s) and force of each knife for cutters whose language carries
// them: section "knife", keys "speed1" to "speed8" and "force1" to "force8",
// whole numbers from 1 to 1000; an absent or empty key leaves the cutter's own.
// False, with the reason naming the key, for any other text (nothing is set then).
bool LoadKnifeSettings(KnifeSettings& knives, QString& error);

}  // namespace velkar
