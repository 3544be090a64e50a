#pragma once
// Paths and their fills and strokes written down for a MapRaster to draw
// later: features are turned into paths on several threads at once, and the
// layer's bands then draw all of them in the same order.

#include "view/MapRaster.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace pathlark {

class MapPathList {
public:
    // Keeps the memory for the next layer.
    void clear();

    void newPath();
    void moveTo(double x, double y);
    void lineTo(double x, double y);
    void closePath();
    void fill(FillRule rule, RasterColor color);
    // The style's dashes must outlive the list.
    void stroke(const StrokeStyle& style, RasterColor color);

    // Makes the same calls on `raster`, in the same order.
    void replay(MapRaster& raster) const;

private:
    enum class Step : std::uint8_t { NewPath, MoveTo, LineTo, ClosePath, Fill, Stroke };
    struct Paint {
        FillRule rule = FillRule::NonZero;
        StrokeStyle style;
        RasterColor color;
    };

    // Where each path starts, and the rows it may touch: a band skips the
    // paths that miss it without copying their points.
    struct PathStart {
        std::size_t step = 0;
        std::size_t coordinate = 0;
        std::size_t paint = 0;
        double minY = HUGE_VAL;
        double maxY = -HUGE_VAL;
        double reach = 0.0;
    };
    void extend(double y);

    std::vector<Step> m_steps;
    std::vector<PathStart> m_paths;
    std::vector<double> m_coordinates; // x, y for every MoveTo and LineTo
    std::vector<Paint> m_paints;       // one for every Fill and Stroke
};

} // namespace pathlark
