#pragma once
// The one-line summary under the map: file, cursor point, height, markers and
// the distance and time between them, or the free cursor's position.

#include "track/Track.h"

#include <string>

namespace pathlark {

struct CursorState {
    int cursorIndex = -1;
    int markerA = -1;
    int markerB = -1;
    bool freeCursor = false;
    double freeCursorLat = 0.0;
    double freeCursorLon = 0.0;
};

// The file name part of a path, as shown to the user.
std::string displayFileName(const std::string& path);

// Empty when there is nothing to say (no cursor point on the track).
std::string statusLineText(const std::string& gpxPath, const Track& track, const CursorState& state);

} // namespace pathlark
