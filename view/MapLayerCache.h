#pragma once
// The map layer drawn once and reused: an image three times the panel's size
// in each direction, so panning by up to most of a panel only shifts it.

#include "map/MapFeature.h"
#include "view/MapFeatureIndex.h"
#include "view/MapPathList.h"
#include "view/MapRaster.h"

#include <cairo.h>

#include <cstdint>
#include <limits>
#include <vector>

class Track;

namespace pathlark {

// What a layer was drawn for. Everything but the pan must match exactly for
// the layer to be reused.
struct MapLayerKey {
    const Track* track = nullptr; // identity only, never dereferenced
    int width = 0;
    int height = 0;
    int angleX = 0;
    int angleY = 0;
    int angleZ = 0;
    std::uint64_t mapRevision = std::numeric_limits<std::uint64_t>::max(); // no map drawn yet
    double zoom = 0.0;
    double headingAngle = 0.0;
    double panX = 0.0;
    double panY = 0.0;
};

class MapLayerCache {
public:
    MapLayerCache() = default;
    ~MapLayerCache();
    MapLayerCache(const MapLayerCache&) = delete;
    MapLayerCache& operator=(const MapLayerCache&) = delete;

    // Drops the layer; the next frame draws it anew.
    void clear();

    cairo_surface_t* surface = nullptr; // owned, ARGB32 3W x 3H; its origin lies at panel (-W, -H)
    // The last layer dropped, owned, kept to draw the next one into: a fresh
    // ten-megabyte image costs more in page faults than clearing this one.
    cairo_surface_t* spare = nullptr;
    MapLayerKey key;
    std::uint64_t rebuilds = 0; // how many layers were drawn, for tests and the benchmark

    // Kept while the map stays the same: sorting and bounding 30,000 features
    // would be a good part of a rebuild.
    MapFeatureIndex index;
    // How many threads draw a layer: 0 for one a core, at most four. Any
    // number draws the same picture.
    int threads = 0;
    // Kept between rebuilds: the rasterizer's working memory for each band
    // of rows, and the paths each thread records for the bands to draw.
    std::vector<RasterBuffers> bands;
    std::vector<MapPathList> recorded;
};

// True when the cached layer can be shifted into place instead of redrawn:
// same key and a pan within 0.8 of the panel size from the cached one.
bool canReuseLayer(const MapLayerCache& cache, const MapLayerKey& wanted);

} // namespace pathlark
