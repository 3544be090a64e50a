#include "view/MapProjection.h"

#include "ViewTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>

using namespace pathlark;
using viewtest::isAt;
using viewtest::makeTrack;

namespace {

const double kNan = std::numeric_limits<double>::quiet_NaN();

// A square extent of 0.1 degrees: 47.0..47.1 north, 9.0..9.1 east.
std::unique_ptr<Track> squareTrack()
{
    return makeTrack({{47.1, 9.0, 500.0}, {47.05, 9.05, 700.0}, {47.0, 9.1, 600.0}});
}

ScreenPoint drawn(const Track& track, const ViewState& view, int index)
{
    TrackExtent extent;
    return MapProjection(track, extent, view).projectWayPoint(*track.getWayPoint(index), Pan::Applied);
}

// Where the ground position (lat, lon) is drawn over the square track.
ScreenPoint ground(const ViewState& view, double lat, double lon)
{
    TrackExtent extent;
    return MapProjection(*squareTrack(), extent, view).projectGround(lat, lon, Pan::Applied);
}

} // namespace

TEST(Projection, FitsRotatesAndTiltsTheExtentBetweenTheMargins)
{
    struct Case {
        ViewState view;
        double lat, lon, x, y;
    } const cases[] = {
        {{.width = 200, .height = 200}, 47.1, 9.0, 28.0, 28.0},
        {{.width = 200, .height = 200}, 47.0, 9.1, 172.0, 172.0},
        // Height is the tighter axis: 144 pixels for 0.1 degrees both ways, centred across.
        {{.width = 300, .height = 200}, 47.1, 9.0, 150.0 - 72.0, 28.0},
        {{.width = 200, .height = 200, .angleZ = 90}, 47.1, 9.05, 172.0, 100.0},  // north turns to the right
        {{.width = 200, .height = 200, .angleX = 60}, 47.1, 9.0, 28.0, 100.0 - 72.0 * 0.5},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(isAt(ground(c.view, c.lat, c.lon), c.x, c.y)) << c.lat << " " << c.lon;
    // A panel smaller than its margins must not mirror the map.
    EXPECT_LT(ground({.width = 40, .height = 40}, 47.1, 9.0).x, 20.0);

    auto one = makeTrack({{47.3, 9.6, 1200.0}});
    ViewState view{.width = 320, .height = 240, .panX = 5.0, .panY = -7.0, .angleX = 30, .showHeight = true};
    EXPECT_TRUE(isAt(drawn(*one, view, 0), 165.0, 113.0)) << "one point sits at the centre plus pan";
}

TEST(Projection, ExtentFollowsTrackAndPointCountAndSkipsNonFiniteValues)
{
    auto track = squareTrack();
    TrackExtent extent;
    updateTrackExtent(extent, *track);
    track->getWayPoint(0)->setLat(48.0);
    updateTrackExtent(extent, *track);
    EXPECT_DOUBLE_EQ(47.1, extent.maxLat) << "same track, same count: the cached values stay";
    track->addWayPoint(std::make_unique<WayPoint>());
    updateTrackExtent(extent, *track);
    EXPECT_EQ((std::array{extent.minLat, extent.maxLat, extent.minLon, extent.maxLon}),
              (std::array{0.0, 48.0, 0.0, 9.1}));

    auto poisoned = makeTrack({{47.1, 9.0, kNan}, {kNan, 9.05}, {47.0, 9.1, 600.0}});
    TrackExtent other;
    MapProjection projection(*poisoned, other, {.width = 200, .height = 200, .headingAngle = kNan});
    EXPECT_DOUBLE_EQ(47.1, other.maxLat);
    EXPECT_TRUE(isAt(projection.projectWayPoint(*poisoned->getWayPoint(2), Pan::Applied), 172.0, 172.0));
    EXPECT_EQ(0.0, followHeading(*poisoned, 0));
}

TEST(ViewOperations, ZoomKeepsThePointUnderTheMouseWithinItsLimits)
{
    ViewState view{.width = 300, .height = 200, .panX = 17.0, .panY = -4.0};
    for (double factor : {1.5, 2.0 / 3.0, std::pow(1.5, 11.0)}) {  // the last runs into the limit
        ScreenPoint mouse = ground(view, 47.02, 9.08);
        zoomAbout(view, factor, mouse.x, mouse.y);
        EXPECT_TRUE(isAt(ground(view, 47.02, 9.08), mouse.x, mouse.y)) << factor;
    }
    EXPECT_DOUBLE_EQ(50.0, view.zoom);
    zoomAbout(view, kNan, 100.0, 100.0);
    EXPECT_DOUBLE_EQ(50.0, view.zoom);
}

TEST(ViewOperations, NearestPointTieGoesToTheEarlierPointAndAnglesWrap)
{
    // Binary-exact coordinates, so the mirrored points are exactly as far from the click.
    auto track = makeTrack({{0.0, 0.0}, {0.25, 0.125}, {0.5, 0.0}, {0.25, 0.125}});
    TrackExtent extent;
    MapProjection projection(*track, extent, {.width = 200, .height = 200});
    ScreenPoint first = projection.projectWayPoint(*track->getWayPoint(0), Pan::Applied);
    ScreenPoint second = projection.projectWayPoint(*track->getWayPoint(1), Pan::Applied);
    ScreenPoint third = projection.projectWayPoint(*track->getWayPoint(2), Pan::Applied);
    ASSERT_EQ(first.x, third.x);
    EXPECT_EQ(0, pickNearestPoint(projection, *track, first.x - 82.0, (first.y + third.y) / 2.0));
    EXPECT_EQ(1, pickNearestPoint(projection, *track, second.x + 3.0, second.y - 1.0)) << "points 1 and 3 coincide";
    EXPECT_EQ(2, pickNearestPoint(projection, *track, third.x, third.y - 5.0));
    EXPECT_EQ(-1, pickNearestPoint(projection, Track(), 0.0, 0.0));

    EXPECT_EQ(int(2147483647LL % 360), wrapAngle(std::numeric_limits<int>::max()));
    EXPECT_EQ(0, wrapAngle(std::numeric_limits<int>::max(), 1 - int(2147483648LL % 360)));
}
