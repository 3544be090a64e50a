#include "OsmText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace pathlark;
using namespace osmtext;

namespace {

// Nodes 1..4 at the corners of a unit square.
std::string squareNodes()
{
    return node(1, 0, 0) + node(2, 0, 1) + node(3, 1, 1) + node(4, 1, 0);
}

std::string errorOf(const std::string& body)
{
    try {
        read(body);
    } catch (const std::exception& error) {
        return error.what();
    }
    return "no error";
}

} // namespace

TEST(ReadAttribute, FirstQuotedOccurrenceOrEmpty)
{
    const std::pair<const char*, const char*> idCases[] = {
        {"<node id=\"12\" lat='4.5'/>", "12"}, {"<node uid=\"7\" id=\"3\"/>", "7"}, // even inside a longer name
        {"<node id=\"3\" uid=\"7\"/>", "3"}, {"<node idx id=\"5\"/>", "5"}, // no "=": the search goes on
        {"<node id=12 lat=\"1\"/>", ""}, {"<node id=\"12/>", ""}, {"<node lat=\"1\"/>", ""},
        {"<node id=", ""}, {"", ""}, {"<node id=\"12'/>", ""}, // quotes must match
    };
    for (auto [line, expected] : idCases)
        EXPECT_EQ(expected, readAttribute(line, "id")) << line;
    EXPECT_EQ("4.5", readAttribute("<node id=\"12\" lat='4.5'/>", "lat"));
    EXPECT_EQ("it's", readAttribute("<tag k=\"name\" v=\"it's\"/>", "v"));
    EXPECT_EQ("", readAttribute("<tag k=\"name\" v=\"\"/>", "v"));
}

TEST(ParseXmlNumber, AcceptsPlainAndExponentNotation)
{
    EXPECT_DOUBLE_EQ(47.1666716, parseXmlNumber("47.1666716"));
    EXPECT_DOUBLE_EQ(-9.5, parseXmlNumber("-9.5"));
    EXPECT_DOUBLE_EQ(12.0, parseXmlNumber("12"));
    EXPECT_DOUBLE_EQ(0.5, parseXmlNumber(".5"));
    EXPECT_DOUBLE_EQ(3.0, parseXmlNumber("3."));
    EXPECT_DOUBLE_EQ(1.5e-7, parseXmlNumber("1.5e-7"));
    EXPECT_DOUBLE_EQ(2e3, parseXmlNumber("2E+3"));
}

TEST(ParseXmlNumber, RejectsEverythingElseWithTheText)
{
    const char* bad[] = {"+1.0", " 1.0", "1.0 ", "1,5", "0x1A", "inf", "nan", "-", ".", "", "1e", "1e+", "--1",
                         "1.2.3", "1e999"};
    for (const char* text : bad) {
        try {
            parseXmlNumber(text);
            ADD_FAILURE() << "accepted \"" << text << '"';
        } catch (const std::invalid_argument& error) {
            EXPECT_EQ(std::string("Invalid XML number: ") + text, error.what());
        }
    }
}

TEST(ParseXmlNumber, LongTextIsShortenedInTheMessage)
{
    std::string text(100000, '9');
    text += "x";
    try {
        parseXmlNumber(text);
        ADD_FAILURE();
    } catch (const std::invalid_argument& error) {
        EXPECT_LT(std::string(error.what()).size(), 200u);
    }
}

TEST(ParseOsmId, FollowsTheLibraryIntegerRule)
{
    EXPECT_EQ(42, parseOsmId("42"));
    EXPECT_EQ(-17, parseOsmId("-17"));
    EXPECT_EQ(5, parseOsmId("  +5xyz"));
    EXPECT_EQ(std::numeric_limits<std::int64_t>::max(), parseOsmId("9223372036854775807"));
    EXPECT_EQ(std::numeric_limits<std::int64_t>::min(), parseOsmId("-9223372036854775808"));
    EXPECT_THROW(parseOsmId("9223372036854775808"), std::out_of_range);
    EXPECT_THROW(parseOsmId("-9223372036854775809"), std::out_of_range);
    EXPECT_THROW(parseOsmId("abc"), std::invalid_argument);
    EXPECT_THROW(parseOsmId("-"), std::invalid_argument);
    try {
        parseOsmId("x1");
    } catch (const std::exception& error) {
        EXPECT_STREQ("stoll", error.what());
    }
}

TEST(OsmScanner, ReadsWaysWithTagsAndResolvedPoints)
{
    auto features = read(squareNodes() + way(10, {1, 2, 3}, tag("highway", "residential") + tag("name", "Ring")));
    ASSERT_EQ(1u, features.size());
    const MapFeature& road = features[0];
    EXPECT_EQ(MapCategory::MinorRoad, road.category);
    EXPECT_EQ("Ring", road.name);
    EXPECT_FALSE(road.closed);
    ASSERT_EQ(3u, road.points.size());
    EXPECT_DOUBLE_EQ(1.0, road.points[2].latitude);
    EXPECT_DOUBLE_EQ(1.0, road.points[2].longitude);
}

TEST(OsmScanner, ClosedNeedsMoreThanTwoRefsWithSameEnds)
{
    auto closedOf = [](std::initializer_list<int> refs) {
        auto features = read(squareNodes() + way(10, refs, tag("building", "yes")));
        return features.empty() ? std::string("dropped") : features[0].closed ? "closed" : "open";
    };
    EXPECT_EQ("closed", closedOf({1, 2, 3, 1}));
    EXPECT_EQ("open", closedOf({1, 2, 3}));
    EXPECT_EQ("open", closedOf({1, 1})); // same ends, but only two ids
    // The test is made on ids: a missing node does not reopen the way.
    EXPECT_EQ("closed", closedOf({1, 2, 99, 3, 1}));
}

TEST(OsmScanner, ElementsMayComeInAnyOrderAndIdsMayBeNegative)
{
    auto features = read(way(-5, {-1, -2}, tag("railway", "rail")) + node(-1, 5, 5) + node(-2, 6, 6));
    ASSERT_EQ(1u, features.size());
    EXPECT_EQ(MapCategory::Railway, features[0].category);
    EXPECT_EQ(2u, features[0].points.size());
}

TEST(OsmScanner, LaterNodeWithSameIdWins)
{
    auto features = read(node(1, 0, 0) + node(2, 1, 1) + way(10, {1, 2}, tag("highway", "path")) + node(1, 7, 8));
    ASSERT_EQ(1u, features.size());
    EXPECT_DOUBLE_EQ(7.0, features[0].points[0].latitude);
    EXPECT_DOUBLE_EQ(8.0, features[0].points[0].longitude);
}

TEST(OsmScanner, FirstWayWithAnIdWinsAndIdZeroIsNeverStored)
{
    auto features = read(squareNodes() + way(10, {1, 2}, tag("highway", "path"))
                         + way(10, {3, 4}, tag("railway", "rail")) + way(0, {1, 3}, tag("waterway", "river"))
                         + "  <way version=\"2\">\n    <nd ref=\"1\"/>\n    <nd ref=\"4\"/>\n"
                         + tag("waterway", "river") + "  </way>\n");
    ASSERT_EQ(1u, features.size());
    EXPECT_EQ(MapCategory::Path, features[0].category);
}

TEST(OsmScanner, NodesMissingAnAttributeAreSkippedAndWaysThinOut)
{
    std::string body = node(1, 0, 0) + "  <node id=\"2\" lat=\"1\"/>\n" + node(3, 2, 2) + node(4, 3, 3)
        + way(10, {1, 2}, tag("highway", "path")) + way(11, {1, 2, 3}, tag("highway", "path"));
    auto features = read(body);
    ASSERT_EQ(1u, features.size()); // way 10 keeps one point
    EXPECT_EQ(2u, features[0].points.size());
}

TEST(OsmScanner, OneElementPerLine)
{
    // A document on one line: the first matching test takes the line.
    std::string oneLine = "<osm version=\"0.6\"><node id=\"1\" lat=\"1\" lon=\"1\"/><node id=\"2\" lat=\"2\" "
                          "lon=\"2\"/><way id=\"5\"><nd ref=\"1\"/><nd ref=\"2\"/><tag k=\"highway\" "
                          "v=\"path\"/></way></osm>";
    EXPECT_TRUE(readOsmText(oneLine).empty());
    // A node line that also mentions a way is a node line.
    EXPECT_TRUE(read(squareNodes() + "  <node id=\"9\" lat=\"0\" lon=\"0\"/><way id=\"5\">\n    <nd ref=\"1\"/>\n"
                     + "    <nd ref=\"2\"/>\n" + tag("highway", "path") + "  </way>\n")
                    .empty());
}

TEST(OsmScanner, SelfClosingWayKeepsTheScannerInsideAWay)
{
    std::string relation = "  <relation id=\"1\">\n    <member type=\"way\" ref=\"10\" role=\"outer\"/>\n"
        + tag("type", "multipolygon") + tag("natural", "water") + "  </relation>\n";
    std::string closedWay = way(10, {1, 2, 3, 4, 1}, "");
    // After "<way id=11/>" the relation lines are read as way content and
    // ignored, so the water area never appears.
    auto hidden = read(squareNodes() + closedWay + "  <way id=\"11\"/>\n" + relation);
    EXPECT_TRUE(hidden.empty());
    auto shown = read(squareNodes() + closedWay + relation);
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ(MapCategory::WaterArea, shown[0].category);
}

TEST(OsmScanner, WayWithoutEndIsDroppedByTheNextWay)
{
    std::string unterminated = "  <way id=\"10\">\n    <nd ref=\"1\"/>\n    <nd ref=\"2\"/>\n" + tag("highway", "path");
    auto features = read(squareNodes() + unterminated + way(11, {3, 4}, tag("railway", "rail")));
    ASSERT_EQ(1u, features.size());
    EXPECT_EQ(MapCategory::Railway, features[0].category);
    // At end of input an open way is dropped too.
    EXPECT_TRUE(readOsmText("<osm>\n" + squareNodes() + unterminated).empty());
}

TEST(OsmScanner, NodeTagsAndRepeatedKeys)
{
    // Tags at top level belong to nodes and are never read.
    std::string nodeWithTag = "  <node id=\"1\" lat=\"0\" lon=\"0\">\n" + tag("highway", "bus_stop") + "  </node>\n";
    EXPECT_TRUE(read(nodeWithTag + node(2, 1, 1)).empty());
    // A repeated key overwrites, also with an empty value.
    auto features = read(squareNodes() + way(10, {1, 2}, tag("highway", "path") + tag("highway", "")
                                                          + tag("waterway", "stream")));
    ASSERT_EQ(1u, features.size());
    EXPECT_EQ(MapCategory::Waterway, features[0].category);
}

TEST(OsmScanner, BadNumbersAndIdsFailTheWholeRead)
{
    EXPECT_EQ("Invalid XML number: +47.1", errorOf("  <node id=\"1\" lat=\"+47.1\" lon=\"9\"/>\n"));
    EXPECT_EQ("Invalid XML number: 9,5", errorOf("  <node id=\"1\" lat=\"47\" lon=\"9,5\"/>\n"));
    EXPECT_EQ("stoll", errorOf("  <node id=\"abc\" lat=\"47\" lon=\"9\"/>\n"));
    EXPECT_EQ("stoll", errorOf("  <node id=\"99999999999999999999\" lat=\"47\" lon=\"9\"/>\n"));
    EXPECT_EQ("stoll", errorOf("  <way id=\"x\">\n"));
    EXPECT_EQ("stoll", errorOf("  <way id=\"1\">\n    <nd ref=\"--1\"/>\n  </way>\n"));
    EXPECT_EQ("stoll", errorOf("  <relation id=\"1\">\n    <member type=\"way\" ref=\"q\" role=\"\"/>\n"));
    // Number checks apply only where the scanner looks: not inside a way.
    EXPECT_EQ("no error", errorOf("  <way id=\"1\">\n  <node id=\"1\" lat=\"+1\" lon=\"1\"/>\n  </way>\n"));
}

TEST(OsmScanner, InputThatIsNoMapAtAllIsRefused)
{
    EXPECT_THROW(readOsmText(""), std::runtime_error);
    EXPECT_THROW(readOsmText(std::string("\x1f\x8b\x08\x00\x00garbage\0\n\xff\xfe", 17)), std::runtime_error);
    EXPECT_THROW(readOsmText("<?xml version=\"1.0\"?>\n<gpx>\n<trk>\n</trk>\n</gpx>\n"), std::runtime_error);
    // An empty but well-formed document is an empty map.
    EXPECT_TRUE(readOsmText("<?xml version='1.0'?>\n<osm version=\"0.6\">\n</osm>\n").empty());
    EXPECT_TRUE(readOsmText("<osm/>").empty());
    // So is a document truncated after some elements, without any root.
    EXPECT_EQ(1u, readOsmText(squareNodes() + way(10, {1, 2}, tag("highway", "path"))).size());
}
