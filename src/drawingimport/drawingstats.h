#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velkar {

// What one knife of an imported drawing cuts.
struct KnifeUse {
    // What chose the knife, in order of first appearance: colours as "#rrggbb",
    // "gradient" for shapes painted with a gradient or pattern, or the label of
    // the layer that names the knife ("layer Knife 2").
    std::vector<std::string> sources;
    std::int64_t paths = 0;  // cuts from a knife-down to the next lift
    double lengthMm = 0;     // their length
};

// What an imported drawing gave and what it left out, so that it can be told.
struct DrawingStats {
    KnifeUse knives[8];                   // knives 1 to 8
    std::int64_t coloursBeyondEight = 0;  // colours that had no knife of their own and went to knife 8
    std::int64_t images = 0;              // raster images, which a knife cannot cut
    std::int64_t filters = 0;             // shapes whose filter effect was left out (the shape itself is cut)
};

// One line per knife used ("knife 1: #000000, 12 paths, 1.234 m"), then
// "colours beyond the eighth cut with knife 8: N" and "not cut: N raster
// images, M filters" when they apply.
std::vector<std::string> DescribeDrawing(const DrawingStats& stats);

}  // namespace velkar
