#pragma once
// The features of one map in draw order, with their geographic bounds filed
// in a grid and the features that can carry a name picked out, so that a
// layer rebuild only looks at what lies near the layer. Built once per map.

#include "map/MapFeature.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pathlark {

class MapProjection;

// A feature's geographic bounding box, for skipping what lies off the layer.
struct GeoBounds {
    double minLat = 0.0;
    double maxLat = 0.0;
    double minLon = 0.0;
    double maxLon = 0.0;
    bool finite = false;
};

// A rectangle in panel pixels.
struct ScreenBox {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
};

// A named feature of a labelled category, anchored at the mean of an area's
// points (the repeated closing point left out) or at a line's middle point.
struct LabelSource {
    std::size_t position = 0; // in draw order
    MapPoint anchor;
};

class MapFeatureIndex {
public:
    // Indexes `features` unless they are the map indexed last (same storage,
    // size and revision).
    void update(const std::vector<MapFeature>& features, std::uint64_t revision);

    const std::vector<const MapFeature*>& drawOrder() const { return m_order; }
    const std::vector<GeoBounds>& bounds() const { return m_bounds; } // parallel to drawOrder
    const std::vector<LabelSource>& labelSources() const { return m_labels; } // in draw order

    // Positions in draw order, ascending, of the features with finite bounds
    // whose projected bounding box meets `box`.
    std::vector<std::size_t> featuresTouching(const MapProjection& projection, const ScreenBox& box) const;

private:
    const MapFeature* m_data = nullptr;
    std::size_t m_count = 0;
    std::uint64_t m_revision = 0;
    bool m_built = false;

    std::vector<const MapFeature*> m_order;
    std::vector<GeoBounds> m_bounds;
    std::vector<LabelSource> m_labels;

    // A columns x rows grid over the bounds of all features; each cell lists
    // the features whose bounds meet it. Features spanning many cells (a
    // country border) are kept apart and always tested.
    GeoBounds m_extent;
    int m_columns = 0;
    int m_rows = 0;
    std::vector<std::uint32_t> m_cellStart; // m_columns * m_rows + 1 offsets into m_cellEntries
    std::vector<std::uint32_t> m_cellEntries;
    std::vector<std::uint32_t> m_large;
};

// True when the box around the projected corners of `bounds` meets `box`.
bool touches(const GeoBounds& bounds, const MapProjection& projection, const ScreenBox& box);

} // namespace pathlark
