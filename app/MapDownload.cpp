// Downloading the shown track's map from Overpass servers: the area and the
// query from the track, the transfer in map/, and the window kept painted
// while the user-interface thread waits for it.

#include "app/MainWindow.h"
#include "app/PathlarkEngine.h"
#include "app/Translate.h"
#include "gui/GuiCairoPanel.h"
#include "gui/GuiWindow.h"
#include "map/OverpassQuery.h"
#include "track/Gpx.h"

#include <iostream>

namespace pathlark {

bool PathlarkEngine::downloadOsmMap(const std::filesystem::path& target)
{
    TrackBounds bounds;
    if (const Track* track = shownTrack()) {
        for (int i = 0; i < track->getWayPointCount(); ++i)
            bounds.add(track->getWayPoint(i)->getLat(), track->getWayPoint(i)->getLon());
    }
    if (bounds.empty()) {
        showOsmError(tr("The selected track contains no waypoints."));
        return false;
    }
    const GeoBox area = downloadArea(bounds);
    if (!downloadAreaAllowed(area)) {
        showOsmError(tr("The track area is too large for the automatic download."));
        return false;
    }

    OverpassDownloadSettings settings;
    settings.endpoints = overpassEndpoints;
    settings.retryPauseMs = downloadRetryPauseMs;
    settings.progress = [this](const std::string& text) {
        setStatus(text);
        redrawDuringDownload();
    };
    const OverpassDownloadResult result = downloadOverpassMap(overpassQuery(area), target, settings);
    if (!result.saved)
        showOsmError(result.error);
    return result.saved;
}

void PathlarkEngine::showOsmError(const std::string& message)
{
    const std::string text = tr("Could not create the OSM map.\n\n") + message;
    setStatus(text);
    if (!showErrorBox || !showErrorBox(tr("OSM map unavailable"), text))
        std::cerr << tr("Could not show OSM error message: ") << SDL_GetError() << '\n';
}

void PathlarkEngine::redrawDuringDownload()
{
    AppWindow* window = GuiEngine::getMainWindow();
    if (!window || !window->root || !window->renderer)
        return;
    layoutMainWindow(*this, window);
    drawPanels();
    window->root->tick(SDL_GetTicks());
    window->root->draw(window->renderer);
    presentFrame(window);
    // Only queued: what the user does meanwhile is handled by the main loop afterwards.
    SDL_PumpEvents();
}

} // namespace pathlark
