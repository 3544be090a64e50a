// OSM documents, line by line: what the reader draws from them, from small
// texts built here and from real excerpts.

#include "map/OsmReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <unistd.h>

using namespace pathlark;

namespace {

std::string node(int id, double lat, double lon)
{
    return "  <node id=\"" + std::to_string(id) + "\" lat=\"" + std::to_string(lat) + "\" lon=\"" + std::to_string(lon)
           + "\"/>\n";
}

std::string tag(const std::string& k, const std::string& v)
{
    return "    <tag k=\"" + k + "\" v=\"" + v + "\"/>\n";
}

std::string way(int id, std::initializer_list<int> refs, const std::string& tags = "")
{
    std::string text = "  <way id=\"" + std::to_string(id) + "\">\n";
    for (int ref : refs)
        text += "    <nd ref=\"" + std::to_string(ref) + "\"/>\n";
    return text + tags + "  </way>\n";
}

std::string member(int ref, const std::string& role, const std::string& type = "way")
{
    return "    <member type=\"" + type + "\" ref=\"" + std::to_string(ref) + "\" role=\"" + role + "\"/>\n";
}

std::string relation(const std::string& content)
{
    return "  <relation id=\"1\">\n" + content + "  </relation>\n";
}

// "Forest 9 closed [4 5]": category, points, closed, and the sizes of further rings; features separated by ", ".
std::string summary(const std::vector<MapFeature>& features)
{
    static const char* const names[] = {"None", "Motorway", "Primary", "Secondary", "Minor", "Service",
                                        "Path", "Railway", "Waterway", "Water", "Boundary", "Forest",
                                        "Grass", "Residential", "Commercial", "Parking", "Building"};
    std::string text;
    for (const MapFeature& f : features) {
        text += (text.empty() ? "" : ", ") + std::string(names[int(f.category)]) + " " + std::to_string(f.points.size())
                + (f.closed ? " closed" : "");
        for (std::size_t i = 0; i < f.rings.size(); ++i)
            text += (i ? " " : " [") + std::to_string(f.rings[i].size()) + (i + 1 == f.rings.size() ? "]" : "");
    }
    return text;
}

// What the reader makes of a whole document, or its error.
std::string readRaw(const std::string& text)
{
    try {
        return summary(readOsmText(text));
    } catch (const std::exception& error) {
        return std::string("error: ") + error.what();
    }
}

// The same for a document whose lines are given without the <osm> wrapper.
std::string read(const std::string& body)
{
    return readRaw("<?xml version='1.0' encoding='UTF-8'?>\n<osm version=\"0.6\">\n" + body + "</osm>\n");
}

std::string writeTemp(const std::string& text)
{
    const std::string path = testing::TempDir() + "pathlark-map-" + std::to_string(getpid()) + ".osm";
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// Nodes 1..4 at the corners of a unit square.
const std::string square = node(1, 0, 0) + node(2, 0, 1) + node(3, 1, 1) + node(4, 1, 0);

// A 3x3 grid of nodes 1..9, row by row: 1 2 3 / 4 5 6 / 7 8 9.
std::string gridNodes()
{
    std::string text;
    for (int i = 0; i < 9; ++i)
        text += node(i + 1, i / 3, i % 3);
    return text;
}

} // namespace

TEST(OsmReader, AttributesNumbersAndIds)
{
    const std::pair<const char*, const char*> ids[] = {
        {"<node id=\"12\" lat='4.5'/>", "12"}, {"<node uid=\"7\" id=\"3\"/>", "7"},  // even inside a longer name
        {"<node idx id=\"5\"/>", "5"},  // no "=": the search goes on
        {"<node id=12 lat=\"1\"/>", ""}, {"<node id=\"12/>", ""}, {"<node id=", ""}, {"<node id=\"12'/>", ""},
    };
    for (auto [line, expected] : ids)
        EXPECT_EQ(expected, readAttribute(line, "id")) << line;
    EXPECT_EQ("it's", readAttribute("<tag k=\"name\" v=\"it's\"/>", "v"));

    const std::pair<const char*, double> numbers[] = {{"47.1666716", 47.1666716}, {"-9.5", -9.5}, {".5", 0.5},
                                                      {"3.", 3.0}, {"1.5e-7", 1.5e-7}, {"2E+3", 2e3}};
    for (auto [text, value] : numbers)
        EXPECT_DOUBLE_EQ(value, parseXmlNumber(text)) << text;
    auto refusal = [](const std::string& text) {
        try {
            return "accepted " + std::to_string(parseXmlNumber(text));
        } catch (const std::invalid_argument& error) {
            return std::string(error.what());
        }
    };
    for (const char* text : {"+1.0", " 1.0", "1.0 ", "1,5", "0x1A", "inf", "nan", "-", ".", "", "1e", "1e+", "--1",
                             "1.2.3", "1e999"})
        EXPECT_EQ(refusal(text), std::string("Invalid XML number: ") + text);
    EXPECT_LT(refusal(std::string(100000, '9') + "x").size(), 200u) << "long text is shortened in the message";

    EXPECT_EQ(5, parseOsmId("  +5xyz"));
    EXPECT_EQ(std::numeric_limits<std::int64_t>::min(), parseOsmId("-9223372036854775808"));
    EXPECT_THROW(parseOsmId("9223372036854775808"), std::out_of_range);
    EXPECT_THROW(parseOsmId("-"), std::invalid_argument);
}

TEST(OsmReader, WaysFromTheLinesAsTheyCome)
{
    const std::string unterminated = "  <way id=\"10\">\n    <nd ref=\"1\"/>\n    <nd ref=\"2\"/>\n" + tag("highway", "path");
    const std::string water = "  <relation id=\"1\">\n" + member(10, "outer") + tag("type", "multipolygon")
                              + tag("natural", "water") + "  </relation>\n";
    const std::pair<std::string, std::string> cases[] = {
        {square + way(10, {1, 2, 3}, tag("highway", "residential") + tag("name", "Ring")), "Minor 3"},
        {square + way(10, {1, 2, 3, 1}, tag("building", "yes")), "Building 4 closed"},
        {square + way(10, {1, 1}, tag("building", "yes")), "Building 2"},  // same ends, but only two ids
        {square + way(10, {1, 2, 99, 3, 1}, tag("building", "yes")), "Building 4 closed"},  // closed by ids
        {way(-5, {-1, -2}, tag("railway", "rail")) + node(-1, 5, 5) + node(-2, 6, 6), "Railway 2"},
        // The first way with an id wins; id 0 or none is never stored.
        {square + way(10, {1, 2}, tag("highway", "path")) + way(10, {3, 4}, tag("railway", "rail"))
             + way(0, {1, 3}, tag("waterway", "river")) + "  <way version=\"2\">\n    <nd ref=\"1\"/>\n    <nd ref=\"4\"/>\n"
             + tag("waterway", "river") + "  </way>\n",
         "Path 2"},
        // A node without lon is skipped; a way left with one point is dropped.
        {node(1, 0, 0) + "  <node id=\"2\" lat=\"1\"/>\n" + node(3, 2, 2) + way(10, {1, 2}, tag("highway", "path"))
             + way(11, {1, 2, 3}, tag("highway", "path")),
         "Path 2"},
        {gridNodes() + way(100, {1, 2}, tag("natural", "beach")) + way(101, {1, 2})
             + way(102, {1, 60}, tag("highway", "path")) + way(103, {4, 5}, tag("boundary", "x")),
         "Boundary 2"},
        // A node line that also mentions a way is a node line.
        {square + "  <node id=\"9\" lat=\"0\" lon=\"0\"/><way id=\"5\">\n    <nd ref=\"1\"/>\n    <nd ref=\"2\"/>\n"
             + tag("highway", "path") + "  </way>\n",
         ""},
        // After a self-closing way the relation's lines are read as way content.
        {square + way(10, {1, 2, 3, 4, 1}) + "  <way id=\"11\"/>\n" + water, ""},
        {square + way(10, {1, 2, 3, 4, 1}) + water, "Water 5 closed"},
        {square + unterminated + way(11, {3, 4}, tag("railway", "rail")), "Railway 2"},  // the next way ends it
        {"  <node id=\"1\" lat=\"0\" lon=\"0\">\n" + tag("highway", "bus_stop") + "  </node>\n" + node(2, 1, 1), ""},
        {square + way(10, {1, 2}, tag("highway", "path") + tag("highway", "") + tag("waterway", "stream")),
         "Waterway 2"},  // a repeated key overwrites
        {"  <node id=\"1\" lat=\"+47.1\" lon=\"9\"/>\n", "error: Invalid XML number: +47.1"},
        {"  <node id=\"1\" lat=\"47\" lon=\"9,5\"/>\n", "error: Invalid XML number: 9,5"},
        {"  <node id=\"99999999999999999999\" lat=\"47\" lon=\"9\"/>\n", "error: stoll"},
        {"  <way id=\"1\">\n    <nd ref=\"--1\"/>\n  </way>\n", "error: stoll"},
        {"  <relation id=\"1\">\n    <member type=\"way\" ref=\"q\" role=\"\"/>\n", "error: stoll"},
        {"  <way id=\"1\">\n  <node id=\"1\" lat=\"+1\" lon=\"1\"/>\n  </way>\n", ""},  // not looked at inside a way
    };
    for (const auto& [body, expected] : cases)
        EXPECT_EQ(read(body), expected) << body;

    const std::pair<std::string, std::string> documents[] = {
        {"", "error: no OSM data in the file"},
        {std::string("\x1f\x8b\x08\x00\x00garbage\0\n\xff\xfe", 17), "error: no OSM data in the file"},
        {"<?xml version=\"1.0\"?>\n<gpx>\n<trk>\n</trk>\n</gpx>\n", "error: no OSM data in the file"},
        {"<osm/>", ""},
        {square + way(10, {1, 2}, tag("highway", "path")), "Path 2"},  // truncated, without any root
        {square + unterminated, ""},
        {"<osm><node id=\"1\" lat=\"1\" lon=\"1\"/><node id=\"2\" lat=\"2\" lon=\"2\"/><way id=\"5\"><nd ref=\"1\"/>"
         "<nd ref=\"2\"/><tag k=\"highway\" v=\"path\"/></way></osm>",
         ""},  // one line: the first matching test takes it
    };
    for (const auto& [text, expected] : documents)
        EXPECT_EQ(readRaw(text), expected) << text;

    // The later node with an id gives the position; names come through.
    auto features = readOsmText(node(1, 0, 0) + node(2, 1, 1) + way(10, {1, 2}, tag("name", "A &amp; B") + tag("highway", "path")) + node(1, 7, 8));
    ASSERT_EQ(features.size(), 1u);
    EXPECT_EQ(features[0].name, "A & B");
    EXPECT_EQ(std::pair(features[0].points[0].latitude, features[0].points[0].longitude), std::pair(7.0, 8.0));
    EXPECT_EQ(std::pair(features[0].points[1].latitude, features[0].points[1].longitude), std::pair(1.0, 1.0));
}

TEST(OsmReader, MultipolygonsBecomeAreasWithRings)
{
    const std::string mp = tag("type", "multipolygon");
    const std::string closedForest = way(100, {1, 3, 9, 7, 1}, tag("landuse", "forest"));
    const std::pair<std::string, std::string> cases[] = {
        // An outer ring split over three ways in mixed directions and a triangular hole; the
        // member tagged as forest is drawn by the relation only.
        {node(10, 0.9, 0.9) + node(11, 0.9, 1.1) + node(12, 1.1, 1.0) + way(100, {1, 2, 3})
             + way(101, {9, 6, 3}, tag("landuse", "forest")) + way(102, {9, 8, 7, 4, 1}) + way(103, {10, 11, 12, 10})
             + relation(member(101, "outer") + member(100, "") + member(102, "outer") + member(103, "inner")
                        + member(5, "label", "node") + mp + tag("landuse", "forest")),
         "Forest 9 closed [4]"},
        // Members that are no areas stay on the map.
        {way(100, {1, 3, 9, 7}, tag("highway", "track")) + way(101, {7, 1}, tag("landuse", "grass"))
             + relation(member(100, "outer") + member(101, "outer") + mp + tag("natural", "water")),
         "Path 4, Water 5 closed"},
        // Only area multipolygons make areas or hide members.
        {closedForest + relation(member(100, "outer") + tag("type", "route") + tag("landuse", "forest")), "Forest 5 closed"},
        {closedForest + relation(member(100, "outer") + mp + tag("boundary", "administrative")), "Forest 5 closed"},
        {closedForest + relation(member(100, "outer") + mp + tag("highway", "pedestrian")), "Forest 5 closed"},
        {closedForest + relation(member(100, "outer") + mp), "Forest 5 closed"},
        // Rings that do not close, lack points or have no outer ring: nothing.
        {way(100, {1, 3, 9}) + way(101, {9, 7}) + relation(member(100, "outer") + member(101, "outer") + mp
                                                            + tag("building", "yes")), ""},
        {way(100, {1, 3, 9}) + relation(member(100, "outer") + member(555, "outer") + mp + tag("building", "yes")), ""},
        {way(100, {1, 2, 77, 1}) + relation(member(100, "outer") + mp + tag("building", "yes")), ""},
        {way(100, {1, 3, 9, 1}) + relation(member(100, "inner") + mp + tag("building", "yes")), ""},
        {way(100, {1, 3, 9, 7, 1}) + way(101, {70, 71, 72, 70})
             + relation(member(100, "outer") + member(101, "inner") + mp + tag("leisure", "park")),
         "Grass 5 closed [0]"},  // a hole without known nodes stays empty
        // Outer rings before inner ones; the last outer member closes first and leads.
        {node(20, 5, 5) + node(21, 5, 6) + node(22, 6, 6) + way(100, {1, 3, 9, 7, 1}) + way(101, {20, 21, 22, 20})
             + way(102, {2, 6, 8, 2})
             + relation(member(102, "inner") + member(100, "outer") + member(101, "outer") + mp + tag("natural", "water")),
         "Water 4 closed [5 4]"},
    };
    for (const auto& [body, expected] : cases)
        EXPECT_EQ(read(gridNodes() + body), expected) << body;
}

// Real excerpts: each of the 12 ways with a highway key is a road, names are decoded,
// and the multipolygons the excerpts hold come out whole.
TEST(OsmReader, RealExcerpts)
{
    const struct {
        const char* file;
        std::size_t roads;
        MapCategory area;
        const char* areaSummary;
    } cases[] = {
        // Overpass: <note> and <meta> before <bounds>; the forest's last outer member leads,
        // three closed members without a role are further outer rings, four inner ones follow.
        {"north-bayreuth-2014_overpass_forest-excerpt.osm", 12, MapCategory::Forest,
         "Forest 669 closed [14 5 12 14 10 22 7]"},
        {"krems-2013_josm-single-quotes_excerpt.osm", 12, MapCategory::Parking, "Parking 6 closed [7]"},
    };
    for (const auto& c : cases) {
        std::size_t roads = 0;
        bool decoded = false;
        std::vector<MapFeature> areas;
        for (const MapFeature& feature : readOsmMap(std::string(PATHLARK_TEST_DATA_DIR) + "/osm/" + c.file)) {
            roads += feature.category >= MapCategory::Motorway && feature.category <= MapCategory::Path;
            decoded |= feature.name.find(" & ") != std::string::npos;
            EXPECT_EQ(feature.name.find("&amp;"), std::string::npos);
            if (feature.category == c.area && areas.empty())
                areas.push_back(feature);
        }
        EXPECT_EQ(roads, c.roads) << c.file;
        EXPECT_EQ(summary(areas), c.areaSummary) << c.file;
        EXPECT_TRUE(decoded) << c.file;
    }
}

TEST(OsmReader, FilesAreReadInLinesOfBoundedLength)
{
    EXPECT_THROW(readOsmMap(std::string(PATHLARK_TEST_DATA_DIR) + "/osm/no-such-map.osm"), OsmOpenError);
    EXPECT_THROW(readOsmMap(PATHLARK_TEST_DATA_DIR), OsmOpenError);

    // Only the head of an overlong line is looked at: the "</way>" past the
    // limit is not seen, so way 5 runs into way 6 and is dropped.
    std::string path = writeTemp("<osm version=\"0.6\">\n" + node(1, 1, 1) + node(2, 2, 2) + "  <way id=\"5\">\n"
                                 + "    <nd ref=\"1\"/>\n    <nd ref=\"2\"/>\n    <tag k=\"highway\" v=\"path\"/>"
                                 + std::string(OsmScanner::maxLineLength + 10, ' ') + "</way>\n"
                                 + way(6, {1, 2}, tag("railway", "rail")) + "</osm>");
    EXPECT_EQ(summary(readOsmMap(path)), "Railway 2");

    // Lines crossing the reader's buffer boundaries: 40,000 nodes, no final line break.
    std::string body = "<osm>\n", refs;
    for (int i = 0; i < 40000; ++i) {
        body += node(i + 1, i * 1e-4, i * 2e-4);
        refs += "    <nd ref=\"" + std::to_string(i + 1) + "\"/>\n";
    }
    body += "  <way id=\"1\">\n" + refs + tag("highway", "path") + "  </way>\n</osm>";
    path = writeTemp(body);
    auto fromFile = readOsmMap(path);
    std::remove(path.c_str());
    EXPECT_EQ(summary(fromFile), "Path 40000");
    EXPECT_DOUBLE_EQ(39999 * 2e-4, fromFile.at(0).points.back().longitude);
}
