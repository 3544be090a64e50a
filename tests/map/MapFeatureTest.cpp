// From OSM tags to what is drawn: category, attributes, names and draw order.

#include "map/MapFeature.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace pathlark;

namespace {

MapFeature featureFrom(const TagMap& tags)
{
    MapFeature feature;
    applyFeatureTags(feature, tags);
    return feature;
}

} // namespace

TEST(Classification, FirstMatchingRuleOnExactNonEmptyValues)
{
    using enum MapCategory;
    const std::pair<TagMap, MapCategory> cases[] = {
        {{{"highway", "trunk_link"}}, Motorway}, {{{"highway", "tertiary_link"}}, SecondaryRoad},
        {{{"highway", "living_street"}}, MinorRoad},
        // Anything else that is not empty is a path, even a misspelt motorway.
        {{{"highway", "Motorway"}}, Path}, {{{"highway", "&#115;ervice"}}, Path},
        // Where several rules match, the earlier one decides.
        {{{"highway", "footway"}, {"building", "yes"}}, Path},
        {{{"railway", "rail"}, {"waterway", "canal"}}, Railway},
        {{{"waterway", "river"}, {"natural", "water"}}, Waterway},
        {{{"natural", "water"}, {"building", "yes"}}, WaterArea},
        {{{"amenity", "parking"}, {"building", "yes"}}, Building},
        {{{"amenity", "parking"}, {"landuse", "forest"}}, Parking},
        {{{"landuse", "forest"}, {"boundary", "administrative"}}, Forest},
        {{{"natural", "wood"}, {"leisure", "park"}}, Forest},
        {{{"leisure", "garden"}, {"landuse", "residential"}}, Grass},
        {{{"landuse", "residential"}, {"boundary", "x"}}, ResidentialArea},
        {{{"landuse", "construction"}}, CommercialArea}, {{{"boundary", "administrative"}}, Boundary},
        // Empty and unknown values fall through.
        {{{"highway", ""}, {"building", "yes"}}, Building}, {{{"railway", ""}, {"boundary", ""}}, None},
        {{{"natural", "bay"}}, WaterArea}, {{{"landuse", "basin"}}, WaterArea}, {{{"natural", "beach"}}, None},
        {{{"amenity", "school"}}, None}, {{{"Building", "yes"}}, None}, {{}, None},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].second, classifyFeature(cases[i].first)) << "case " << i;
    for (auto [category, area] : {std::pair{WaterArea, true}, {Boundary, false}, {Forest, true}, {Building, true},
                                  {Waterway, false}, {Path, false}})
        EXPECT_EQ(isAreaCategory(category), area) << int(category);
}

TEST(FeatureTags, FlagsLayerAndNameNeedExactValues)
{
    for (auto [value, bridge] : {std::pair{"yes", true}, {"viaduct", true}, {"aqueduct", false}, {"true", false}})
        EXPECT_EQ(featureFrom({{"bridge", value}}).bridge, bridge) << value;
    EXPECT_TRUE(featureFrom({{"tunnel", "yes"}}).tunnel);
    EXPECT_FALSE(featureFrom({{"tunnel", "culvert"}}).tunnel);
    EXPECT_TRUE(featureFrom({{"landuse", "forest"}, {"boundary", "administrative"}}).boundary);
    EXPECT_FALSE(featureFrom({{"boundary", ""}}).boundary);

    const std::pair<const char*, std::int32_t> layers[] = {
        {"1", 1}, {"-2", -2}, {" +3", 3}, {"1;2", 1}, {"-1.5", -1}, {"99", 10}, {"10", 10}, {"-10", -10},
        {"-12", -10}, {"abc", 0}, {"", 0}, {"- 1", 0}, {"99999999999999999999", 10},
    };
    for (auto [layer, expected] : layers)
        EXPECT_EQ(expected, featureFrom({{"layer", layer}}).layer) << '"' << layer << '"';

    EXPECT_EQ("München", featureFrom({{"name", "Munich"}, {"name:de", "München"}}).name);
    EXPECT_EQ("Munich", featureFrom({{"name", "Munich"}, {"name:de", ""}}).name);
    EXPECT_EQ("Pizza & Kebap", featureFrom({{"name", "Pizza &amp; Kebap"}}).name);
}

TEST(NameDecoding, KnownReferencesOnceAndEverythingElseAsWritten)
{
    const std::pair<const char*, const char*> decoded[] = {
        {"&lt;&quot;x&quot;&gt;&apos;", "<\"x\">'"}, {"Caf&#233;", "Caf\xC3\xA9"}, {"Caf&#xE9;", "Caf\xC3\xA9"},
        {"&#x20AC;", "\xE2\x82\xAC"}, {"&#127794;", "\xF0\x9F\x8C\xB2"}, {"&#x7F;", "\x7F"}, {"&#x80;", "\xC2\x80"},
        {"&#x7FF;", "\xDF\xBF"}, {"&#x800;", "\xE0\xA0\x80"}, {"&#xFFFD;", "\xEF\xBF\xBD"},
        {"&#x10000;", "\xF0\x90\x80\x80"}, {"&#x10FFFF;", "\xF4\x8F\xBF\xBF"},
        {"&amp;amp;", "&amp;"},  // decoded once: an escaped ampersand starts no new reference
        {"&nbsp; &amp; x", "&nbsp; & x"},
    };
    for (auto [text, expected] : decoded)
        EXPECT_EQ(expected, decodeXmlReferences(text)) << text;
    for (const char* text : {"A & B", "&nbsp;", "&#;", "&#x;", "&#12a;", "&#xZZ;", "&#0;", "&#xD800;", "&#x110000;",
                             "&#99999999999;", "&amp", "Q&A; tail", "&#1;", "a;&"})
        EXPECT_EQ(text, decodeXmlReferences(text));
}

TEST(DrawOrder, LayerThenTunnelPlainBridgeThenLandWaterBuildingsRoads)
{
    using enum MapCategory;
    auto feature = [](MapCategory category, std::int32_t layer = 0, bool tunnel = false, bool bridge = false) {
        return MapFeature{.points = {}, .rings = {}, .name = {}, .category = category, .bridge = bridge, .tunnel = tunnel,
                          .layer = layer};
    };
    // Each row is drawn above the one before; within a row the keys tie, so
    // the stable sort keeps document order.
    const std::vector<std::vector<MapFeature>> rows = {
        {feature(Forest, -1, false, true)}, {feature(Path, 0, true)},
        {feature(Forest), feature(Grass), feature(ResidentialArea), feature(CommercialArea)},
        {feature(WaterArea)}, {feature(Parking)}, {feature(Building)}, {feature(Waterway), feature(Boundary)},
        {feature(Railway)}, {feature(Motorway), feature(Path), feature(None)}, {feature(Forest, 0, false, true)},
        {feature(Forest, 1, true), feature(Forest, 1, true, true)},  // a tunnel that is a bridge is a tunnel
        {feature(Forest, 1)},
    };
    for (std::size_t row = 0; row < rows.size(); ++row) {
        for (const MapFeature& f : rows[row])
            EXPECT_TRUE(drawOrderKey(f) == drawOrderKey(rows[row][0])) << "row " << row;
        EXPECT_TRUE(row == 0 || drawOrderKey(rows[row - 1][0]) < drawOrderKey(rows[row][0])) << "row " << row;
    }
}
