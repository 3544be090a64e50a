#pragma once
// Paints one frame of the map panel with cairo: background and grid, the
// cached map layer with its labels, the legend, and over them the shown
// track with curtain, flags, dots, the A-B section and the cursor.

#include "map/MapFeature.h"
#include "view/MapLayerCache.h"
#include "view/MapProjection.h"
#include "view/MapRaster.h"

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

class Track;

namespace pathlark {

// Flag pictures, not owned; a null picture is simply not drawn.
struct FlagImages {
    cairo_surface_t* start = nullptr;
    cairo_surface_t* finish = nullptr;
    cairo_surface_t* markA = nullptr;
    cairo_surface_t* markB = nullptr;
};

// Everything one frame of the map panel reads.
struct MapScene {
    const Track* track = nullptr; // the shown track, or null
    ViewState view;               // its size is the panel's
    int cursorIndex = -1;
    int markerA = -1;
    int markerB = -1;
    bool freeCursor = false;
    double freeCursorLat = 0.0;
    double freeCursorLon = 0.0;
    bool showMap = true;
    bool showWaypoints = false;
    bool showDirectLine = false;
    const std::vector<MapFeature>* features = nullptr;
    std::uint64_t mapRevision = 0;
    FlagImages flags;
};

// Paints the whole map panel into `cr`, whose origin is the panel's top-left.
// The context's state is left as it was found.
void renderMapPanel(cairo_t* cr, const MapScene& scene, TrackExtent& extent, MapLayerCache& cache);

// The features the layer draws for this view, in draw order: those of a
// category shown at this zoom whose bounds touch the layer.
std::vector<const MapFeature*> mapLayerFeatures(MapLayerCache& cache, const std::vector<MapFeature>& features,
                                                std::uint64_t mapRevision, const MapProjection& projection);

// One feature by its category's rules, in the ground plane, pan applied.
// `Paths` is a MapRaster, or a MapPathList that draws it later.
template<class Paths>
void drawMapFeature(Paths& paths, const MapFeature& feature, const MapProjection& projection);

struct LabelCandidate {
    std::string name;
    double x = 0.0; // anchor in panel pixels
    double y = 0.0;
    int priority = 0; // lower numbers are placed first
};

// Named features of a labelled category shown at this zoom, anchored at
// their centre (areas) or middle point (lines), within reach of the layer.
std::vector<LabelCandidate> collectLabelCandidates(const MapFeatureIndex& index, const MapProjection& projection);

struct PlacedLabel {
    std::string name;
    double x = 0.0; // text origin, where cairo_move_to puts it
    double y = 0.0;
};

// Places the labels by priority on a 64-pixel collision grid over the layer
// (panel -W .. 2W, -H .. 2H); those that fit, in the order they are drawn.
std::vector<PlacedLabel> placeMapLabels(std::vector<LabelCandidate> candidates, int width, int height, double zoom);

// Each label's text with a white halo.
template<class Paths>
void drawMapLabels(Paths& paths, const std::vector<PlacedLabel>& labels, double zoom);

// The ten-entry legend in the panel's lower-left corner: one column below
// 320 pixels of width, two columns from there.
void drawLegend(cairo_t* cr, int width, int height);

} // namespace pathlark
