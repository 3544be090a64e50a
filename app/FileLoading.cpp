// Opening tracks: reading, taking the document over, choosing a track and
// finding its map; the status line and info panel that follow a selection.

#include "app/InfoPanel.h"
#include "app/PathText.h"
#include "app/PathlarkEngine.h"
#include "app/StatusLine.h"
#include "i18n/Translate.h"
#include "track/EmbeddedSample.h"
#include "track/FitReader.h"
#include "track/Gpx.h"
#include "track/GpxReader.h"
#include "track/TcxReader.h"
#include "track/Track.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace pathlark {

namespace {

// "ride.gpx" -> "ride.osm"; a name without extension gets ".osm" appended.
fs::path siblingMapPath(const std::string& gpxPath)
{
    return fs::path(gpxPath).replace_extension(".osm");
}

// The one place that picks a reader: by extension, in any case (ASCII only,
// so that no locale's case rules decide); everything else is read as GPX.
ActivityRead readTrackFile(const std::string& path)
{
    std::string extension = fs::path(path).extension().string();
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (extension == ".fit")
        return readFitFile(path);
    if (extension == ".tcx")
        return readTcxFile(path);
    return ActivityRead { readGpxFile(path), false };
}

int pointCount(const Gpx& gpx)
{
    int count = 0;
    for (int i = 0; i < gpx.getTrackCount(); ++i)
        count += gpx.getTrack(i)->getWayPointCount();
    return count;
}

} // namespace

void PathlarkEngine::loadGpxFile(const std::string& path)
{
    if (!isRegularFile(path)) {
        setStatus((isNonRegularFile(path) ? tr("Not a regular file: ") : tr("File not found: ")) + path);
        return;
    }
    try {
        ActivityRead file = readTrackFile(path);
        const Gpx* read = file.gpx.get();
        setGpx(file.gpx, path);
        // A rejected file leaves the previous track on screen, and its map with it.
        if (!read || gpx.get() != read)
            return;
        findTrackMap(path);
        // Said last, so that the map's own report does not hide it.
        if (file.damaged)
            setStatus(displayFileName(path) + "  |  " + tr("the file is damaged: ") + std::to_string(pointCount(*gpx)) +
                      " " + tr("points read"));
    } catch (const std::exception& error) {
        setStatus(std::string(tr("Could not load GPX: ")) + error.what());
    }
}

void PathlarkEngine::findTrackMap(const std::string& path)
{
    const fs::path sibling = siblingMapPath(path);
    if (isRegularFile(sibling)) {
        loadOsmMap(utf8Text(sibling));
        return;
    }
    // Something else by the map's name is neither read nor replaced by a
    // download; the map shown stays, as after any map that cannot be opened.
    if (isNonRegularFile(sibling)) {
        setStatus(tr("Not a regular file: ") + utf8Text(sibling));
        return;
    }
    if (downloadOsmMap(sibling)) {
        loadOsmMap(utf8Text(sibling));
        return;
    }
    // A download the user stopped leaves the map as it was.
    if (!downloadCancelled)
        clearMap();
}

void PathlarkEngine::clearMap()
{
    mapFeatures.clear();
    mapPath.clear();
    ++mapRevision;
    setMapLabel(tr("No OSM map loaded"));
}

void PathlarkEngine::setGpx(std::unique_ptr<Gpx>& doc, const std::string& path)
{
    if (!doc || doc->getTrackCount() == 0) {
        setStatus(tr("No tracks found in ") + path);
        return;
    }
    // Both caches are keyed on the track's address, which a new document may reuse.
    trackExtent = TrackExtent{};
    mapLayerCache.clear();
    gpx = std::move(doc);
    ++gpxRevision;
    gpxPath = path;
    updateWindowTitle();
    fillTrackList();
    selectTrack(0);
}

void PathlarkEngine::selectTrack(int index)
{
    if (!gpx || index < 0 || index >= gpx->getTrackCount())
        return;
    selectedTrack = index;
    syncTrackList();
    cursorIndex = 0;
    markerA = markerB = -1;
    zoom = 1.0;
    panX = panY = 0.0;

    const Track* track = gpx->getTrack(index);
    if (track->getWayPointCount() == 0) {
        cursorIndex = -1;
        // Nothing for a free cross to stand on.
        if (freeCursor)
            changeCursorMode(0);
        setStatus(tr("Selected track contains no waypoints"));
        buildInfoPanel();
        return;
    }
    // The new track starts with its own heading, and a free cross on its first point,
    // not where the previous track left them.
    updateHeading();
    if (freeCursor) {
        freeCursorLat = track->getWayPoint(0)->getLat();
        freeCursorLon = track->getWayPoint(0)->getLon();
    }
    std::string text = displayFileName(gpxPath) + "  |  ";
    text += track->getName().empty() ? std::string(tr("Unnamed track")) : track->getName();
    text += "  |  " + std::to_string(track->getWayPointCount()) + " " + tr("points");
    setStatus(text);
    buildInfoPanel();
}

void PathlarkEngine::loadSample()
{
    try {
        std::unique_ptr<Gpx> doc = readGpxString(embeddedSampleGpx());
        setGpx(doc, std::string(kEmbeddedSamplePath));
    } catch (const std::exception& error) {
        setStatus(std::string(tr("Could not load bundled sample: ")) + error.what());
    }
}

const Track* PathlarkEngine::shownTrack() const
{
    if (!gpx || selectedTrack < 0 || selectedTrack >= gpx->getTrackCount())
        return nullptr;
    return gpx->getTrack(selectedTrack);
}

void PathlarkEngine::updateStatusLine()
{
    const Track* track = shownTrack();
    if (!track || cursorIndex < 0)
        return;
    CursorState state;
    state.cursorIndex = cursorIndex;
    state.markerA = markerA;
    state.markerB = markerB;
    state.freeCursor = freeCursor;
    state.freeCursorLat = freeCursorLat;
    state.freeCursorLon = freeCursorLon;
    const std::string text = statusLineText(gpxPath, *track, state);
    if (!text.empty())
        setStatus(text);
}

} // namespace pathlark
