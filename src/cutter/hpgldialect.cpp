#include "cutter/hpgldialect.h"

#include <charconv>

namespace velkar {

namespace {

void AppendNumber(std::string& text, std::int64_t n) {
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    text.append(digits, static_cast<std::size_t>(end - digits));
}

std::string Pair(const char* command, std::int64_t x, std::int64_t y) {
    std::string text = command;
    AppendNumber(text, x);
    text += ',';
    AppendNumber(text, y);
    text += ';';
    return text;
}

}  // namespace

bool CHpglDialect::Begin(Writer& out) { return out.Put("IN;"); }

bool CHpglDialect::Flush(Writer& out) {
    if (m_strCut.empty()) return true;
    m_strCut += ';';
    const bool written = out.Put(m_strCut);
    m_strCut.clear();
    m_nCutPoints = 0;
    return written;
}

bool CHpglDialect::EnsureKnife(Writer& out) {
    if (m_nSelected == m_nWanted) return true;
    if (!Flush(out)) return false;
    std::string text = "SP";
    AppendNumber(text, m_nWanted);
    text += ';';
    const std::size_t i = static_cast<std::size_t>(m_nWanted - 1);
    if (m_knives.speedCmS[i] > 0) text += "VS", AppendNumber(text, m_knives.speedCmS[i]), text += ';';
    if (m_knives.force[i] > 0) text += "FS", AppendNumber(text, m_knives.force[i]), text += ';';
    m_nSelected = m_nWanted;
    return out.Put(text);
}

bool CHpglDialect::SelectKnife(Writer& out, std::int32_t k) {
    m_nWanted = k >= 1 && k <= 8 ? k : 1;
    return EnsureKnife(out);
}

bool CHpglDialect::Travel(Writer& out, std::int64_t x, std::int64_t y) {
    if (At(x, y)) return true;
    if (!Flush(out)) return false;
    m_bKnown = true, m_nX = x, m_nY = y;
    return out.Put(Pair("PU", x, y));
}

bool CHpglDialect::TravelTo(Writer& out, std::int64_t x, std::int64_t y) {
    if (At(x, y)) return true;
    return EnsureKnife(out) && Travel(out, x, y);
}

bool CHpglDialect::CutTo(Writer& out, std::int64_t x, std::int64_t y) {
    if (At(x, y)) return true;
    if (!EnsureKnife(out)) return false;
    m_strCut += m_strCut.empty() ? "PD" : ",";
    AppendNumber(m_strCut, x);
    m_strCut += ',';
    AppendNumber(m_strCut, y);
    m_bKnown = true, m_nX = x, m_nY = y;
    return ++m_nCutPoints < MaxPointsPerCommand || Flush(out);
}

bool CHpglDialect::PathEnd(Writer& out, std::int64_t feed) {
    if (!Flush(out) || !out.Put("PU;SP0;")) return false;
    m_nSelected = 0;
    return Travel(out, 0, feed);
}

}  // namespace velkar
