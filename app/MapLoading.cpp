// Loading an OSM map into the engine: read and build aside, then publish in
// one step, so a failed load leaves the map on screen as it was.

#include "app/PathlarkEngine.h"

#include "app/PathText.h"
#include "i18n/Translate.h"
#include "map/OsmReader.h"

#include <exception>
#include <filesystem>
#include <string>
#include <utility>

namespace pathlark {

namespace {

// Last path component of a UTF-8 path, still UTF-8.
std::string fileNameOf(const std::string& path)
{
    std::u8string name = std::filesystem::path(std::u8string(path.begin(), path.end())).filename().u8string();
    return std::string(name.begin(), name.end());
}

} // namespace

void PathlarkEngine::loadOsmMap(const std::string& path)
{
    if (isNonRegularFile(path)) {
        setStatus(tr("Not a regular file: ") + path);
        return;
    }
    std::vector<MapFeature> features;
    try {
        features = readOsmMap(path);
    } catch (const OsmOpenError&) {
        setStatus(tr("Could not open OSM map: ") + path);
        return;
    } catch (const std::exception& error) {
        // Also std::bad_alloc: the reader's tables are gone by now, and the
        // map on screen is still whole.
        setStatus(std::string(tr("Invalid OSM map: ")) + error.what());
        return;
    }

    mapFeatures = std::move(features);
    mapPath = path;
    ++mapRevision;

    std::string summary = fileNameOf(path) + "  |  " + std::to_string(mapFeatures.size()) + " ";
    setMapLabel(summary + tr("map ways"));
    setStatus(summary + tr("map ways loaded"));
}

} // namespace pathlark
