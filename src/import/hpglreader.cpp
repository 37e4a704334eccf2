#include "import/hpglreader.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>

#include "import/plotnumber.h"
#include "import/plotsniffer.h"

namespace velkar {

namespace {

constexpr char Esc = '\x1b';
constexpr double Pi = std::numbers::pi;
// Sagitta of a chord; with the rounding to whole units a chord stays within one unit of the curve.
constexpr double ChordTolerance = 0.25;
// Enough chords for a one-unit tolerance up to a radius of about 20 m; bounds the work per arc.
constexpr int MaxChords = 4096;

constexpr unsigned Code(char a, char b) {
    return static_cast<unsigned>(static_cast<unsigned char>(a)) << 8 | static_cast<unsigned char>(b);
}
constexpr unsigned Code(const char (&m)[3]) { return Code(m[0], m[1]); }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Settings that change nothing a knife cuts; skipped without being counted.
bool IsHarmlessSetting(unsigned code) {
    static constexpr unsigned settings[] = {
        Code("PW"), Code("VS"), Code("PT"), Code("CS"),
        Code("CA"), Code("SS"), Code("SA"), Code("SL"), Code("TD"), Code("FT"),
        Code("LA"), Code("MC"), Code("TR"), Code("NP"), Code("PC"), Code("CR"), Code("WU"),
        Code("OP"), Code("OI"), Code("OS"), Code("OE"), Code("OF"), Code("OH"), Code("OW"), Code("OC"), Code("OD"),
        Code("OA"), Code("OG"), Code("OL"), Code("PG"), Code("AF"), Code("AH"), Code("NR"), Code("BP"),
        Code("EC"), Code("AC"), Code("RF"), Code("PP"), Code("QL"), Code("AS"), Code("FS"), Code("VA"), Code("VN"),
        Code("EP"), Code("PM"), Code("FN"), Code("SV"), Code("SD"), Code("AD"), Code("FI"), Code("MG"), Code("KY"),
        Code("GC"), Code("IM"), Code("OT"), Code("OO"), Code("CV"), Code("DV"), Code("LM"), Code("SB"),
        Code("PB"), Code("ST"), Code("RP"), Code("BF"), Code("BR"), Code("MT"), Code("NS"), Code("CF"), Code("DL"),
    };
    for (unsigned s : settings)
        if (s == code) return true;
    return false;
}

}  // namespace

HpglReader::HpglReader(PlotJobSink& sink, StandardPlotStats& stats) : m_sink(sink), m_stats(stats) {}

void HpglReader::Read(PlotInput& in, const char* p, const char* end) {
    m_in = &in;
    m_p = p;
    m_end = end;
    for (;;) {
        Ensure();
        if (m_p >= m_end) break;
        char c = *m_p;
        if (c == Esc) {
            SkipEscapeSequence(in, m_p, m_end, m_bPcl);
            continue;
        }
        if (m_bPcl) {
            in.SkipTo(Esc, m_p, m_end);
            continue;
        }
        if (c == '#') {
            in.SkipPast('\n', m_p, m_end);
            continue;
        }
        if (!IsLetter(c) || m_end - m_p < 2 || !IsLetter(m_p[1])) {
            ++m_p;
            continue;
        }
        unsigned code = Code(Upper(c), Upper(m_p[1]));
        m_p += 2;
        switch (code) {
        case Code("PU"): m_bPenDown = false, PenPairs(); break;
        case Code("PD"): m_bPenDown = true, PenPairs(); break;
        case Code("PA"): m_bRelative = false, PenPairs(); break;
        case Code("PR"): m_bRelative = true, PenPairs(); break;
        case Code("SP"): {
            double pen = 0;
            Number(pen);
            m_sink.SelectPen(pen);
            SkipParameters();
            break;
        }
        case Code("IN"): Initialize(true), SkipParameters(); break;
        case Code("DF"): Initialize(false), SkipParameters(); break;
        case Code("IP"): case Code("IR"): case Code("PS"): case Code("SC"): {
            double v[7];
            int n = Numbers(v, 7);
            if (code == Code("IP")) m_scaling.InputPoints(v, n);
            else if (code == Code("IR")) m_scaling.InputRelative(v, n);
            else if (code == Code("PS")) {
                m_scaling.PlotSize(v, n);
                // A plot size sets up a page before its drawing; one that comes later is not a
                // size to clip the drawing to.
                m_bPlotSizeWindow = !m_bDrawn && m_scaling.PlotSizeGiven();
            }
            else m_scaling.Scale(v, n);
            break;
        }
        case Code("IW"): InputWindow(); break;
        case Code("LT"): {
            double v[3];
            int n = Numbers(v, 3);
            m_lineType.Select(v, n, m_scaling.Diagonal());
            break;
        }
        case Code("CT"): {
            double mode = 0;
            m_bChordDistance = Number(mode) && mode == 1;
            SkipParameters();
            break;
        }
        case Code("UL"): {
            double v[21];
            int n = Numbers(v, 21);
            m_lineType.Define(v, n);
            break;
        }
        case Code("RO"): Rotate(); break;
        case Code("CI"): Circle(); break;
        case Code("AA"): Arc(false); break;
        case Code("AR"): Arc(true); break;
        case Code("AT"): ThreePointArc(false); break;
        case Code("RT"): ThreePointArc(true); break;
        case Code("EA"): case Code("RA"): Rectangle(false); break;
        case Code("ER"): case Code("RR"): Rectangle(true); break;
        case Code("EW"): EdgeWedge(); break;
        case Code("PE"): Encoded(); break;
        case Code("LB"): Label(); break;
        case Code("BL"): SkipText(true); break;
        case Code("SI"): case Code("SR"): case Code("DI"): case Code("DR"): case Code("LO"): case Code("ES"):
        case Code("CP"): {
            double v[2];
            int n = Numbers(v, 2);
            if (code == Code("SI")) m_labelPen.AbsoluteSize(v, n);
            else if (code == Code("SR")) m_labelPen.RelativeSize(v, n);
            else if (code == Code("DI")) m_labelPen.AbsoluteDirection(v, n);
            else if (code == Code("DR")) m_labelPen.RelativeDirection(v, n);
            else if (code == Code("LO")) m_labelPen.Origin(v, n);
            else if (code == Code("ES")) m_labelPen.ExtraSpace(v, n);
            else MoveLabelPen(v, n);
            break;
        }
        case Code("WD"): SkipText(false); break;
        case Code("DT"): DefineTerminator(); break;
        case Code("SM"): SymbolMode(); break;
        case Code("CO"): Comment(); break;
        case Code("FP"): case Code("WG"): ++m_stats.fills, SkipParameters(); break;
        default:
            if (!IsHarmlessSetting(code)) ++m_stats.unknown;
            SkipParameters();
            break;
        }
    }
}

bool HpglReader::Number(double& value) {
    // A local cursor: stores through the member would be redone for every character.
    for (;;) {
        Ensure();
        const char* p = m_p;
        while (p < m_end && (*p == ',' || *p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
        m_p = p;
        if (p < m_end || m_in->AtEnd()) break;
    }
    Ensure();
    const char* p = m_p;
    const char* const end = m_end;
    if (p >= end || !StartsPlotNumber(*p)) {
        m_p = p;
        return false;
    }
    // Most numbers are short unsigned integers: up to nine digits need no general scan.
    unsigned digit = static_cast<unsigned char>(*p) - 48u;
    if (digit <= 9) {
        const char* q = p + 1;
        const char* const limit = end - p > 9 ? p + 9 : end;
        std::uint32_t v = digit;
        while (q < limit && (digit = static_cast<unsigned char>(*q) - 48u) <= 9) v = v * 10 + digit, ++q;
        if (q == end || (*q != '.' && static_cast<unsigned>(static_cast<unsigned char>(*q) - 48u) > 9)) {
            value = v;
            m_p = q;
            return true;
        }
    }
    value = ParsePlotNumber(p, end);
    m_p = p;
    // Digits of a number longer than the window itself only scale a value that is
    // far out of range already; they are passed over.
    if (m_p == m_end)
        while (Has() && ((*m_p >= '0' && *m_p <= '9') || *m_p == '.')) ++m_p;
    return true;
}

void HpglReader::SkipParameters() {
    while (Has()) {
        char c = *m_p;
        if (c == ';') {
            ++m_p;
            return;
        }
        if (IsLetter(c) || c == Esc) return;
        ++m_p;
        if (c == '"') m_in->SkipPast('"', m_p, m_end);
    }
}

void HpglReader::SkipTerminator() {
    while (Has() && (*m_p == ' ' || *m_p == ',' || *m_p == '\t')) ++m_p;
    if (Has() && *m_p == ';') ++m_p;
}

void HpglReader::SkipText(bool count) {
    if (count) ++m_stats.labels;
    m_in->SkipPast(m_cTerminator, m_p, m_end);
    SkipTerminator();
}

void HpglReader::Label() {
    ++m_stats.labels;
    Ensure();
    double x = m_sink.X(), y = m_sink.Y();
    const void* t = std::memchr(m_p, m_cTerminator, static_cast<std::size_t>(m_end - m_p));
    if (t || m_in->AtEnd()) {
        const char* textEnd = t ? static_cast<const char*>(t) : m_end;
        const std::size_t printed = static_cast<std::size_t>(textEnd - m_p) + (t && m_bPrintTerminator ? 1 : 0);
        m_labelPen.Label(m_p, printed, m_scaling.SpanX(), m_scaling.SpanY(), x, y);
        m_p = t ? textEnd + 1 : m_end;
    } else {
        // A text longer than the window moves the pen piece by piece.
        HpglLabelPen::Run run;
        for (;;) {
            t = std::memchr(m_p, m_cTerminator, static_cast<std::size_t>(m_end - m_p));
            const char* textEnd = t ? static_cast<const char*>(t) : m_end;
            const std::size_t printed = static_cast<std::size_t>(textEnd - m_p) + (t && m_bPrintTerminator ? 1 : 0);
            m_labelPen.LabelPart(m_p, printed, m_scaling.SpanX(), m_scaling.SpanY(), x, y, run);
            m_p = t ? textEnd + 1 : m_end;
            if (t || !Has()) break;
        }
        m_labelPen.LabelEnd(m_scaling.SpanX(), m_scaling.SpanY(), x, y, run);
    }
    if (x != m_sink.X() || y != m_sink.Y()) m_sink.SetPoint(x, y);
    SkipTerminator();
}

void HpglReader::MoveLabelPen(const double* v, int n) {
    double x = m_sink.X(), y = m_sink.Y();
    m_labelPen.CharacterPlot(v, n, m_scaling.SpanX(), m_scaling.SpanY(), x, y);
    if (x != m_sink.X() || y != m_sink.Y()) m_sink.SetPoint(x, y);
}

void HpglReader::DefineTerminator() {
    // DT t[,mode]: the character right after DT; a bare DT restores ETX. Mode 0 prints
    // the terminator as part of the label, so it moves the pen too.
    m_bPrintTerminator = false;
    if (Has() && *m_p != ';') {
        m_cTerminator = *m_p++;
        double mode = 1;
        if (Has() && *m_p == ',' && Number(mode)) m_bPrintTerminator = mode == 0;
        SkipParameters();
    } else {
        m_cTerminator = '\x03';
        SkipTerminator();
    }
}

void HpglReader::Comment() {
    // CO "text" in HP-GL/2; some programs leave out the quotes, so an open text runs to ';'.
    while (Has() && *m_p == ' ') ++m_p;
    if (Has() && *m_p == '"') {
        SkipParameters();
        return;
    }
    m_in->SkipPast(';', m_p, m_end);
}

void HpglReader::SymbolMode() {
    // SMc: every later point gets the symbol c drawn at it, which is text.
    if (Has() && *m_p != ';' && *m_p != Esc) {
        ++m_p;
        ++m_stats.labels;
    }
    SkipTerminator();
}

void HpglReader::PenPairs() {
    double x = 0, y = 0;
    while (Number(x)) {
        if (!Number(y)) break;  // an odd parameter is ignored
        Plot(x, y, m_bRelative, m_bPenDown);
    }
    SkipTerminator();
    m_labelPen.SetReturnPoint(m_sink.X(), m_sink.Y());
}

void HpglReader::Plot(double x, double y, bool relative, bool down) {
    double px, py;
    if (relative) {
        px = m_sink.X() + m_scaling.FactorX() * x;
        py = m_sink.Y() + m_scaling.FactorY() * y;
    } else {
        m_scaling.ToPlotter(x, y, px, py);
    }
    if (down)
        CutTo(px, py);
    else
        TravelTo(px, py);
}

void HpglReader::CutTo(double px, double py) {
    if (m_lineType.Solid()) {
        ClipCut(px, py);
        return;
    }
    const double x0 = m_sink.X(), y0 = m_sink.Y(), dx = px - x0, dy = py - y0, length = std::hypot(dx, dy);
    if (!std::isfinite(length)) {
        ClipCut(px, py);
        return;
    }
    const double ux = length > 0 ? dx / length : 1, uy = length > 0 ? dy / length : 0;
    double at = 0;  // how far along the segment the knife is
    m_lineType.Walk(length, [&](double from, double to) {
        if (from != at) m_sink.SetPoint(x0 + ux * from, y0 + uy * from);
        if (to > from) {
            ClipCut(x0 + ux * to, y0 + uy * to);
            at = to;
        } else {
            // A dot becomes the shortest cut, one unit along the line.
            ClipCut(x0 + ux * (from + 1), y0 + uy * (from + 1));
            at = -1;
        }
    });
    if (at != length) m_sink.SetPoint(px, py);
}

void HpglReader::ClipCut(double px, double py) {
    m_bDrawn = true;
    if (!m_bWindow) {
        m_sink.LineTo(px, py);
        return;
    }
    // Liang-Barsky: the part of the segment inside the window is cut, the rest travelled.
    const double x0 = m_sink.X(), y0 = m_sink.Y(), dx = px - x0, dy = py - y0;
    double t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - m_dWindow[0], m_dWindow[2] - x0, y0 - m_dWindow[1], m_dWindow[3] - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) t0 = 2;  // parallel to this edge and outside it
            continue;
        }
        double t = q[i] / p[i];
        if (p[i] < 0) t0 = std::fmax(t0, t);
        else t1 = std::fmin(t1, t);
    }
    if (!(t0 <= t1)) {
        m_sink.SetPoint(px, py);
        return;
    }
    if (t0 > 0) m_sink.SetPoint(x0 + t0 * dx, y0 + t0 * dy);
    m_sink.LineTo(x0 + t1 * dx, y0 + t1 * dy);
    if (t1 < 1) m_sink.SetPoint(px, py);
}

void HpglReader::TravelTo(double px, double py) {
    m_lineType.Restart();
    // Outside the window the move is made only when a cut needs it.
    if (m_bWindow && !(px >= m_dWindow[0] && px <= m_dWindow[2] && py >= m_dWindow[1] && py <= m_dWindow[3]))
        m_sink.SetPoint(px, py);
    else
        m_sink.MoveTo(px, py);
}

void HpglReader::InputWindow() {
    double v[4];
    int n = 0;
    while (n < 4 && Number(v[n])) ++n;
    SkipParameters();
    if (n == 0 && m_bPlotSizeWindow) {
        // IW alone opens the window to the whole plot; its size is known only from a PS
        // before the drawing (otherwise it is the cutter's material, and nothing is clipped). RO 90 and 270
        // turn the plot, so its length runs along y.
        const bool turned = m_nRotation == 90 || m_nRotation == 270;
        m_bWindow = true;
        m_dWindow[0] = 0, m_dWindow[1] = 0;
        m_dWindow[2] = turned ? m_scaling.PlotWidth() : m_scaling.PlotLength();
        m_dWindow[3] = turned ? m_scaling.PlotLength() : m_scaling.PlotWidth();
        return;
    }
    m_bWindow = n == 4;
    if (!m_bWindow) return;
    double x0, y0, x1, y1;
    m_scaling.ToPlotter(v[0], v[1], x0, y0);
    m_scaling.ToPlotter(v[2], v[3], x1, y1);
    m_dWindow[0] = std::fmin(x0, x1), m_dWindow[1] = std::fmin(y0, y1);
    m_dWindow[2] = std::fmax(x0, x1), m_dWindow[3] = std::fmax(y0, y1);
}

void HpglReader::Initialize(bool reset) {
    m_bRelative = false;
    m_bWindow = false;
    m_cTerminator = '\x03';
    m_bPrintTerminator = false;
    m_lineType.Select(nullptr, 0, 0);
    m_bChordDistance = false;
    m_labelPen.Reset();
    if (reset) {
        m_lineType.Reset();
        m_bPenDown = false;
        m_scaling.Reset();
        m_nRotation = 0;
        m_sink.SetRotation(0);
        m_sink.SetPoint(0, 0);
        m_labelPen.SetReturnPoint(0, 0);
    } else {
        m_scaling.Off();
    }
}

int HpglReader::Numbers(double* values, int most) {
    int n = 0;
    while (n < most && Number(values[n])) ++n;
    SkipParameters();
    return n;
}

void HpglReader::Rotate() {
    double angle = 0;
    Number(angle);
    SkipParameters();
    m_nRotation = angle == 90 || angle == 180 || angle == 270 ? static_cast<int>(angle) : 0;
    m_sink.SetRotation(m_nRotation);
}

double HpglReader::ChordStep(double value, double radius) const {
    // A chord angle in degrees (CT0), limited to 0.5 to 180 as a plotter limits it, or
    // with CT1 the largest distance of a chord from the curve, in user units.
    if (!std::isfinite(value)) return 0;
    double degrees;
    if (m_bChordDistance) {
        double r = std::fabs(radius), d = std::fabs(value);
        degrees = d >= r || r == 0 ? 180 : 2 * std::acos(1 - d / r) * 180 / Pi;
    } else {
        degrees = std::fabs(value);
    }
    return std::fmax(0.5, std::fmin(180.0, degrees)) * Pi / 180;
}

void HpglReader::ArcPoints(double cx, double cy, double radius, double start, double sweep, bool down, double chordStep) {
    // cx, cy, radius in user units; angles in radians. Points are mapped one by one, so a
    // scaling with different x and y factors draws the ellipse the plotter would draw.
    int n = MaxChords;
    if (chordStep > 0) {
        // The file's own chord angle: equal chords and a shorter last one, as the plotter draws them.
        double needed = std::ceil(std::fabs(sweep) / chordStep - 1e-9);
        if (needed < MaxChords) n = static_cast<int>(needed);
    } else {
        double plotterRadius =
            std::fabs(radius) * std::fmax(std::fabs(m_scaling.FactorX()), std::fabs(m_scaling.FactorY()));
        if (plotterRadius > ChordTolerance) {
            double step = 2 * std::acos(1 - ChordTolerance / plotterRadius);
            double needed = std::ceil(std::fabs(sweep) / step);
            if (needed < MaxChords) n = static_cast<int>(needed);
        } else {
            n = 1;
        }
        int quarters = static_cast<int>(std::ceil(std::fabs(sweep) / (Pi / 2)));
        if (n < quarters) n = quarters;
        chordStep = std::fabs(sweep) / (n < 1 ? 1 : n);
    }
    if (n < 1) n = 1;
    const double direction = sweep < 0 ? -1 : 1;
    for (int i = 1; i <= n; ++i) {
        double a = i == n ? start + sweep : start + direction * chordStep * i;
        double px, py;
        m_scaling.ToPlotter(cx + radius * std::cos(a), cy + radius * std::sin(a), px, py);
        if (down)
            CutTo(px, py);
        else if (i == n)
            TravelTo(px, py);
    }
}

void HpglReader::Circle() {
    double radius = 0, chord = 0;
    bool has = Number(radius);
    bool hasChord = has && Number(chord);
    SkipParameters();
    if (!has || !std::isfinite(radius)) return;
    double cx = m_sink.X(), cy = m_sink.Y();
    double ucx, ucy;
    m_scaling.ToUser(cx, cy, ucx, ucy);
    double sx, sy;
    m_scaling.ToPlotter(ucx + radius, ucy, sx, sy);
    TravelTo(sx, sy);
    ArcPoints(ucx, ucy, radius, 0, 2 * Pi, true, hasChord ? ChordStep(chord, radius) : 0);
    m_sink.SetPoint(cx, cy);
}

void HpglReader::Arc(bool relative) {
    double xc = 0, yc = 0, sweep = 0, chord = 0;
    bool ok = Number(xc) && Number(yc) && Number(sweep);
    bool hasChord = ok && Number(chord);
    SkipParameters();
    if (!ok) return;
    double ux, uy;
    m_scaling.ToUser(m_sink.X(), m_sink.Y(), ux, uy);
    if (relative) xc += ux, yc += uy;
    double radius = std::hypot(ux - xc, uy - yc);
    if (!std::isfinite(radius) || radius == 0 || !std::isfinite(sweep)) return;
    sweep = std::fmax(-360.0, std::fmin(360.0, sweep));
    ArcPoints(xc, yc, radius, std::atan2(uy - yc, ux - xc), sweep * Pi / 180, m_bPenDown,
              hasChord ? ChordStep(chord, radius) : 0);
}

void HpglReader::ThreePointArc(bool relative) {
    double xi = 0, yi = 0, xe = 0, ye = 0, chord = 0;
    bool ok = Number(xi) && Number(yi) && Number(xe) && Number(ye);
    bool hasChord = ok && Number(chord);
    SkipParameters();
    if (!ok) return;
    double x0, y0;
    m_scaling.ToUser(m_sink.X(), m_sink.Y(), x0, y0);
    if (relative) xi += x0, yi += y0, xe += x0, ye += y0;
    double d = 2 * (x0 * (yi - ye) + xi * (ye - y0) + xe * (y0 - yi));
    double s0 = x0 * x0 + y0 * y0, si = xi * xi + yi * yi, se = xe * xe + ye * ye;
    double cx = (s0 * (yi - ye) + si * (ye - y0) + se * (y0 - yi)) / d;
    double cy = (s0 * (xe - xi) + si * (x0 - xe) + se * (xi - x0)) / d;
    double radius = std::hypot(x0 - cx, y0 - cy);
    if (d == 0 || !std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(radius)) {
        Plot(xe, ye, false, m_bPenDown);  // the three points lie on a line
        return;
    }
    double a0 = std::atan2(y0 - cy, x0 - cx);
    auto ccw = [a0](double a) {
        double s = std::fmod(a - a0, 2 * Pi);
        return s < 0 ? s + 2 * Pi : s;
    };
    double toEnd = ccw(std::atan2(ye - cy, xe - cx));
    double toMid = ccw(std::atan2(yi - cy, xi - cx));
    double sweep = toEnd == 0 ? 2 * Pi : (toMid < toEnd ? toEnd : toEnd - 2 * Pi);
    ArcPoints(cx, cy, radius, a0, sweep, m_bPenDown, hasChord ? ChordStep(chord, radius) : 0);
}

void HpglReader::Rectangle(bool relative) {
    double x = 0, y = 0;
    bool ok = Number(x) && Number(y);
    SkipParameters();
    if (!ok) return;
    double x0 = m_sink.X(), y0 = m_sink.Y(), x1, y1;
    if (relative)
        x1 = x0 + m_scaling.FactorX() * x, y1 = y0 + m_scaling.FactorY() * y;
    else
        m_scaling.ToPlotter(x, y, x1, y1);
    CutTo(x1, y0);
    CutTo(x1, y1);
    CutTo(x0, y1);
    CutTo(x0, y0);
}

void HpglReader::EdgeWedge() {
    double radius = 0, start = 0, sweep = 0, chord = 0;
    bool ok = Number(radius) && Number(start) && Number(sweep);
    bool hasChord = ok && Number(chord);
    SkipParameters();
    if (!ok || !std::isfinite(radius) || !std::isfinite(start) || !std::isfinite(sweep)) return;
    double cx = m_sink.X(), cy = m_sink.Y(), ucx, ucy;
    m_scaling.ToUser(cx, cy, ucx, ucy);
    sweep = std::fmax(-360.0, std::fmin(360.0, sweep));
    double a0 = std::fmod(start, 360.0) * Pi / 180;
    double px, py;
    m_scaling.ToPlotter(ucx + radius * std::cos(a0), ucy + radius * std::sin(a0), px, py);
    CutTo(px, py);
    ArcPoints(ucx, ucy, radius, a0, sweep * Pi / 180, true, hasChord ? ChordStep(chord, radius) : 0);
    CutTo(cx, cy);
}

bool HpglReader::EncodedNumber(bool sevenBit, double& value) {
    // Base-64 (or base-32) digits, least significant first; the last digit comes from
    // the terminator range. Bit 0 of the result is the sign.
    std::uint64_t magnitude = 0, weight = 1;
    const unsigned base = sevenBit ? 32 : 64;
    while (Has()) {
        unsigned c = static_cast<unsigned char>(*m_p);
        if (c == ';' || c == Esc) return false;
        ++m_p;
        unsigned digit;
        bool last;
        if (sevenBit && c >= 63 && c <= 126)
            last = c >= 95, digit = last ? c - 95 : c - 63;
        else if (!sevenBit && c >= 63 && c <= 126)
            last = false, digit = c - 63;
        else if (!sevenBit && c >= 191 && c <= 254)
            last = true, digit = c - 191;
        else
            continue;  // bytes outside the digit ranges are ignored
        if (weight <= (std::uint64_t{1} << 56)) magnitude += digit * weight, weight *= base;
        if (last) {
            double v = static_cast<double>(magnitude >> 1);
            value = (magnitude & 1) ? -v : v;
            return true;
        }
    }
    return false;
}

void HpglReader::Encoded() {
    bool sevenBit = false, penUp = false, absolute = false;
    double fractionScale = 1;
    while (Has() && *m_p != ';' && *m_p != Esc) {
        unsigned c = static_cast<unsigned char>(*m_p);
        double value = 0, x = 0, y = 0;
        if (c == ':') {
            ++m_p;
            if (EncodedNumber(sevenBit, value)) m_sink.SelectPen(value);
        } else if (c == '<') {
            ++m_p, penUp = true;
        } else if (c == '>') {
            ++m_p;
            if (EncodedNumber(sevenBit, value)) fractionScale = std::ldexp(1.0, -static_cast<int>(std::fmin(std::fabs(value), 60)));
        } else if (c == '=') {
            ++m_p, absolute = true;
        } else if (c == '7') {
            ++m_p, sevenBit = true;
        } else if (c >= 63 && c != 127) {
            if (!EncodedNumber(sevenBit, x) || !EncodedNumber(sevenBit, y)) break;
            Plot(x * fractionScale, y * fractionScale, !absolute, !penUp);
            penUp = absolute = false;
        } else {
            ++m_p;
        }
    }
    if (Has() && *m_p == ';') ++m_p;
}

}  // namespace velkar
