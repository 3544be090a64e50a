#pragma once
// The map background as one flat list of drawable features, and the rules that
// turn OSM tags into a feature's category and attributes.

#include <compare>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pathlark {

// Geographic position in decimal degrees (WGS84, north and east positive),
// kept exactly as parsed; the model applies no projection.
struct MapPoint {
    double latitude = 0.0;
    double longitude = 0.0;
};

// The numeric values index the renderer's per-category tables; never renumber.
enum class MapCategory : std::uint32_t {
    None = 0, // not drawn, never stored
    Motorway = 1,
    PrimaryRoad = 2,
    SecondaryRoad = 3,
    MinorRoad = 4,
    ServiceRoad = 5,
    Path = 6,
    Railway = 7,
    Waterway = 8,
    WaterArea = 9,
    Boundary = 10,
    Forest = 11,
    Grass = 12,
    ResidentialArea = 13,
    CommercialArea = 14,
    Parking = 15,
    Building = 16,
};

// Filled categories (9, 11..16); the others are drawn as lines.
bool isAreaCategory(MapCategory category);

// One drawable item: a way's polyline, or a multipolygon's rings.
struct MapFeature {
    // A way's nodes in way order, or a multipolygon's first outer ring.
    std::vector<MapPoint> points;
    // Further outer rings, then inner rings; empty for a way.
    std::vector<std::vector<MapPoint>> rings;
    // UTF-8, XML references already decoded.
    std::string name;
    MapCategory category = MapCategory::None;
    bool closed = false;
    bool boundary = false;
    bool bridge = false;
    bool tunnel = false;
    // OSM "layer", clamped to -10..10.
    std::int32_t layer = 0;
};

struct TagKeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const noexcept { return std::hash<std::string_view>{}(key); }
};

// OSM tags of one way or relation; keys and values compared byte for byte.
using TagMap = std::unordered_map<std::string, std::string, TagKeyHash, std::equal_to<>>;

// The value under key, or "" when absent: an empty value counts as absent.
std::string tagValue(const TagMap& tags, std::string_view key);
bool hasTagValue(const TagMap& tags, std::string_view key, std::string_view value);

// First matching rule of a fixed list; a non-empty highway decides on its own.
MapCategory classifyFeature(const TagMap& tags);

// Sets category, name, boundary, bridge, tunnel and layer; leaves the geometry alone.
void applyFeatureTags(MapFeature& feature, const TagMap& tags);

// Decodes the five predefined XML entities and numeric character references
// to UTF-8; a reference that is unknown or malformed stays as written.
std::string decodeXmlReferences(std::string_view text);

// Features are drawn by a stable sort on this key: layer by layer (tunnels,
// then plain, then bridges), land below water below buildings below roads.
struct DrawOrderKey {
    std::int32_t levelKey = 0;
    std::int32_t categoryTier = 0;
    auto operator<=>(const DrawOrderKey&) const = default;
};

DrawOrderKey drawOrderKey(const MapFeature& feature);

} // namespace pathlark
