#pragma once

#include "cutter/cutterdialect.h"

namespace velkar {

// The plain-text stream: every command ends with a blank, no line breaks.
// Points go out as "U"/"D" with the y number first; knife selects as "P1 " to
// "P8 " (knives 1 and 3, 2 and 4 exchange their words); a path end as the feed
// move "U<feed>,0 " and the terminator.
//
// Compact: a "U" or "D" that changes nothing is left out. A "D" to the knife's
// place with the knife up only lowers it; it is held back and left out when a
// cut elsewhere follows (which lowers the knife there anyway); anything else
// that follows gets it first, so the cutter does the same.
class CVelkarDialect : public CutterDialect {
public:
    explicit CVelkarDialect(bool compact = false) : m_bCompact(compact) {}

    bool Begin(Writer&) override { return true; }
    bool JobStart(Writer& out) override { return Command(out, InitString); }
    bool TravelTo(Writer& out, std::int64_t x, std::int64_t y) override { return Point(out, 'U', y, x); }
    bool CutTo(Writer& out, std::int64_t x, std::int64_t y) override { return Point(out, 'D', y, x); }
    bool SelectKnife(Writer& out, std::int32_t k) override { return Command(out, KnifeWord(k)); }
    bool PathEnd(Writer& out, std::int64_t feed) override;
    bool Flush(Writer& out) override { return FlushHeldCut(out); }

    // Knife word for knife number k (a number outside 1..8 selects as 3 does).
    static const char* KnifeWord(std::int32_t k);

    static constexpr const char* InitString = ";:H A L0 ECN ";
    static constexpr const char* Terminator = "  @ 0 U0,0  @  ";

private:
    // A command that is not a knife move: the knife's place is unknown after it.
    bool Command(Writer& out, std::string_view text);
    bool Point(Writer& out, char letter, std::int64_t first, std::int64_t second);
    bool Write(Writer& out, char letter, std::int64_t first, std::int64_t second);
    bool FlushHeldCut(Writer& out);

    bool m_bCompact;
    // Where the last "U" or "D" left the knife, while known.
    bool m_bKnown = false;
    bool m_bDown = false;
    bool m_bHeldCut = false;  // a "D" to the knife's place with the knife up, not written yet
    std::int64_t m_nAtFirst = 0;
    std::int64_t m_nAtSecond = 0;
};

}  // namespace velkar
