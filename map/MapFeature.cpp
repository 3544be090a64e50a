#include "map/MapFeature.h"

#include <algorithm>
#include <initializer_list>

namespace pathlark {

namespace {

std::string_view findTag(const TagMap& tags, std::string_view key)
{
    auto it = tags.find(key);
    return it == tags.end() ? std::string_view() : std::string_view(it->second);
}

bool isOneOf(std::string_view value, std::initializer_list<std::string_view> choices)
{
    return std::find(choices.begin(), choices.end(), value) != choices.end();
}

// Reads a leading decimal integer the way strtol would, but saturating, so
// "99999999999" clamps like any other large layer instead of failing.
std::int32_t parseLayer(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::int64_t value = 0;
    bool anyDigit = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        anyDigit = true;
        value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), 1000);
    }
    if (!anyDigit)
        return 0;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(negative ? -value : value, -10, 10));
}

void appendUtf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Code point of a numeric reference body ("#38", "#x26"), or 0 when the body is
// malformed or names a character XML 1.0 does not allow (controls other than
// tab and line breaks, surrogates, U+FFFE, U+FFFF, beyond U+10FFFF).
std::uint32_t numericReference(std::string_view body)
{
    if (body.size() < 2 || body[0] != '#')
        return 0;
    bool hex = body[1] == 'x';
    std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty())
        return 0;
    std::uint32_t code = 0;
    for (char c : digits) {
        std::uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            return 0;
        code = code * (hex ? 16 : 10) + digit;
        if (code > 0x10FFFF)
            return 0;
    }
    bool allowed = code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code < 0xD800)
        || (code > 0xDFFF && code < 0xFFFE) || code > 0xFFFF;
    return allowed ? code : 0;
}

} // namespace

bool isAreaCategory(MapCategory category)
{
    switch (category) {
    case MapCategory::WaterArea:
    case MapCategory::Forest:
    case MapCategory::Grass:
    case MapCategory::ResidentialArea:
    case MapCategory::CommercialArea:
    case MapCategory::Parking:
    case MapCategory::Building:
        return true;
    default:
        return false;
    }
}

std::string tagValue(const TagMap& tags, std::string_view key)
{
    return std::string(findTag(tags, key));
}

bool hasTagValue(const TagMap& tags, std::string_view key, std::string_view value)
{
    return findTag(tags, key) == value;
}

MapCategory classifyFeature(const TagMap& tags)
{
    std::string_view highway = findTag(tags, "highway");
    if (!highway.empty()) {
        if (isOneOf(highway, {"motorway", "motorway_link", "trunk", "trunk_link"}))
            return MapCategory::Motorway;
        if (isOneOf(highway, {"primary", "primary_link"}))
            return MapCategory::PrimaryRoad;
        if (isOneOf(highway, {"secondary", "secondary_link", "tertiary", "tertiary_link"}))
            return MapCategory::SecondaryRoad;
        if (isOneOf(highway, {"residential", "living_street", "unclassified"}))
            return MapCategory::MinorRoad;
        if (highway == "service")
            return MapCategory::ServiceRoad;
        return MapCategory::Path;
    }
    if (!findTag(tags, "railway").empty())
        return MapCategory::Railway;
    if (!findTag(tags, "waterway").empty())
        return MapCategory::Waterway;

    std::string_view natural = findTag(tags, "natural");
    std::string_view landuse = findTag(tags, "landuse");
    if (isOneOf(natural, {"water", "bay"}) || isOneOf(landuse, {"reservoir", "basin"}))
        return MapCategory::WaterArea;
    if (!findTag(tags, "building").empty())
        return MapCategory::Building;
    if (findTag(tags, "amenity") == "parking")
        return MapCategory::Parking;
    if (isOneOf(landuse, {"forest", "orchard", "vineyard"}) || natural == "wood")
        return MapCategory::Forest;
    if (isOneOf(landuse, {"grass", "meadow"}) || natural == "grassland"
        || isOneOf(findTag(tags, "leisure"), {"park", "garden", "recreation_ground"}))
        return MapCategory::Grass;
    if (landuse == "residential")
        return MapCategory::ResidentialArea;
    if (isOneOf(landuse, {"industrial", "commercial", "retail", "construction"}))
        return MapCategory::CommercialArea;
    if (!findTag(tags, "boundary").empty())
        return MapCategory::Boundary;
    return MapCategory::None;
}

void applyFeatureTags(MapFeature& feature, const TagMap& tags)
{
    feature.category = classifyFeature(tags);
    std::string_view name = findTag(tags, "name:de");
    if (name.empty())
        name = findTag(tags, "name");
    // The renderer prints the name; "Pizza &amp; Kebap" must not reach the map as written.
    feature.name = decodeXmlReferences(name);
    feature.boundary = !findTag(tags, "boundary").empty();
    feature.bridge = isOneOf(findTag(tags, "bridge"), {"yes", "viaduct"});
    feature.tunnel = findTag(tags, "tunnel") == "yes";
    std::string_view layer = findTag(tags, "layer");
    feature.layer = layer.empty() ? 0 : parseLayer(layer);
}

std::string decodeXmlReferences(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t amp = text.find('&', i);
        if (amp == std::string_view::npos)
            break;
        out.append(text.substr(i, amp - i));
        // Real references are short; looking further would let "&" pair up
        // with an unrelated ";" far away in the text.
        std::size_t semicolon = text.find(';', amp + 1);
        if (semicolon == std::string_view::npos || semicolon - amp > 16) {
            out += '&';
            i = amp + 1;
            continue;
        }
        std::string_view body = text.substr(amp + 1, semicolon - amp - 1);
        std::uint32_t code = 0;
        if (body == "amp")
            code = '&';
        else if (body == "lt")
            code = '<';
        else if (body == "gt")
            code = '>';
        else if (body == "quot")
            code = '"';
        else if (body == "apos")
            code = '\'';
        else
            code = numericReference(body);
        if (code == 0) {
            out += '&';
            i = amp + 1;
            continue;
        }
        appendUtf8(out, code);
        i = semicolon + 1;
    }
    out.append(text.substr(i));
    return out;
}

DrawOrderKey drawOrderKey(const MapFeature& feature)
{
    DrawOrderKey key;
    key.levelKey = feature.layer * 3;
    if (feature.tunnel)
        key.levelKey -= 1;
    else if (feature.bridge)
        key.levelKey += 1;

    switch (feature.category) {
    case MapCategory::Forest:
    case MapCategory::Grass:
    case MapCategory::ResidentialArea:
    case MapCategory::CommercialArea:
        key.categoryTier = 0;
        break;
    case MapCategory::WaterArea:
        key.categoryTier = 1;
        break;
    case MapCategory::Parking:
        key.categoryTier = 2;
        break;
    case MapCategory::Building:
        key.categoryTier = 3;
        break;
    case MapCategory::Waterway:
    case MapCategory::Boundary:
        key.categoryTier = 4;
        break;
    case MapCategory::Railway:
        key.categoryTier = 5;
        break;
    default:
        key.categoryTier = 6;
        break;
    }
    return key;
}

} // namespace pathlark
