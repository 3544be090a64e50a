#pragma once
// The rows of the side panel: track metadata, whole-track statistics and the
// stretch between the markers, computed afresh from the model each time.

#include "track/Gpx.h"

#include <string>
#include <vector>

namespace pathlark {

struct InfoRow {
    int id;
    int parent;          // 0 for the three top-level rows
    std::string label;   // translated
    std::string value;
};

std::vector<InfoRow> infoPanelRows(const Gpx& gpx, const Track& track, int markerA, int markerB);

} // namespace pathlark
