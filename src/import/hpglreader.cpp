#include "import/hpglreader.h"

#include <cmath>
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
        Code("LT"), Code("PW"), Code("VS"), Code("PT"), Code("SI"), Code("SR"), Code("DI"), Code("DR"), Code("CS"),
        Code("CA"), Code("SS"), Code("SA"), Code("SL"), Code("ES"), Code("LO"), Code("TD"), Code("FT"), Code("UL"),
        Code("LA"), Code("MC"), Code("TR"), Code("NP"), Code("PC"), Code("CR"), Code("WU"), Code("IW"), Code("CT"),
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

void HpglReader::Read(const char* begin, const char* end) {
    m_p = begin;
    m_end = end;
    while (m_p < m_end) {
        char c = *m_p;
        if (c == Esc) {
            m_p = SkipEscapeSequence(m_p, m_end, m_bPcl);
            continue;
        }
        if (m_bPcl) {
            const void* next = std::memchr(m_p, Esc, static_cast<std::size_t>(m_end - m_p));
            m_p = next ? static_cast<const char*>(next) : m_end;
            continue;
        }
        if (c == '#') {
            const void* nl = std::memchr(m_p, '\n', static_cast<std::size_t>(m_end - m_p));
            m_p = nl ? static_cast<const char*>(nl) + 1 : m_end;
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
        case Code("IP"): InputP1P2(); break;
        case Code("IR"): InputRelative(); break;
        case Code("PS"): PlotSize(); break;
        case Code("SC"): Scale(); break;
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
        case Code("LB"): case Code("BL"): SkipText(true); break;
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
    while (m_p < m_end && (*m_p == ',' || *m_p == ' ' || *m_p == '\t' || *m_p == '\r' || *m_p == '\n')) ++m_p;
    if (m_p >= m_end || !StartsPlotNumber(*m_p)) return false;
    value = ParsePlotNumber(m_p, m_end);
    return true;
}

void HpglReader::SkipParameters() {
    while (m_p < m_end) {
        char c = *m_p;
        if (c == ';') {
            ++m_p;
            return;
        }
        if (IsLetter(c) || c == Esc) return;
        if (c == '"') {
            const void* q = std::memchr(m_p + 1, '"', static_cast<std::size_t>(m_end - m_p - 1));
            m_p = q ? static_cast<const char*>(q) + 1 : m_end;
            continue;
        }
        ++m_p;
    }
}

void HpglReader::SkipTerminator() {
    while (m_p < m_end && (*m_p == ' ' || *m_p == ',' || *m_p == '\t')) ++m_p;
    if (m_p < m_end && *m_p == ';') ++m_p;
}

void HpglReader::SkipText(bool count) {
    if (count) ++m_stats.labels;
    const void* t = std::memchr(m_p, m_cTerminator, static_cast<std::size_t>(m_end - m_p));
    m_p = t ? static_cast<const char*>(t) + 1 : m_end;
    SkipTerminator();
}

void HpglReader::DefineTerminator() {
    // DT t[,mode]: the character right after DT; a bare DT restores ETX.
    if (m_p < m_end && *m_p != ';') {
        m_cTerminator = *m_p++;
        SkipParameters();
    } else {
        m_cTerminator = '\x03';
        SkipTerminator();
    }
}

void HpglReader::Comment() {
    // CO "text" in HP-GL/2; some programs leave out the quotes, so an open text runs to ';'.
    while (m_p < m_end && *m_p == ' ') ++m_p;
    if (m_p < m_end && *m_p == '"') {
        SkipParameters();
        return;
    }
    const void* t = std::memchr(m_p, ';', static_cast<std::size_t>(m_end - m_p));
    m_p = t ? static_cast<const char*>(t) + 1 : m_end;
}

void HpglReader::SymbolMode() {
    // SMc: every later point gets the symbol c drawn at it, which is text.
    if (m_p < m_end && *m_p != ';' && *m_p != Esc) {
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
}

void HpglReader::Plot(double x, double y, bool relative, bool down) {
    double px, py;
    if (relative) {
        px = m_sink.X() + m_dSX * x;
        py = m_sink.Y() + m_dSY * y;
    } else {
        ToPlotter(x, y, px, py);
    }
    if (down)
        m_sink.LineTo(px, py);
    else
        m_sink.MoveTo(px, py);
}

void HpglReader::ToPlotter(double ux, double uy, double& px, double& py) const {
    px = m_dOX + m_dSX * ux;
    py = m_dOY + m_dSY * uy;
}

void HpglReader::ToUser(double px, double py, double& ux, double& uy) const {
    ux = (px - m_dOX) / m_dSX;
    uy = (py - m_dOY) / m_dSY;
}

void HpglReader::Initialize(bool reset) {
    m_bRelative = false;
    m_nScaleType = -1;
    m_cTerminator = '\x03';
    if (reset) {
        m_bPenDown = false;
        m_dP1X = 0, m_dP1Y = 0, m_dP2X = m_dSizeX, m_dP2Y = m_dSizeY;
        m_sink.SetRotation(0);
        m_sink.SetPoint(0, 0);
    }
    UpdateScaling();
}

void HpglReader::InputP1P2() {
    double v[4];
    int n = 0;
    while (n < 4 && Number(v[n])) ++n;
    SkipParameters();
    if (n == 0) {
        m_dP1X = 0, m_dP1Y = 0, m_dP2X = m_dSizeX, m_dP2Y = m_dSizeY;
    } else if (n >= 2) {
        double dx = m_dP2X - m_dP1X, dy = m_dP2Y - m_dP1Y;
        m_dP1X = v[0], m_dP1Y = v[1];
        if (n == 4)
            m_dP2X = v[2], m_dP2Y = v[3];
        else
            m_dP2X = v[0] + dx, m_dP2Y = v[1] + dy;
    }
    m_nScaleType = -1;
    UpdateScaling();
}

void HpglReader::InputRelative() {
    double v[4];
    int n = 0;
    while (n < 4 && Number(v[n])) ++n;
    SkipParameters();
    if (n == 0) {
        m_dP1X = 0, m_dP1Y = 0, m_dP2X = m_dSizeX, m_dP2Y = m_dSizeY;
    } else if (n >= 2) {
        double dx = m_dP2X - m_dP1X, dy = m_dP2Y - m_dP1Y;
        m_dP1X = m_dSizeX * v[0] / 100, m_dP1Y = m_dSizeY * v[1] / 100;
        if (n == 4)
            m_dP2X = m_dSizeX * v[2] / 100, m_dP2Y = m_dSizeY * v[3] / 100;
        else
            m_dP2X = m_dP1X + dx, m_dP2Y = m_dP1Y + dy;
    }
    m_nScaleType = -1;
    UpdateScaling();
}

void HpglReader::PlotSize() {
    double v[2];
    int n = 0;
    while (n < 2 && Number(v[n])) ++n;
    SkipParameters();
    if (n >= 1 && v[0] > 0 && v[0] < PlotJobSink::MaxCoordinate) m_dSizeX = v[0];
    if (n >= 2 && v[1] > 0 && v[1] < PlotJobSink::MaxCoordinate) m_dSizeY = v[1];
    m_dP1X = 0, m_dP1Y = 0, m_dP2X = m_dSizeX, m_dP2Y = m_dSizeY;
    UpdateScaling();
}

void HpglReader::Scale() {
    double v[7];
    int n = 0;
    while (n < 7 && Number(v[n])) ++n;
    SkipParameters();
    if (n < 4) {
        m_nScaleType = -1;
    } else {
        for (int i = 0; i < 4; ++i) m_dScale[i] = v[i];
        m_nScaleType = n >= 5 && (v[4] == 1 || v[4] == 2) ? static_cast<int>(v[4]) : 0;
        m_dLeft = n >= 6 ? v[5] : 50;
        m_dBottom = n >= 7 ? v[6] : 50;
    }
    UpdateScaling();
}

void HpglReader::UpdateScaling() {
    double sx = 1, sy = 1, ox = 0, oy = 0;
    if (m_nScaleType >= 0) {
        double xmin = m_dScale[0], xmax = m_dScale[1], ymin = m_dScale[2], ymax = m_dScale[3];
        double width = m_dP2X - m_dP1X, height = m_dP2Y - m_dP1Y;
        if (m_nScaleType == 2) {
            sx = xmax, sy = ymax;
        } else {
            sx = width / (xmax - xmin);
            sy = height / (ymax - ymin);
            if (m_nScaleType == 1) {
                double s = std::fmin(std::fabs(sx), std::fabs(sy));
                sx = std::copysign(s, sx), sy = std::copysign(s, sy);
            }
        }
        ox = m_dP1X - xmin * sx;
        oy = m_dP1Y - ymin * sy;
        if (m_nScaleType == 1) {
            ox += (width - sx * (xmax - xmin)) * m_dLeft / 100;
            oy += (height - sy * (ymax - ymin)) * m_dBottom / 100;
        }
        // A degenerate scaling (empty range, zero factor) is ignored rather than drawn to infinity.
        if (!(std::isfinite(sx) && std::isfinite(sy) && std::isfinite(ox) && std::isfinite(oy) && sx != 0 && sy != 0))
            sx = 1, sy = 1, ox = 0, oy = 0;
    }
    m_dSX = sx, m_dSY = sy, m_dOX = ox, m_dOY = oy;
}

void HpglReader::Rotate() {
    double angle = 0;
    Number(angle);
    SkipParameters();
    m_sink.SetRotation(angle == 90 || angle == 180 || angle == 270 ? static_cast<int>(angle) : 0);
}

void HpglReader::ArcPoints(double cx, double cy, double radius, double start, double sweep, bool down) {
    // cx, cy, radius in user units; angles in radians. Points are mapped one by one, so a
    // scaling with different x and y factors draws the ellipse the plotter would draw.
    double plotterRadius = std::fabs(radius) * std::fmax(std::fabs(m_dSX), std::fabs(m_dSY));
    int n = MaxChords;
    if (plotterRadius > ChordTolerance) {
        double step = 2 * std::acos(1 - ChordTolerance / plotterRadius);
        double needed = std::ceil(std::fabs(sweep) / step);
        if (needed < MaxChords) n = static_cast<int>(needed);
    } else {
        n = 1;
    }
    int quarters = static_cast<int>(std::ceil(std::fabs(sweep) / (Pi / 2)));
    if (n < quarters) n = quarters;
    if (n < 1) n = 1;
    for (int i = 1; i <= n; ++i) {
        double a = start + sweep * i / n;
        double px, py;
        ToPlotter(cx + radius * std::cos(a), cy + radius * std::sin(a), px, py);
        if (down)
            m_sink.LineTo(px, py);
        else if (i == n)
            m_sink.MoveTo(px, py);
    }
}

void HpglReader::Circle() {
    double radius = 0;
    bool has = Number(radius);
    SkipParameters();
    if (!has || !std::isfinite(radius)) return;
    double cx = m_sink.X(), cy = m_sink.Y();
    double ucx, ucy;
    ToUser(cx, cy, ucx, ucy);
    double sx, sy;
    ToPlotter(ucx + radius, ucy, sx, sy);
    m_sink.MoveTo(sx, sy);
    ArcPoints(ucx, ucy, radius, 0, 2 * Pi, true);
    m_sink.SetPoint(cx, cy);
}

void HpglReader::Arc(bool relative) {
    double xc = 0, yc = 0, sweep = 0;
    bool ok = Number(xc) && Number(yc) && Number(sweep);
    SkipParameters();
    if (!ok) return;
    double ux, uy;
    ToUser(m_sink.X(), m_sink.Y(), ux, uy);
    if (relative) xc += ux, yc += uy;
    double radius = std::hypot(ux - xc, uy - yc);
    if (!std::isfinite(radius) || radius == 0 || !std::isfinite(sweep)) return;
    sweep = std::fmax(-360.0, std::fmin(360.0, sweep));
    ArcPoints(xc, yc, radius, std::atan2(uy - yc, ux - xc), sweep * Pi / 180, m_bPenDown);
}

void HpglReader::ThreePointArc(bool relative) {
    double xi = 0, yi = 0, xe = 0, ye = 0;
    bool ok = Number(xi) && Number(yi) && Number(xe) && Number(ye);
    SkipParameters();
    if (!ok) return;
    double x0, y0;
    ToUser(m_sink.X(), m_sink.Y(), x0, y0);
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
    ArcPoints(cx, cy, radius, a0, sweep, m_bPenDown);
}

void HpglReader::Rectangle(bool relative) {
    double x = 0, y = 0;
    bool ok = Number(x) && Number(y);
    SkipParameters();
    if (!ok) return;
    double x0 = m_sink.X(), y0 = m_sink.Y(), x1, y1;
    if (relative)
        x1 = x0 + m_dSX * x, y1 = y0 + m_dSY * y;
    else
        ToPlotter(x, y, x1, y1);
    m_sink.LineTo(x1, y0);
    m_sink.LineTo(x1, y1);
    m_sink.LineTo(x0, y1);
    m_sink.LineTo(x0, y0);
}

void HpglReader::EdgeWedge() {
    double radius = 0, start = 0, sweep = 0;
    bool ok = Number(radius) && Number(start) && Number(sweep);
    SkipParameters();
    if (!ok || !std::isfinite(radius) || !std::isfinite(start) || !std::isfinite(sweep)) return;
    double cx = m_sink.X(), cy = m_sink.Y(), ucx, ucy;
    ToUser(cx, cy, ucx, ucy);
    sweep = std::fmax(-360.0, std::fmin(360.0, sweep));
    double a0 = std::fmod(start, 360.0) * Pi / 180;
    double px, py;
    ToPlotter(ucx + radius * std::cos(a0), ucy + radius * std::sin(a0), px, py);
    m_sink.LineTo(px, py);
    ArcPoints(ucx, ucy, radius, a0, sweep * Pi / 180, true);
    m_sink.LineTo(cx, cy);
}

bool HpglReader::EncodedNumber(bool sevenBit, double& value) {
    // Base-64 (or base-32) digits, least significant first; the last digit comes from
    // the terminator range. Bit 0 of the result is the sign.
    std::uint64_t magnitude = 0, weight = 1;
    const unsigned base = sevenBit ? 32 : 64;
    while (m_p < m_end) {
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
    while (m_p < m_end && *m_p != ';' && *m_p != Esc) {
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
    if (m_p < m_end && *m_p == ';') ++m_p;
}

}  // namespace velkar
