#pragma once
// How each map category looks: colours, widths, the zoom from which it is
// drawn and labelled, and the legend that explains it.

#include "map/MapFeature.h"

#include <array>
#include <cstddef>

namespace pathlark {

struct CategoryStyle {
    bool area = false;
    // Below this zoom the category is skipped before any projection.
    double minZoom = 0.0;
    // Line colour (alpha set per feature) or area fill with its alpha.
    double red = 0.0, green = 0.0, blue = 0.0, alpha = 1.0;
    double baseWidth = 0.0; // lines only, pixels at zoom 1
    bool dashed = false;    // lines only
    // Labels: negative label zoom means the category is never labelled.
    double labelMinZoom = -1.0;
    int labelPriority = 0; // lower numbers win collisions
};

// Styles of categories outside the known range are those of None: never drawn.
const CategoryStyle& categoryStyle(MapCategory category);

// Line widths grow slowly with the zoom: pow(zoom, 0.18) within 0.72 .. 1.65.
double widthFactor(double zoom);
// Label size grows even slower: pow(zoom, 0.1) within 0.9 .. 1.2.
double labelScale(double zoom);

struct LegendEntry {
    const char* messageId; // English text, translated when drawn
    double red, green, blue;
};

inline constexpr std::size_t kLegendEntryCount = 10;
const std::array<LegendEntry, kLegendEntryCount>& legendEntries();

} // namespace pathlark
