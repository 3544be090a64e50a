#include "OsmText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

using namespace pathlark;
using namespace osmtext;

namespace {

const std::string dataDir = std::string(PATHLARK_TEST_DATA_DIR) + "/osm/";

// A 3x3 grid of nodes 1..9, row by row: 1 2 3 / 4 5 6 / 7 8 9.
std::string gridNodes()
{
    std::string text;
    for (int i = 0; i < 9; ++i)
        text += node(i + 1, i / 3, i % 3);
    return text;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// Ways in the text carrying the key, found by plain substring search over
// each <way ...> ... </way> block, independently of the reader.
std::size_t countWaysWithKey(const std::string& text, const std::string& keyAttribute)
{
    std::size_t count = 0;
    for (std::size_t begin = text.find("<way "); begin != std::string::npos; begin = text.find("<way ", begin + 1)) {
        std::size_t end = text.find("</way>", begin);
        if (end != std::string::npos && text.substr(begin, end - begin).find(keyAttribute) != std::string::npos)
            ++count;
    }
    return count;
}

} // namespace

TEST(MapBuild, MultipolygonFromSplitOuterWithHole)
{
    // Outer ring 1-3-9-7 split over three ways in mixed directions; inner 5 is
    // too small for a ring, so use a triangle around it instead.
    std::string body = gridNodes() + node(10, 0.9, 0.9) + node(11, 0.9, 1.1) + node(12, 1.1, 1.0)
        + way(100, {1, 2, 3}) + way(101, {9, 6, 3}, tag("landuse", "forest")) + way(102, {9, 8, 7, 4, 1})
        + way(103, {10, 11, 12, 10})
        + relation(member("way", 101, "outer") + member("way", 100, "") + member("way", 102, "outer")
                   + member("way", 103, "inner") + member("node", 5, "label") + tag("type", "multipolygon")
                   + tag("landuse", "forest") + tag("name", "Stadtwald"));
    auto features = read(body);
    // The member way tagged as forest is drawn by the relation only.
    ASSERT_EQ(1u, features.size());
    const MapFeature& forest = features[0];
    EXPECT_EQ(MapCategory::Forest, forest.category);
    EXPECT_EQ("Stadtwald", forest.name);
    EXPECT_TRUE(forest.closed);
    EXPECT_EQ(9u, forest.points.size());
    ASSERT_EQ(1u, forest.rings.size());
    EXPECT_EQ(4u, forest.rings[0].size());
    std::set<std::pair<double, double>> outer;
    for (const MapPoint& p : forest.points)
        outer.insert({p.latitude, p.longitude});
    EXPECT_EQ(8u, outer.size()); // every grid node but the centre
    EXPECT_EQ(0u, outer.count({1.0, 1.0}));
}

TEST(MapBuild, AreaMemberWaysThatAreNotAreasStayOnTheMap)
{
    std::string body = gridNodes() + way(100, {1, 3, 9, 7}, tag("highway", "track"))
        + way(101, {7, 1}, tag("landuse", "grass"))
        + relation(member("way", 100, "outer") + member("way", 101, "outer") + tag("type", "multipolygon")
                   + tag("natural", "water"));
    auto features = read(body);
    ASSERT_EQ(2u, features.size());
    EXPECT_EQ(MapCategory::Path, features[0].category);
    EXPECT_EQ(MapCategory::WaterArea, features[1].category);
    EXPECT_EQ(5u, features[1].points.size());
}

TEST(MapBuild, OnlyAreaMultipolygonsMakeAreasOrHideMembers)
{
    std::string closedForest = way(100, {1, 3, 9, 7, 1}, tag("landuse", "forest"));
    auto withType = [&](const std::string& type, const std::string& relationTags) {
        return read(gridNodes() + closedForest
                    + relation(member("way", 100, "outer") + tag("type", type) + relationTags));
    };
    // Routes, boundaries and multipolygons of line categories are ignored.
    for (auto features : {withType("route", tag("landuse", "forest")), withType("boundary", tag("boundary", "x")),
                          withType("multipolygon", tag("boundary", "administrative")),
                          withType("multipolygon", tag("highway", "pedestrian")),
                          withType("multipolygon", "")}) {
        ASSERT_EQ(1u, features.size());
        EXPECT_EQ(MapCategory::Forest, features[0].category);
        EXPECT_TRUE(features[0].rings.empty());
    }
}

TEST(MapBuild, MultipolygonThatDoesNotCloseOrLacksPointsIsDropped)
{
    std::string tags = tag("type", "multipolygon") + tag("building", "yes");
    EXPECT_TRUE(read(gridNodes() + way(100, {1, 3, 9}) + way(101, {9, 7})
                     + relation(member("way", 100, "outer") + member("way", 101, "outer") + tags))
                    .empty());
    // Missing member ways leave the ring open.
    EXPECT_TRUE(read(gridNodes() + way(100, {1, 3, 9}) + relation(member("way", 100, "outer")
                                                                   + member("way", 555, "outer") + tags))
                    .empty());
    // A closed ring whose nodes are absent keeps fewer than four points.
    EXPECT_TRUE(read(node(1, 0, 0) + node(2, 0, 1) + way(100, {1, 2, 77, 1})
                     + relation(member("way", 100, "outer") + tags))
                    .empty());
    // Only inner rings: nothing to fill.
    EXPECT_TRUE(read(gridNodes() + way(100, {1, 3, 9, 1}) + relation(member("way", 100, "inner") + tags)).empty());
}

TEST(MapBuild, InnerRingWithoutKnownNodesIsKeptEmpty)
{
    std::string body = gridNodes() + way(100, {1, 3, 9, 7, 1}) + way(101, {70, 71, 72, 70})
        + relation(member("way", 100, "outer") + member("way", 101, "inner") + tag("type", "multipolygon")
                   + tag("leisure", "park"));
    auto features = read(body);
    ASSERT_EQ(1u, features.size());
    ASSERT_EQ(1u, features[0].rings.size());
    EXPECT_TRUE(features[0].rings[0].empty());
}

TEST(MapBuild, SeveralOuterRingsComeBeforeInnerRings)
{
    std::string body = gridNodes() + node(20, 5, 5) + node(21, 5, 6) + node(22, 6, 6)
        + way(100, {1, 3, 9, 7, 1}) + way(101, {20, 21, 22, 20}) + way(102, {2, 6, 8, 2})
        + relation(member("way", 102, "inner") + member("way", 100, "outer") + member("way", 101, "outer")
                   + tag("type", "multipolygon") + tag("natural", "water"));
    auto features = read(body);
    ASSERT_EQ(1u, features.size());
    // The last outer member closes first and becomes the main ring.
    EXPECT_DOUBLE_EQ(5.0, features[0].points[0].latitude);
    ASSERT_EQ(2u, features[0].rings.size());
    EXPECT_EQ(5u, features[0].rings[0].size()); // the square
    EXPECT_EQ(4u, features[0].rings[1].size()); // the hole
}

TEST(MapBuild, WaysWithoutCategoryOrPointsAreSkipped)
{
    auto features = read(gridNodes() + way(100, {1, 2}, tag("natural", "beach")) + way(101, {1, 2})
                         + way(102, {1, 60}, tag("highway", "path")) + way(103, {4, 5}, tag("boundary", "x")));
    ASSERT_EQ(1u, features.size());
    EXPECT_EQ(MapCategory::Boundary, features[0].category);
    EXPECT_TRUE(features[0].boundary);
}

namespace {

// The real excerpts against counts taken from their text: every way with a
// highway key is a road, and no name keeps an escaped ampersand.
std::vector<MapFeature> readRealExcerpt(const std::string& name, const std::string& highwayKey)
{
    std::string path = dataDir + name;
    std::size_t highwayWays = countWaysWithKey(readFile(path), highwayKey);
    EXPECT_GT(highwayWays, 0u) << name;
    auto features = readOsmMap(path);
    std::size_t roads = 0;
    bool decoded = false;
    for (const MapFeature& feature : features) {
        auto value = static_cast<std::uint32_t>(feature.category);
        roads += value >= 1 && value <= 6;
        EXPECT_EQ(std::string::npos, feature.name.find("&amp;")) << feature.name;
        decoded |= feature.name.find(" & ") != std::string::npos;
    }
    EXPECT_EQ(highwayWays, roads) << name;
    EXPECT_TRUE(decoded) << name;
    return features;
}

const MapFeature* firstOf(const std::vector<MapFeature>& features, MapCategory category)
{
    auto found = std::find_if(features.begin(), features.end(),
                              [category](const MapFeature& f) { return f.category == category; });
    return found == features.end() ? nullptr : &*found;
}

} // namespace

TEST(OsmFile, ReadsRealOverpassExcerpt)
{
    // Overpass answer: <note> and <meta> before <bounds>, double quotes.
    auto features = readRealExcerpt("north-bayreuth-2014_overpass_forest-excerpt.osm", "k=\"highway\"");
    EXPECT_EQ(1, std::count_if(features.begin(), features.end(),
                               [](const MapFeature& f) { return f.category == MapCategory::Forest; }));
    // The forest relation as the excerpt holds it: the outer way (669 nodes,
    // the last outer member, so the main ring), three closed members without
    // a role (further outer rings) and four closed inner ways.
    const MapFeature* forest = firstOf(features, MapCategory::Forest);
    ASSERT_NE(nullptr, forest);
    EXPECT_EQ(669u, forest->points.size());
    ASSERT_EQ(3u + 4u, forest->rings.size());
    for (const auto& ring : forest->rings) {
        ASSERT_GE(ring.size(), 4u);
        EXPECT_TRUE(ring.front().latitude == ring.back().latitude && ring.front().longitude == ring.back().longitude);
    }
}

TEST(OsmFile, ReadsRealSingleQuotedExcerpt)
{
    auto features = readRealExcerpt("krems-2013_josm-single-quotes_excerpt.osm", "k='highway'");
    for (const MapFeature& feature : features) {
        for (const MapPoint& p : feature.points) {
            EXPECT_NEAR(48.4, p.latitude, 0.1);
            EXPECT_NEAR(15.7, p.longitude, 0.2);
        }
    }
    // The parking multipolygon: a closed outer way of 6 nodes with a closed
    // inner way of 7 nodes.
    const MapFeature* parking = firstOf(features, MapCategory::Parking);
    ASSERT_NE(nullptr, parking);
    EXPECT_EQ(6u, parking->points.size());
    ASSERT_EQ(1u, parking->rings.size());
    EXPECT_EQ(7u, parking->rings[0].size());
}

TEST(OsmFile, MissingFileOrDirectoryCannotBeOpened)
{
    EXPECT_THROW(readOsmMap(dataDir + "no-such-map.osm"), OsmOpenError);
    EXPECT_THROW(readOsmMap(dataDir), OsmOpenError);
    try {
        readOsmMap("/nonexistent/map.osm");
    } catch (const OsmOpenError& error) {
        EXPECT_STREQ("/nonexistent/map.osm", error.what());
    }
}

TEST(OsmFile, LinesLongerThanTheLimitAreCut)
{
    // A file without line breaks must not be buffered whole: only the head
    // of the line is looked at.
    std::string path = testing::TempDir() + "pathlark-long-line.osm";
    {
        std::ofstream out(path, std::ios::binary);
        out << "<osm version=\"0.6\">\n  <node id=\"1\" lat=\"1\" lon=\"1\"/>\n  <node id=\"2\" lat=\"2\" lon=\"2\"/>\n";
        out << "  <way id=\"5\">\n    <nd ref=\"1\"/>\n    <nd ref=\"2\"/>\n    <tag k=\"highway\" v=\"path\"/>";
        out << std::string(OsmScanner::maxLineLength + 10, ' ') << "</way>\n";
        out << "  <way id=\"6\">\n    <nd ref=\"1\"/>\n    <nd ref=\"2\"/>\n";
        out << "    <tag k=\"railway\" v=\"rail\"/>\n  </way>\n</osm>";
    }
    auto features = readOsmMap(path);
    std::remove(path.c_str());
    // The "</way>" beyond the limit is not seen, so way 5 runs into way 6 and is dropped.
    ASSERT_EQ(1u, features.size());
    EXPECT_EQ(MapCategory::Railway, features[0].category);
}

TEST(OsmFile, LineSplittingDoesNotDependOnChunkBoundaries)
{
    // Lines crossing the reader's internal buffer boundaries read the same as
    // in-memory text: a file of many nodes, all of which must arrive.
    std::string body;
    for (int i = 0; i < 40000; ++i)
        body += node(i + 1, i * 1e-4, i * 2e-4);
    body += "  <way id=\"1\">\n";
    for (int i = 0; i < 40000; ++i)
        body += "    <nd ref=\"" + std::to_string(i + 1) + "\"/>\n";
    body += tag("highway", "path") + "  </way>";
    std::string text = "<osm>\n" + body + "\n</osm>"; // no final line break
    std::string path = testing::TempDir() + "pathlark-chunks.osm";
    {
        std::ofstream out(path, std::ios::binary);
        out << text;
    }
    auto fromFile = readOsmMap(path);
    std::remove(path.c_str());
    ASSERT_EQ(1u, fromFile.size());
    ASSERT_EQ(40000u, fromFile[0].points.size());
    EXPECT_DOUBLE_EQ(39999 * 2e-4, fromFile[0].points.back().longitude);
    EXPECT_EQ(40000u, readOsmText(text)[0].points.size());
}
