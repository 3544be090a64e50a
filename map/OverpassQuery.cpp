#include "map/OverpassQuery.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace pathlark {

void TrackBounds::add(double lat, double lon)
{
    if (!std::isfinite(lat) || !std::isfinite(lon))
        return;
    minLat = std::min(minLat, lat);
    maxLat = std::max(maxLat, lat);
    minLon = std::min(minLon, lon);
    maxLon = std::max(maxLon, lon);
    ++count;
}

GeoBox downloadArea(const TrackBounds& bounds)
{
    const GeoBox tight = bounds.box();
    const double dlat = std::max((tight.north - tight.south) * 0.05, 0.0005);
    const double dlon = std::max((tight.east - tight.west) * 0.05, 0.0005);
    GeoBox box;
    box.south = std::max(tight.south - dlat, -90.0);
    box.north = std::min(tight.north + dlat, 90.0);
    box.west = std::max(tight.west - dlon, -180.0);
    box.east = std::min(tight.east + dlon, 180.0);
    return box;
}

bool downloadAreaAllowed(const GeoBox& box)
{
    // An empty bounds object leaves infinities behind; those are no area to ask for.
    const double area = (box.north - box.south) * (box.east - box.west);
    return std::isfinite(area) && area >= 0.0 && area <= MaxDownloadArea;
}

namespace {

// to_chars never consults the locale, unlike printf and streams.
void appendFixed7(std::string& out, double value)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 7);
    if (error == std::errc())
        out.append(buffer, end);
}

} // namespace

std::string overpassBoxText(const GeoBox& box)
{
    std::string text;
    appendFixed7(text, box.south);
    text += ',';
    appendFixed7(text, box.west);
    text += ',';
    appendFixed7(text, box.north);
    text += ',';
    appendFixed7(text, box.east);
    return text;
}

std::string overpassQuery(const GeoBox& box)
{
    static const char* const pieces[] = {
        "[out:xml][timeout:60];(way[highway](",
        ");way[railway](",
        ");way[waterway](",
        ");way[natural~\"^(water|bay|wood)$\"](",
        ");way[landuse~\"^(reservoir|basin|forest|orchard|vineyard|grass|meadow|residential|industrial|commercial|"
        "retail|construction)$\"](",
        ");way[leisure~\"^(park|garden|recreation_ground)$\"](",
        ");relation[type=multipolygon][natural~\"^(water|bay)$\"](",
        ");relation[type=multipolygon][landuse~\"^(reservoir|basin)$\"](",
        "););(._;>;);out body;",
    };
    const std::string boxText = overpassBoxText(box);
    std::string query = pieces[0];
    for (std::size_t i = 1; i < std::size(pieces); ++i)
        query.append(boxText).append(pieces[i]);
    return query;
}

} // namespace pathlark
