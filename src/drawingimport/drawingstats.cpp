#include "drawingimport/drawingstats.h"

#include <cstdio>

namespace velkar {

std::vector<std::string> DescribeDrawing(const DrawingStats& stats) {
    std::vector<std::string> lines;
    for (int k = 0; k < 8; ++k) {
        const KnifeUse& use = stats.knives[k];
        if (use.paths == 0) continue;
        std::string sources;
        for (const std::string& s : use.sources) sources += (sources.empty() ? "" : " ") + s;
        char figures[96];
        std::snprintf(figures, sizeof figures, "%lld paths, %.3f m", static_cast<long long>(use.paths),
                      use.lengthMm / 1000);
        lines.push_back("knife " + std::to_string(k + 1) + ": " + (sources.empty() ? "" : sources + ", ") + figures);
    }
    if (stats.coloursBeyondEight > 0)
        lines.push_back("colours beyond the eighth cut with knife 8: " + std::to_string(stats.coloursBeyondEight));
    if (stats.images > 0 || stats.filters > 0)
        lines.push_back("not cut: " + std::to_string(stats.images) + " raster images, " +
                        std::to_string(stats.filters) + " filters");
    return lines;
}

}  // namespace velkar
