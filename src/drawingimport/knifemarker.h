#pragma once

namespace velkar {

// A layer that names its knife ("Knife 3", "Pen 3") is bracketed, before the
// drawing is rendered, by two tiny shapes painted in colours of their own: the
// recorder sees where the layer begins and ends in the painted order without
// knowing the document's structure, and cuts neither shape.
inline constexpr int KnifeMarkerRed = 0xf1;
inline constexpr int KnifeMarkerGreen = 0x7e;
inline constexpr int KnifeMarkerEndBlue = 0xa0;  // + knife (1 to 8) marks a layer's start

inline constexpr const char* KnifeMarkerElement =
    "<rect x=\"0\" y=\"0\" width=\"1\" height=\"1\" "
    "style=\"fill:#f17e%1;fill-opacity:1;stroke:none;opacity:1;display:inline;visibility:visible\"/>";

}  // namespace velkar
