// Downloading the shown track's map from Overpass servers: the area and the
// query from the track, the transfer in map/, and the window kept painted
// while the user-interface thread waits for it.

#include "app/MainWindow.h"
#include "app/PathlarkEngine.h"
#include "gui/GuiCairoPanel.h"
#include "gui/GuiWindow.h"
#include "i18n/Translate.h"
#include "map/OverpassQuery.h"
#include "track/Gpx.h"

#include <iostream>

namespace pathlark {

namespace {

// The window is repainted at most this often while a download waits, and
// the transfer reports at least every 50 ms, so a frame never lags by much more.
constexpr Uint32 DownloadRedrawMs = 100;

// Escape is taken from the queue (it would also reset the view afterwards);
// a closing window is left in it, so the loop still ends the program.
int spotCancel(void* cancel, SDL_Event* event)
{
    if (event->type == SDL_KEYDOWN && event->key.keysym.sym == SDLK_ESCAPE) {
        *static_cast<bool*>(cancel) = true;
        return 0;
    }
    if (event->type == SDL_QUIT || (event->type == SDL_WINDOWEVENT && event->window.event == SDL_WINDOWEVENT_CLOSE))
        *static_cast<bool*>(cancel) = true;
    return 1;
}

} // namespace

bool PathlarkEngine::downloadOsmMap(const std::filesystem::path& target)
{
    downloadCancelled = false;
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
    Uint32 lastRedraw = 0;
    settings.progress = [this, &lastRedraw](const std::string& text) {
        setStatus(text);
        redrawDuringDownload();
        lastRedraw = SDL_GetTicks();
    };
    settings.waiting = [this, &lastRedraw](const std::string& text) {
        if (downloadCancelRequested())
            return false;
        if (SDL_GetTicks() - lastRedraw >= DownloadRedrawMs) {
            lastRedraw = SDL_GetTicks();
            setStatus(text);
            redrawDuringDownload();
        }
        return true;
    };
    const OverpassDownloadResult result = downloadOverpassMap(overpassQuery(area), target, settings);
    if (result.cancelled) {
        downloadCancelled = true;
        setStatus(result.error);
    } else if (!result.saved) {
        showOsmError(result.error);
    }
    return result.saved;
}

bool PathlarkEngine::downloadCancelRequested()
{
    SDL_PumpEvents();
    bool cancel = false;
    SDL_FilterEvents(&spotCancel, &cancel);
    return cancel;
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
