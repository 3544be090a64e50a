#include "view/MapStyle.h"

#include "i18n/Translate.h"

#include <algorithm>
#include <cmath>

namespace pathlark {

namespace {

CategoryStyle line(double minZoom, double r, double g, double b, double width, bool dashed, double labelZoom = -1.0,
                   int priority = 0)
{
    return CategoryStyle{false, minZoom, r, g, b, 1.0, width, dashed, labelZoom, priority};
}

CategoryStyle area(double minZoom, double r, double g, double b, double a, double labelZoom = -1.0, int priority = 0)
{
    return CategoryStyle{true, minZoom, r, g, b, a, 0.0, false, labelZoom, priority};
}

// Indexed by the category's numeric value.
const std::array<CategoryStyle, 17> kStyles = {
    CategoryStyle{false, 1e300}, // None: never drawn
    line(0.05, 0.88, 0.43, 0.18, 4.2, false, 0.2, 0),  // Motorway
    line(0.05, 0.91, 0.62, 0.30, 3.5, false, 0.2, 1),  // PrimaryRoad
    line(0.2, 0.88, 0.76, 0.40, 3.0, false, 0.45, 3),  // SecondaryRoad
    line(0.35, 0.62, 0.61, 0.58, 2.2, false, 1.25, 6), // MinorRoad
    line(0.75, 0.58, 0.57, 0.54, 1.5, false),          // ServiceRoad
    line(0.5, 0.54, 0.42, 0.27, 1.2, true),            // Path
    line(0.2, 0.35, 0.36, 0.38, 2.0, true, 0.75, 4),   // Railway
    line(0.2, 0.20, 0.55, 0.78, 1.6, false, 0.45, 2),  // Waterway
    area(0.05, 0.48, 0.74, 0.89, 0.82, 0.45, 2),       // WaterArea
    line(0.2, 0.55, 0.43, 0.65, 1.2, true),            // Boundary
    area(0.05, 0.53, 0.73, 0.48, 0.48, 0.75, 5),       // Forest
    area(0.35, 0.73, 0.84, 0.55, 0.45, 1.25, 5),       // Grass
    area(0.05, 0.82, 0.80, 0.76, 0.40, 0.75, 5),       // ResidentialArea
    area(0.05, 0.72, 0.67, 0.64, 0.42, 0.75, 5),       // CommercialArea
    area(0.75, 0.70, 0.72, 0.74, 0.48, 1.25, 5),       // Parking
    area(1.25, 0.66, 0.58, 0.50, 0.52),                // Building
};

const std::array<LegendEntry, kLegendEntryCount> kLegend = {{
    {N_("Major road"), 0.88, 0.48, 0.20},
    {N_("Local road"), 0.66, 0.64, 0.60},
    {N_("Path"), 0.55, 0.43, 0.28},
    {N_("Railway"), 0.38, 0.39, 0.41},
    {N_("Water"), 0.25, 0.58, 0.78},
    {N_("Boundary"), 0.55, 0.43, 0.65},
    {N_("Forest"), 0.46, 0.67, 0.42},
    {N_("Grass / park"), 0.68, 0.80, 0.48},
    {N_("Built-up area"), 0.72, 0.67, 0.62},
    {N_("Building / parking"), 0.63, 0.58, 0.52},
}};

} // namespace

const CategoryStyle& categoryStyle(MapCategory category)
{
    auto index = static_cast<std::size_t>(category);
    return index < kStyles.size() ? kStyles[index] : kStyles[0];
}

double widthFactor(double zoom)
{
    return std::clamp(std::pow(zoom, 0.18), 0.72, 1.65);
}

double labelScale(double zoom)
{
    return std::clamp(std::pow(zoom, 0.1), 0.9, 1.2);
}

const std::array<LegendEntry, kLegendEntryCount>& legendEntries()
{
    return kLegend;
}

} // namespace pathlark
