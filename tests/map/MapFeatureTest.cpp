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

TEST(MapCategory, AreaCategoriesAreExactlyTheFilledOnes)
{
    std::vector<std::uint32_t> areas;
    for (std::uint32_t value = 0; value <= 16; ++value) {
        if (isAreaCategory(static_cast<MapCategory>(value)))
            areas.push_back(value);
    }
    EXPECT_EQ((std::vector<std::uint32_t>{9, 11, 12, 13, 14, 15, 16}), areas);
}

TEST(TagLookup, EmptyValueCountsAsAbsent)
{
    TagMap tags{{"highway", ""}, {"name", "Hauptstraße"}};
    EXPECT_EQ("", tagValue(tags, "highway"));
    EXPECT_EQ("", tagValue(tags, "missing"));
    EXPECT_EQ("Hauptstraße", tagValue(tags, "name"));
    EXPECT_TRUE(hasTagValue(tags, "missing", ""));
    EXPECT_TRUE(hasTagValue(tags, "name", "Hauptstraße"));
    EXPECT_FALSE(hasTagValue(tags, "name", "hauptstraße"));
}

TEST(Classification, FirstMatchingRuleOnExactNonEmptyValues)
{
    using enum MapCategory;
    const std::pair<TagMap, MapCategory> cases[] = {
        {{{"highway", "trunk_link"}}, Motorway}, {{{"highway", "tertiary_link"}}, SecondaryRoad},
        {{{"highway", "living_street"}}, MinorRoad},
        // Anything else that is not empty is a path, even a misspelt motorway.
        {{{"highway", "Motorway"}}, Path}, {{{"highway", "proposed"}}, Path},
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
        // Only the stored name is decoded; classification sees the raw text.
        {{{"highway", "&#115;ervice"}}, Path},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].second, classifyFeature(cases[i].first)) << "case " << i;
}

TEST(FeatureTags, BridgeTunnelAndBoundaryNeedExactValues)
{
    EXPECT_TRUE(featureFrom({{"bridge", "yes"}}).bridge);
    EXPECT_TRUE(featureFrom({{"bridge", "viaduct"}}).bridge);
    EXPECT_FALSE(featureFrom({{"bridge", "aqueduct"}}).bridge);
    EXPECT_FALSE(featureFrom({{"bridge", "true"}}).bridge);
    EXPECT_TRUE(featureFrom({{"tunnel", "yes"}}).tunnel);
    EXPECT_FALSE(featureFrom({{"tunnel", "culvert"}}).tunnel);

    MapFeature forest = featureFrom({{"landuse", "forest"}, {"boundary", "administrative"}});
    EXPECT_EQ(MapCategory::Forest, forest.category);
    EXPECT_TRUE(forest.boundary);
    EXPECT_FALSE(featureFrom({{"boundary", ""}}).boundary);
}

TEST(FeatureTags, LayerReadsLeadingIntegerAndClamps)
{
    struct Case {
        const char* layer;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"1", 1},   {"-2", -2}, {" +3", 3},  {"1;2", 1},  {"-1.5", -1},  {"99", 10},
        {"-12", -10}, {"abc", 0}, {"", 0},   {"- 1", 0},  {"99999999999999999999", 10},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, featureFrom({{"layer", c.layer}}).layer) << '"' << c.layer << '"';
}

TEST(FeatureTags, GermanNameWinsUnlessEmpty)
{
    EXPECT_EQ("München", featureFrom({{"name", "Munich"}, {"name:de", "München"}}).name);
    EXPECT_EQ("Munich", featureFrom({{"name", "Munich"}, {"name:de", ""}}).name);
    EXPECT_EQ("", featureFrom({{"highway", "track"}}).name);
}

TEST(NameDecoding, PredefinedEntitiesAndCharacterReferences)
{
    EXPECT_EQ("Boulevard d'Italie", featureFrom({{"name", "Boulevard d&apos;Italie"}}).name);
    EXPECT_EQ("Pizza & Kebap", featureFrom({{"name", "Pizza &amp; Kebap"}}).name);
    EXPECT_EQ("<\"x\">", decodeXmlReferences("&lt;&quot;x&quot;&gt;"));
    EXPECT_EQ("Caf\xC3\xA9", decodeXmlReferences("Caf&#233;"));
    EXPECT_EQ("Caf\xC3\xA9", decodeXmlReferences("Caf&#xE9;"));
    EXPECT_EQ("\xE2\x82\xAC", decodeXmlReferences("&#x20AC;"));
    EXPECT_EQ("\xF0\x9F\x8C\xB2", decodeXmlReferences("&#127794;"));
    // Decoding happens once: an escaped ampersand does not start a new reference.
    EXPECT_EQ("&amp;", decodeXmlReferences("&amp;amp;"));
}

TEST(NameDecoding, UnknownOrMalformedReferencesStayAsWritten)
{
    const char* untouched[] = {
        "A & B",      "&nbsp;",  "&#;",     "&#x;",      "&#12a;",       "&#xZZ;",
        "&#0;",       "&#xD800;", "&#x110000;", "&#99999999999;", "&amp",  "Q&A; tail",
        "&#1;",       "a;&",
    };
    for (const char* text : untouched)
        EXPECT_EQ(text, decodeXmlReferences(text)) << text;
    EXPECT_EQ("&nbsp; & x", decodeXmlReferences("&nbsp; &amp; x"));
}

TEST(DrawOrder, LayerThenTunnelPlainBridgeThenLandWaterBuildingsRoads)
{
    using enum MapCategory;
    auto feature = [](MapCategory category, std::int32_t layer = 0, bool tunnel = false, bool bridge = false) {
        MapFeature f;
        f.category = category;
        f.layer = layer;
        f.tunnel = tunnel;
        f.bridge = bridge;
        return f;
    };
    // Each row is drawn above the one before; within a row the keys tie, so
    // the stable sort keeps document order.
    const std::vector<std::vector<MapFeature>> rows = {
        {feature(Forest, -1, false, true)}, {feature(Path, 0, true)},
        {feature(Forest), feature(Grass), feature(ResidentialArea), feature(CommercialArea)},
        {feature(WaterArea)}, {feature(Parking)}, {feature(Building)}, {feature(Waterway), feature(Boundary)},
        {feature(Railway)}, {feature(Motorway), feature(Path), feature(None)}, {feature(Forest, 0, false, true)},
        {feature(Forest, 1, true), feature(Forest, 1, true, true)}, // a tunnel that is a bridge is a tunnel
        {feature(Forest, 1)},
    };
    for (std::size_t row = 0; row < rows.size(); ++row) {
        for (const MapFeature& f : rows[row]) {
            EXPECT_TRUE(drawOrderKey(f) == drawOrderKey(rows[row][0])) << "row " << row;
        }
        if (row > 0) {
            EXPECT_TRUE(drawOrderKey(rows[row - 1][0]) < drawOrderKey(rows[row][0])) << "row " << row;
        }
    }
}
