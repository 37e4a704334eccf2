#include "drawingcompare.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "import/standardplotreader.h"
#include "testsupport.h"

namespace velkar::test {

std::vector<Stroke> JobStrokes(const std::vector<JobRecord>& records) {
    std::vector<Stroke> strokes;
    double x = 0, y = 0;
    for (std::size_t i = 3; i < records.size(); ++i) {
        const JobRecord& r = records[i];
        if (r.code == RecLine) strokes.push_back({x, y, double(r.x), double(r.y)});
        if (r.code == RecLine || r.code == RecMove) x = r.x, y = r.y;
    }
    return strokes;
}

bool StandardPlotStrokes(const std::string& input, const std::string& job, std::vector<Stroke>& strokes,
                         std::string* error) {
    std::int32_t count = 0;
    StandardPlotStats stats;
    std::string why;
    if (ConvertStandardPlotFile(input, job, count, stats, error ? *error : why) != ConversionDone) return false;
    strokes = JobStrokes(ReadRecords(job));
    return true;
}

std::vector<Stroke> ReferenceStrokes(const std::string& text) {
    std::vector<Stroke> strokes;
    double x = 0, y = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t semi = text.find(';', pos);
        if (semi == std::string::npos) semi = text.size();
        std::string ins = text.substr(pos, semi - pos);
        pos = semi + 1;
        if (ins.size() < 2) continue;
        bool down = ins.compare(0, 2, "PD") == 0;
        if (!down && ins.compare(0, 2, "PU") != 0) continue;
        double nx, ny;
        if (std::sscanf(ins.c_str() + 2, "%lf,%lf", &nx, &ny) != 2) continue;
        if (down) strokes.push_back({x, y, nx, ny});
        x = nx, y = ny;
    }
    return strokes;
}

namespace {

struct Box {
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    void Add(double x, double y) {
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
};

Box BoxOf(const std::vector<Stroke>& strokes) {
    Box b;
    for (const Stroke& s : strokes) b.Add(s.x0, s.y0), b.Add(s.x1, s.y1);
    return b;
}

struct Grid {
    int w, h;
    std::vector<unsigned char> cells;
    Grid(int width, int height) : w(width), h(height), cells(std::size_t(width) * std::size_t(height)) {}
    void Set(int x, int y) {
        if (x >= 0 && y >= 0 && x < w && y < h) cells[std::size_t(y) * std::size_t(w) + std::size_t(x)] = 1;
    }
    bool Near(int x, int y) const {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                int cx = x + dx, cy = y + dy;
                if (cx >= 0 && cy >= 0 && cx < w && cy < h && cells[std::size_t(cy) * std::size_t(w) + std::size_t(cx)]) return true;
            }
        return false;
    }
};

void Rasterise(Grid& g, const std::vector<Stroke>& strokes, const Box& box, double cell) {
    for (const Stroke& s : strokes) {
        double x0 = (s.x0 - box.minX) / cell, y0 = (s.y0 - box.minY) / cell;
        double x1 = (s.x1 - box.minX) / cell, y1 = (s.y1 - box.minY) / cell;
        int steps = int(std::ceil(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0)) * 2)) + 1;
        for (int i = 0; i <= steps; ++i) {
            double t = double(i) / steps;
            g.Set(int(std::floor(x0 + (x1 - x0) * t)), int(std::floor(y0 + (y1 - y0) * t)));
        }
    }
}

double Covered(const Grid& a, const Grid& b) {
    std::size_t total = 0, near = 0;
    for (int y = 0; y < a.h; ++y)
        for (int x = 0; x < a.w; ++x)
            if (a.cells[std::size_t(y) * std::size_t(a.w) + std::size_t(x)]) {
                ++total;
                if (b.Near(x, y)) ++near;
            }
    return total ? double(near) / double(total) : 1.0;
}

}  // namespace

std::string DrawingMatch::Describe() const {
    char buf[160];
    std::snprintf(buf, sizeof buf, "ours covered %.2f%%, reference covered %.2f%%, width off %.2f%%, height off %.2f%%",
                  coveredOfOurs * 100, coveredOfReference * 100, widthError * 100, heightError * 100);
    return buf;
}

std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

DrawingMatch CompareDrawings(const std::vector<Stroke>& ours, const std::vector<Stroke>& reference) {
    DrawingMatch m;
    if (ours.empty() || reference.empty()) {
        m.coveredOfOurs = m.coveredOfReference = ours.empty() && reference.empty() ? 1 : 0;
        return m;
    }
    Box a = BoxOf(ours), b = BoxOf(reference);
    double side = std::max({b.maxX - b.minX, b.maxY - b.minY, 1e-9});
    m.widthError = std::fabs((a.maxX - a.minX) - (b.maxX - b.minX)) / side;
    m.heightError = std::fabs((a.maxY - a.minY) - (b.maxY - b.minY)) / side;
    double cell = side / 1000;
    int w = int(std::ceil(std::max(a.maxX - a.minX, b.maxX - b.minX) / cell)) + 2;
    int h = int(std::ceil(std::max(a.maxY - a.minY, b.maxY - b.minY) / cell)) + 2;
    w = std::min(w, 4000), h = std::min(h, 4000);
    Grid ga(w, h), gb(w, h);
    Rasterise(ga, ours, a, cell);
    Rasterise(gb, reference, b, cell);
    m.coveredOfOurs = Covered(ga, gb);
    m.coveredOfReference = Covered(gb, ga);
    return m;
}

}  // namespace velkar::test
