#include "app/PathlarkEngine.h"

#include "app/CommandLine.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

using namespace pathlark;

namespace {

const std::string excerpt = std::string(PATHLARK_TEST_DATA_DIR) + "/osm/krems-2013_josm-single-quotes_excerpt.osm";

std::string writeTemp(const std::string& name, const std::string& content)
{
    std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

const std::string twoRoads = "<osm version=\"0.6\">\n"
                             "  <node id=\"1\" lat=\"47.1\" lon=\"9.5\"/>\n"
                             "  <node id=\"2\" lat=\"47.2\" lon=\"9.6\"/>\n"
                             "  <way id=\"10\">\n    <nd ref=\"1\"/>\n    <nd ref=\"2\"/>\n"
                             "    <tag k=\"highway\" v=\"primary\"/>\n  </way>\n"
                             "  <way id=\"11\">\n    <nd ref=\"2\"/>\n    <nd ref=\"1\"/>\n"
                             "    <tag k=\"railway\" v=\"rail\"/>\n  </way>\n"
                             "</osm>\n";

class MapLoading : public testing::Test {
protected:
    // Loads the two-road map and checks it is the one the engine holds.
    void loadGoodMap()
    {
        goodPath = writeTemp("pathlark-two-roads.osm", twoRoads);
        engine.loadOsmMap(goodPath);
        ASSERT_EQ(2u, engine.mapFeatures.size());
        revision = engine.mapRevision;
    }

    void expectGoodMapShown()
    {
        EXPECT_EQ(2u, engine.mapFeatures.size());
        EXPECT_EQ(goodPath, engine.mapPath);
        EXPECT_EQ(revision, engine.mapRevision);
        EXPECT_EQ("pathlark-two-roads.osm  |  2 map ways", engine.mapLabelText);
    }

    PathlarkEngine engine;
    std::string goodPath;
    std::uint64_t revision = 0;
};

} // namespace

TEST_F(MapLoading, PublishesFeaturesPathRevisionAndTexts)
{
    EXPECT_EQ(0u, engine.mapRevision);
    loadGoodMap();
    expectGoodMapShown();
    EXPECT_EQ(1u, engine.mapRevision);
    EXPECT_EQ(MapCategory::PrimaryRoad, engine.mapFeatures[0].category);
    EXPECT_EQ("pathlark-two-roads.osm  |  2 map ways loaded", engine.statusText);

    // Every load replaces the list whole and counts.
    engine.loadOsmMap(excerpt);
    EXPECT_EQ(excerpt, engine.mapPath);
    EXPECT_EQ(2u, engine.mapRevision);
    EXPECT_GT(engine.mapFeatures.size(), 2u);
    EXPECT_EQ("krems-2013_josm-single-quotes_excerpt.osm  |  " + std::to_string(engine.mapFeatures.size())
                  + " map ways loaded",
              engine.statusText);
}

TEST_F(MapLoading, EmptyDocumentReplacesTheMapWithNothing)
{
    loadGoodMap();
    std::string path = writeTemp("pathlark-empty.osm", "<?xml version='1.0'?>\n<osm version=\"0.6\">\n</osm>\n");
    engine.loadOsmMap(path);
    EXPECT_TRUE(engine.mapFeatures.empty());
    EXPECT_EQ(path, engine.mapPath);
    EXPECT_EQ(revision + 1, engine.mapRevision);
    EXPECT_EQ("pathlark-empty.osm  |  0 map ways loaded", engine.statusText);
    std::remove(path.c_str());
}

TEST_F(MapLoading, FailedLoadsChangeNothingButTheStatus)
{
    loadGoodMap();
    engine.loadOsmMap("/nonexistent/dir/map.osm");
    EXPECT_EQ("Could not open OSM map: /nonexistent/dir/map.osm", engine.statusText);
    expectGoodMapShown();
    // A FIFO would block the reader for good and /dev/zero never end: neither is opened.
    const std::string fifo = testing::TempDir() + "pathlark-map-fifo.osm";
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {testing::TempDir(), fifo, std::string("/dev/zero")}) {
        engine.loadOsmMap(path);
        EXPECT_EQ("Not a regular file: " + path, engine.statusText);
        expectGoodMapShown();
    }
    std::remove(fifo.c_str());
    const std::pair<const char*, const char*> broken[] = {
        {"<osm>\n  <node id=\"3\" lat=\"+47.1\" lon=\"9\"/>\n</osm>\n", "Invalid OSM map: Invalid XML number: +47.1"},
        {"<osm>\n  <node id=\"3\" lat=\"47,1\" lon=\"9\"/>\n</osm>\n", "Invalid OSM map: Invalid XML number: 47,1"},
        {"<osm>\n  <way id=\"99999999999999999999\">\n</osm>\n", "Invalid OSM map: stoll"},
        {"\x1f\x8b\x08\x00 not a map \xff\n", "Invalid OSM map: no OSM data in the file"},
        {"", "Invalid OSM map: no OSM data in the file"},
    };
    for (auto [content, status] : broken) {
        std::string path = writeTemp("pathlark-broken.osm", content);
        engine.loadOsmMap(path);
        EXPECT_EQ(status, engine.statusText);
        expectGoodMapShown();
        std::remove(path.c_str());
    }
}

TEST_F(MapLoading, StartWithoutArgumentsLoadsTheDefaultMapCandidate)
{
    namespace fs = std::filesystem;
    fs::path directory = fs::path(testing::TempDir()) / "pathlark-default-map";
    fs::create_directories(directory);
    std::ofstream(directory / "map.osm", std::ios::binary) << twoRoads;
    fs::path previous = fs::current_path();
    fs::current_path(directory);
    engine.loadFirstData(CommandLine{});
    fs::current_path(previous);
    fs::remove_all(directory);

    EXPECT_EQ("map.osm", engine.mapPath);
    EXPECT_EQ(2u, engine.mapFeatures.size());
    EXPECT_EQ(1u, engine.mapRevision);
}
