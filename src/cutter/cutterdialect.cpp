#include "cutter/cutterdialect.h"

#include "cutter/hpgldialect.h"
#include "cutter/velkardialect.h"

namespace velkar {

namespace {

struct DialectName {
    CutterDialectId id;
    const char* stored;
    const char* word;
};

constexpr DialectName Names[] = {
    {CutterDialectId::Velkar, "Velkar", "velkar"},
    {CutterDialectId::Hpgl, "HP-GL", "hpgl"},
};

const DialectName& NameOf(CutterDialectId id) {
    for (const DialectName& n : Names)
        if (n.id == id) return n;
    return Names[0];
}

}  // namespace

std::unique_ptr<CutterDialect> CutterDialect::Create(CutterDialectId id, const KnifeSettings& knives, bool compact) {
    switch (id) {
    case CutterDialectId::Hpgl:
        return std::make_unique<CHpglDialect>(knives);
    case CutterDialectId::Velkar:
        break;
    }
    return std::make_unique<CVelkarDialect>(compact);
}

const char* CutterDialect::StoredText(CutterDialectId id) { return NameOf(id).stored; }
const char* CutterDialect::OptionWord(CutterDialectId id) { return NameOf(id).word; }

bool CutterDialect::FromStoredText(std::string_view text, CutterDialectId& id) {
    for (const DialectName& n : Names)
        if (text == n.stored) return id = n.id, true;
    return false;
}

bool CutterDialect::FromOptionWord(std::string_view word, CutterDialectId& id) {
    for (const DialectName& n : Names)
        if (word == n.word) return id = n.id, true;
    return false;
}

std::string CutterDialect::OptionWords() {
    std::string words;
    for (const DialectName& n : Names) {
        if (!words.empty()) words += ", ";
        words += n.word;
    }
    return words;
}

}  // namespace velkar
