#include "cutter/commandreplay.h"

#include <charconv>
#include <cmath>

namespace velkar {

void CCommandReplay::Feed(const char* data, std::size_t n) {
    m_nBytes += n;
    for (std::size_t i = 0; i < n; ++i) {
        if (data[i] == ' ') {
            Command();
            m_strWord.clear();
        } else if (m_strWord.size() < 64) {
            m_strWord += data[i];
        }
    }
}

void CCommandReplay::Command() {
    if (m_strWord.size() < 4 || (m_strWord[0] != 'U' && m_strWord[0] != 'D')) return;
    const char* p = m_strWord.data() + 1;
    const char* end = m_strWord.data() + m_strWord.size();
    std::int64_t first = 0, second = 0;
    auto r = std::from_chars(p, end, first);
    if (r.ec != std::errc() || r.ptr == end || *r.ptr != ',') return;
    r = std::from_chars(r.ptr + 1, end, second);
    if (r.ec != std::errc() || r.ptr != end) return;
    const double df = double(first) - double(m_nFirst), ds = double(second) - double(m_nSecond);
    (m_strWord[0] == 'D' ? m_dCut : m_dTravel) += std::sqrt(df * df + ds * ds);
    m_nFirst = first;
    m_nSecond = second;
    if (m_bKeepSteps) m_steps.push_back({m_strWord[0], first, second});
}

std::vector<CCommandReplay::Step> CCommandReplay::Path() const {
    std::vector<Step> path;
    std::int64_t first = 0, second = 0;
    for (const Step& s : m_steps) {
        if (s.first == first && s.second == second) continue;
        path.push_back(s);
        first = s.first;
        second = s.second;
    }
    return path;
}

}  // namespace velkar
