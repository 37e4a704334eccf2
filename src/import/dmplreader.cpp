#include "import/dmplreader.h"

#include "import/plotnumber.h"
#include "import/plotsniffer.h"

namespace velkar {

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n' || c == ';' || c == ':' || c == '\0';
}

}  // namespace

DmplReader::DmplReader(PlotJobSink& sink, StandardPlotStats& stats) : m_sink(sink), m_stats(stats) {}

void DmplReader::Read(PlotInput& in, const char* p, const char* end) {
    m_in = &in;
    m_p = p;
    m_end = end;
    bool pcl = false;
    for (;;) {
        Ensure();
        if (m_p >= m_end) break;
        char c = *m_p;
        if (IsSeparator(c)) {
            ++m_p;
        } else if (c == '\x1b') {
            SkipEscapeSequence(in, m_p, m_end, pcl);
        } else if (StartsPlotNumber(c)) {
            Pairs();
        } else {
            ++m_p;
            switch (c) {
            case '@': case 'Z': case 'e': return;
            case 'A': m_bRelative = false; break;
            case 'R': m_bRelative = true; break;
            case 'U': m_bPenDown = false, Pairs(); break;
            case 'D': m_bPenDown = true, Pairs(); break;
            case 'P': {
                while (Has() && (*m_p == ' ' || *m_p == '\t')) ++m_p;
                double pen = 0;
                if (Has() && StartsPlotNumber(*m_p)) pen = Number();
                m_sink.SelectPen(pen);
                break;
            }
            case 'E':
                if (m_p < m_end && *m_p == 'C') ++m_p, Units();
                else ++m_stats.unknown, SkipNumbers();
                break;
            case 'H': case 'L': case 'V': case 'O': SkipNumbers(); break;
            default: ++m_stats.unknown, SkipNumbers(); break;
            }
        }
    }
}

void DmplReader::Units() {
    char u = m_p < m_end ? *m_p++ : '\0';
    switch (u) {
    case 'N': case 'n': m_dUnit = 1; break;             // 0.025 mm
    case '1': m_dUnit = 25.4 / 25; break;               // 0.001 inch
    case '2': m_dUnit = 2 * 25.4 / 25; break;           // 0.002 inch
    case '3': m_dUnit = 3 * 25.4 / 25; break;           // 0.003 inch
    case '5': m_dUnit = 5 * 25.4 / 25; break;           // 0.005 inch
    case 'M': case 'm': m_dUnit = 4; break;             // 0.1 mm
    default: ++m_stats.unknown; break;
    }
}

void DmplReader::SkipNumbers() {
    while (Has() && (StartsPlotNumber(*m_p) || *m_p == ' ' || *m_p == ',')) ++m_p;
}

double DmplReader::Number() {
    Ensure();
    const double value = ParsePlotNumber(m_p, m_end);
    // Digits of a number longer than the window only scale a value far out of range already.
    if (m_p == m_end)
        while (Has() && ((*m_p >= '0' && *m_p <= '9') || *m_p == '.')) ++m_p;
    return value;
}

void DmplReader::Pairs() {
    for (;;) {
        while (Has() && (*m_p == ' ' || *m_p == ',' || *m_p == '\t' || *m_p == '\r' || *m_p == '\n')) ++m_p;
        if (!Has() || !StartsPlotNumber(*m_p)) return;
        double x = Number() * m_dUnit;
        while (Has() && (*m_p == ' ' || *m_p == ',' || *m_p == '\t' || *m_p == '\r' || *m_p == '\n')) ++m_p;
        if (!Has() || !StartsPlotNumber(*m_p)) return;  // an odd number is ignored
        double y = Number() * m_dUnit;
        if (m_bRelative) x += m_sink.X(), y += m_sink.Y();
        if (m_bPenDown)
            m_sink.LineTo(x, y);
        else
            m_sink.MoveTo(x, y);
    }
}

}  // namespace velkar
