#include "import/hpgllinetype.h"

namespace velkar {

namespace {

constexpr double UnitsPerMillimetre = 40;

// The default patterns of types 1 to 8, in percent of the pattern: dash, gap, dash, ...
const std::vector<double> DefaultPatterns[8] = {
    {0, 100}, {50, 50}, {70, 30}, {80, 10, 0, 10}, {70, 10, 10, 10}, {50, 10, 10, 10, 10, 10},
    {70, 10, 0, 10, 0, 10}, {50, 10, 0, 10, 10, 10, 0, 10},
};

}  // namespace

HpglLineType::HpglLineType() { Reset(); }

void HpglLineType::Reset() {
    for (int i = 0; i < 8; ++i) {
        double sum = 0;
        for (double d : DefaultPatterns[i]) sum += d;
        m_patterns[static_cast<std::size_t>(i)].clear();
        for (double d : DefaultPatterns[i]) m_patterns[static_cast<std::size_t>(i)].push_back(d / sum);
        m_adaptive[static_cast<std::size_t>(i)] = Adaptive(m_patterns[static_cast<std::size_t>(i)]);
    }
    m_bSolid = true;
    m_nType = 0;
    m_dPercent = 4;
    m_dMillimetres = -1;
    m_dLength = 1;
    m_pPattern = nullptr;
    Restart();
}

HpglLineType::Pattern HpglLineType::Adaptive(const Pattern& fixed) {
    // The adaptive form starts and ends in the middle of the first dash (or of
    // the first and last dashes run together), so that a segment ends as it began.
    // A single dash has no gap to centre on: it stays as it is.
    Pattern out;
    const std::size_t n = fixed.size();
    if (n == 1) {
        out = fixed;
    } else if (n % 2 == 0) {
        out.push_back(fixed[0] / 2);
        for (std::size_t i = 1; i < n; ++i) out.push_back(fixed[i]);
        out.push_back(fixed[0] / 2);
    } else {
        const double ends = (fixed[0] + fixed[n - 1]) / 2;
        out.push_back(ends);
        for (std::size_t i = 1; i + 1 < n; ++i) out.push_back(fixed[i]);
        out.push_back(ends);
    }
    return out;
}

void HpglLineType::Select(const double* v, int n, double diagonal) {
    if (n < 1 || !(v[0] > -9 && v[0] < 9)) {
        m_bSolid = true;
        return;
    }
    m_nType = static_cast<int>(v[0]);
    m_bSolid = false;
    if (n >= 2 && v[1] > 0 && v[1] < 1e9) {
        if (n >= 3 && v[2] == 1)
            m_dMillimetres = v[1];
        else
            m_dPercent = v[1], m_dMillimetres = -1;
    }
    m_dLength = m_dMillimetres >= 0 ? m_dMillimetres * UnitsPerMillimetre : m_dPercent / 100 * diagonal;
    // A pattern shorter than a plotter unit cannot be cut as dashes.
    if (!(m_dLength >= 1) && m_nType != 0) m_bSolid = true;
    Load();
}

void HpglLineType::Load() {
    if (m_nType == 0) return;
    const std::size_t index = static_cast<std::size_t>(m_nType < 0 ? -m_nType : m_nType) - 1;
    const Pattern* pattern = m_nType < 0 ? &m_adaptive[index] : &m_patterns[index];
    if (pattern != m_pPattern) {
        // The pen keeps its place in the pattern, as a fraction, when the type changes.
        m_pPattern = pattern;
        m_nElement = 0;
        double start = 0;
        while (m_nElement + 1 < pattern->size() && start + (*pattern)[m_nElement] <= m_dInPattern)
            start += (*pattern)[m_nElement++];
    }
}

void HpglLineType::Define(const double* v, int n) {
    if (n < 1) {
        const bool solid = m_bSolid;
        const int type = m_nType;
        const double percent = m_dPercent, millimetres = m_dMillimetres, length = m_dLength;
        Reset();
        m_bSolid = solid, m_nType = type, m_dPercent = percent, m_dMillimetres = millimetres, m_dLength = length;
        Load();
        return;
    }
    if (!(v[0] >= 1 && v[0] < 9)) return;
    const std::size_t index = static_cast<std::size_t>(v[0]) - 1;
    Pattern pattern;
    double sum = 0;
    for (int i = 1; i < n && i <= MostElements; ++i) {
        if (!(v[i] >= 0 && v[i] <= 100)) return;
        pattern.push_back(v[i]);
        sum += v[i];
    }
    if (pattern.empty()) {
        double s = 0;
        for (double d : DefaultPatterns[index]) s += d;
        for (double d : DefaultPatterns[index]) pattern.push_back(d / s);
    } else {
        if (!(sum > 0)) return;
        for (double& d : pattern) d /= sum;
    }
    m_patterns[index] = pattern;
    m_adaptive[index] = Adaptive(pattern);
    m_pPattern = nullptr;
    Restart();
    if (!m_bSolid) Load();
}

}  // namespace velkar
