#pragma once

#include "cutter/cutterdialect.h"

namespace velkar {

// The plain-text stream: every command ends with a blank, no line breaks.
// Points go out as "U"/"D" with the y number first; knife selects as "P1 " to
// "P8 " (knives 1 and 3, 2 and 4 exchange their words); a path end as the feed
// move "U<feed>,0 " and the terminator. Nothing is held back.
class CVelkarDialect : public CutterDialect {
public:
    bool Begin(Writer&) override { return true; }
    bool JobStart(Writer& out) override;
    bool TravelTo(Writer& out, std::int64_t x, std::int64_t y) override { return Point(out, 'U', x, y); }
    bool CutTo(Writer& out, std::int64_t x, std::int64_t y) override { return Point(out, 'D', x, y); }
    bool SelectKnife(Writer& out, std::int32_t k) override;
    bool PathEnd(Writer& out, std::int64_t feed) override;
    bool Flush(Writer&) override { return true; }

    // Knife word for knife number k (a number outside 1..8 selects as 3 does).
    static const char* KnifeWord(std::int32_t k);

    static constexpr const char* InitString = ";:H A L0 ECN ";
    static constexpr const char* Terminator = "  @ 0 U0,0  @  ";

private:
    static bool Point(Writer& out, char letter, std::int64_t x, std::int64_t y);
};

}  // namespace velkar
