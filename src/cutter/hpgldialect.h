#pragma once

#include <string>

#include "cutter/cutterdialect.h"

namespace velkar {

// HP-GL for cutters: "IN;" first, "SP n;" (with "VS v;" and "FS f;" where the
// knife has them) before the first motion of each knife, "PU x,y;" for a
// travel, cuts joined into "PD x,y,x,y,...;" (at most MaxPointsPerCommand
// pairs), and at a path end "PU;SP0;" and a travel to the feed point (0, feed).
// Plotter units are job units; x and y keep the job's axes. No command moves
// to the point the knife already stands on.
class CHpglDialect : public CutterDialect {
public:
    explicit CHpglDialect(const KnifeSettings& knives) : m_knives(knives) {}

    bool Begin(Writer& out) override;
    bool JobStart(Writer&) override { return true; }
    bool TravelTo(Writer& out, std::int64_t x, std::int64_t y) override;
    bool CutTo(Writer& out, std::int64_t x, std::int64_t y) override;
    bool SelectKnife(Writer& out, std::int32_t k) override;
    bool PathEnd(Writer& out, std::int64_t feed) override;
    bool Flush(Writer& out) override;

    // Cut points held in one PD command before it is sent.
    static constexpr int MaxPointsPerCommand = 64;

private:
    bool At(std::int64_t x, std::int64_t y) const { return m_bKnown && x == m_nX && y == m_nY; }
    bool Travel(Writer& out, std::int64_t x, std::int64_t y);
    bool EnsureKnife(Writer& out);

    KnifeSettings m_knives;
    std::int32_t m_nWanted = 1;    // the knife the job asks for
    std::int32_t m_nSelected = 0;  // the knife the cutter holds; 0: none
    bool m_bKnown = false;         // the knife's position is known (not after IN)
    std::int64_t m_nX = 0;
    std::int64_t m_nY = 0;
    std::string m_strCut;  // the PD command being joined, without its ";"
    int m_nCutPoints = 0;
};

}  // namespace velkar
