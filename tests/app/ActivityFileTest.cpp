// FIT and TCX files open where GPX files do, with the map beside them.

#include "AppTestSupport.h"

#include "track/Gpx.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

using namespace apptest;
using ActivityFiles = Application;

namespace {

std::string dataFile(const std::string& name)
{
    std::ifstream file(std::string(PATHLARK_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

} // namespace

TEST_F(ActivityFiles, OpenByExtensionInAnyCaseWithTheirMaps)
{
    // Cut in half: what lies before the cut is shown, and the damage said.
    const std::string fit = dataFile("fit/2013-02-06-12-11-14.fit");
    const std::string ride = write("ride.FIT", fit.substr(0, fit.size() / 2));
    write("ride.osm", smallMap);
    start({ ride });
    ASSERT_TRUE(engine->gpx);
    EXPECT_EQ(engine->gpxPath, ride);
    EXPECT_EQ(engine->mapPath, (dir / "ride.osm").string());
    const int points = engine->gpx->getTrack(0)->getWayPointCount();
    EXPECT_GT(points, 100);
    EXPECT_LT(points, 583);
    EXPECT_EQ(status(), "ride.FIT  |  the file is damaged: " + std::to_string(points) + " points read");

    const std::string paddle = write("paddle.Tcx", dataFile("tcx/sup_activity_1.tcx"));
    write("paddle.osm", smallMap);
    engine->loadGpxFile(paddle);
    ASSERT_EQ(engine->gpxPath, paddle);
    EXPECT_EQ(engine->gpx->getVersion(), "TCX");
    EXPECT_EQ(engine->mapPath, (dir / "paddle.osm").string());

    // A FIT file without positions is refused like a GPX file without tracks.
    const std::string indoor = write("indoor.fit", dataFile("fit/compressed-speed-distance.fit"));
    engine->loadGpxFile(indoor);
    EXPECT_EQ(status(), "No tracks found in " + indoor);
    EXPECT_EQ(engine->gpxPath, paddle);
}
