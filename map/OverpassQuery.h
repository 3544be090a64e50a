#pragma once
// The area fetched for a track and the Overpass QL query for it. Longitudes
// are plain numbers: a track across the 180th meridian spans almost the whole
// globe and is refused as too large.

#include <limits>
#include <string>

namespace pathlark {

struct GeoBox {
    double south = 0.0;
    double west = 0.0;
    double north = 0.0;
    double east = 0.0;
};

// Minimum and maximum of the points added; points with a non-finite
// coordinate are skipped, since a GPX number may read as nan or inf.
class TrackBounds {
public:
    void add(double lat, double lon);
    bool empty() const { return count == 0; }
    GeoBox box() const { return {minLat, minLon, maxLat, maxLon}; }

private:
    double minLat = std::numeric_limits<double>::infinity();
    double minLon = std::numeric_limits<double>::infinity();
    double maxLat = -std::numeric_limits<double>::infinity();
    double maxLon = -std::numeric_limits<double>::infinity();
    int count = 0;
};

// The track's box with 5 % margins (at least 0.0005 degrees), clamped to the globe.
GeoBox downloadArea(const TrackBounds& bounds);

// Servers refuse or time out on large areas; 0.02 square degrees is the most we ask for.
constexpr double MaxDownloadArea = 0.02;
bool downloadAreaAllowed(const GeoBox& box);

// "south,west,north,east", 7 decimals, always with a decimal point whatever the locale.
std::string overpassBoxText(const GeoBox& box);

// Roads, railways, waterways, water, woods and land use of the area, with all their nodes.
std::string overpassQuery(const GeoBox& box);

} // namespace pathlark
