#include "map/MapFeature.h"

#include <gtest/gtest.h>

#include <algorithm>
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

TEST(Classification, HighwayValuesAreMatchedExactly)
{
    EXPECT_EQ(MapCategory::Motorway, classifyFeature({{"highway", "trunk_link"}}));
    EXPECT_EQ(MapCategory::SecondaryRoad, classifyFeature({{"highway", "tertiary_link"}}));
    EXPECT_EQ(MapCategory::MinorRoad, classifyFeature({{"highway", "living_street"}}));
    // Anything else that is not empty is a path, even a misspelt motorway.
    EXPECT_EQ(MapCategory::Path, classifyFeature({{"highway", "Motorway"}}));
    EXPECT_EQ(MapCategory::Path, classifyFeature({{"highway", "proposed"}}));
}

TEST(Classification, FirstMatchingRuleDecides)
{
    EXPECT_EQ(MapCategory::Path, classifyFeature({{"highway", "footway"}, {"building", "yes"}}));
    EXPECT_EQ(MapCategory::Railway, classifyFeature({{"railway", "rail"}, {"waterway", "canal"}}));
    EXPECT_EQ(MapCategory::Waterway, classifyFeature({{"waterway", "river"}, {"natural", "water"}}));
    EXPECT_EQ(MapCategory::WaterArea, classifyFeature({{"natural", "water"}, {"building", "yes"}}));
    EXPECT_EQ(MapCategory::Building, classifyFeature({{"amenity", "parking"}, {"building", "yes"}}));
    EXPECT_EQ(MapCategory::Parking, classifyFeature({{"amenity", "parking"}, {"landuse", "forest"}}));
    EXPECT_EQ(MapCategory::Forest, classifyFeature({{"landuse", "forest"}, {"boundary", "administrative"}}));
    EXPECT_EQ(MapCategory::Forest, classifyFeature({{"natural", "wood"}, {"leisure", "park"}}));
    EXPECT_EQ(MapCategory::Grass, classifyFeature({{"leisure", "garden"}, {"landuse", "residential"}}));
    EXPECT_EQ(MapCategory::ResidentialArea, classifyFeature({{"landuse", "residential"}, {"boundary", "x"}}));
    EXPECT_EQ(MapCategory::CommercialArea, classifyFeature({{"landuse", "construction"}}));
    EXPECT_EQ(MapCategory::Boundary, classifyFeature({{"boundary", "administrative"}}));
}

TEST(Classification, EmptyAndUnknownValuesFallThrough)
{
    EXPECT_EQ(MapCategory::Building, classifyFeature({{"highway", ""}, {"building", "yes"}}));
    EXPECT_EQ(MapCategory::None, classifyFeature({{"railway", ""}, {"boundary", ""}}));
    EXPECT_EQ(MapCategory::WaterArea, classifyFeature({{"natural", "bay"}}));
    EXPECT_EQ(MapCategory::WaterArea, classifyFeature({{"landuse", "basin"}}));
    EXPECT_EQ(MapCategory::None, classifyFeature({{"natural", "beach"}}));
    EXPECT_EQ(MapCategory::None, classifyFeature({{"amenity", "school"}}));
    EXPECT_EQ(MapCategory::None, classifyFeature({{"Building", "yes"}}));
    EXPECT_EQ(MapCategory::None, classifyFeature({}));
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

TEST(FeatureTags, LeavesGeometryAlone)
{
    MapFeature feature;
    feature.points = {{1.0, 2.0}, {3.0, 4.0}};
    feature.closed = true;
    applyFeatureTags(feature, {{"highway", "service"}});
    EXPECT_EQ(MapCategory::ServiceRoad, feature.category);
    EXPECT_EQ(2u, feature.points.size());
    EXPECT_TRUE(feature.closed);
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

TEST(NameDecoding, OtherValuesAreComparedAsRead)
{
    // Only the stored name is decoded; classification sees the raw text.
    EXPECT_EQ(MapCategory::Path, classifyFeature({{"highway", "&#115;ervice"}}));
}

TEST(DrawOrder, LevelKeySeparatesTunnelPlainBridgeWithinLayer)
{
    auto key = [](std::int32_t layer, bool tunnel, bool bridge) {
        MapFeature feature;
        feature.layer = layer;
        feature.tunnel = tunnel;
        feature.bridge = bridge;
        return drawOrderKey(feature).levelKey;
    };
    EXPECT_EQ(0, key(0, false, false));
    EXPECT_EQ(1, key(0, false, true));
    EXPECT_EQ(2, key(1, true, false));
    EXPECT_EQ(2, key(1, true, true)); // tunnel wins
    EXPECT_EQ(3, key(1, false, false));
    EXPECT_EQ(-31, key(-10, true, false));
    EXPECT_EQ(31, key(10, false, true));
}

TEST(DrawOrder, CategoryTiersPaintLandFirstAndRoadsLast)
{
    auto tier = [](MapCategory category) {
        MapFeature feature;
        feature.category = category;
        return drawOrderKey(feature).categoryTier;
    };
    EXPECT_EQ(0, tier(MapCategory::Forest));
    EXPECT_EQ(0, tier(MapCategory::CommercialArea));
    EXPECT_EQ(1, tier(MapCategory::WaterArea));
    EXPECT_EQ(2, tier(MapCategory::Parking));
    EXPECT_EQ(3, tier(MapCategory::Building));
    EXPECT_EQ(4, tier(MapCategory::Waterway));
    EXPECT_EQ(4, tier(MapCategory::Boundary));
    EXPECT_EQ(5, tier(MapCategory::Railway));
    EXPECT_EQ(6, tier(MapCategory::Motorway));
    EXPECT_EQ(6, tier(MapCategory::Path));
    EXPECT_EQ(6, tier(MapCategory::None));
}

TEST(DrawOrder, StableSortStacksLayersAboveCategories)
{
    std::vector<MapFeature> features(5);
    features[0].category = MapCategory::Motorway;     // road, layer 0
    features[1].category = MapCategory::Forest;       // land, layer 0
    features[2].category = MapCategory::Forest;       // land on layer 1 beats the road below
    features[2].layer = 1;
    features[3].category = MapCategory::Motorway;     // bridge on layer 0
    features[3].bridge = true;
    features[4].category = MapCategory::Building;     // tunnel on layer 1
    features[4].tunnel = true;
    features[4].layer = 1;
    for (std::size_t i = 0; i < features.size(); ++i)
        features[i].name = std::to_string(i);

    std::stable_sort(features.begin(), features.end(),
                     [](const MapFeature& a, const MapFeature& b) { return drawOrderKey(a) < drawOrderKey(b); });
    std::vector<std::string> order;
    for (const MapFeature& feature : features)
        order.push_back(feature.name);
    EXPECT_EQ((std::vector<std::string>{"1", "0", "3", "4", "2"}), order);
}
