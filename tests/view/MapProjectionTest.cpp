#include "view/MapProjection.h"

#include "ViewTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

using namespace pathlark;
using viewtest::makeTrack;

namespace {

constexpr double kPixel = 1e-6;

ViewState panel(int width, int height)
{
    ViewState view;
    view.width = width;
    view.height = height;
    return view;
}

// A square extent of 0.1 degrees: 47.0..47.1 north, 9.0..9.1 east.
std::unique_ptr<Track> squareTrack()
{
    return makeTrack({{47.1, 9.0, 500.0}, {47.05, 9.05, 700.0}, {47.0, 9.1, 600.0}});
}

} // namespace

TEST(Projection, FitsExtentCornersAtTheMargins)
{
    auto track = squareTrack();
    TrackExtent extent;
    MapProjection projection(*track, extent, panel(200, 200));
    ScreenPoint northWest = projection.projectGround(47.1, 9.0, Pan::Applied);
    ScreenPoint southEast = projection.projectGround(47.0, 9.1, Pan::Applied);
    EXPECT_NEAR(28.0, northWest.x, kPixel);
    EXPECT_NEAR(28.0, northWest.y, kPixel);
    EXPECT_NEAR(172.0, southEast.x, kPixel);
    EXPECT_NEAR(172.0, southEast.y, kPixel);
}

TEST(Projection, WiderPanelCentresTheLooserAxis)
{
    auto track = squareTrack();
    TrackExtent extent;
    MapProjection projection(*track, extent, panel(300, 200));
    ScreenPoint northWest = projection.projectGround(47.1, 9.0, Pan::Applied);
    // Height is the tighter axis: 144 pixels for 0.1 degrees both ways.
    EXPECT_NEAR(28.0, northWest.y, kPixel);
    EXPECT_NEAR(150.0 - 72.0, northWest.x, kPixel);
}

TEST(Projection, OnePointTrackSitsAtTheCentrePlusPan)
{
    auto track = makeTrack({{47.3, 9.6, 1200.0}});
    TrackExtent extent;
    ViewState view = panel(320, 240);
    view.panX = 5.0;
    view.panY = -7.0;
    view.showHeight = true;
    view.angleX = 30;
    MapProjection projection(*track, extent, view);
    ScreenPoint p = projection.projectWayPoint(*track->getWayPoint(0), Pan::Applied);
    EXPECT_NEAR(165.0, p.x, kPixel);
    EXPECT_NEAR(113.0, p.y, kPixel);
    EXPECT_TRUE(std::isfinite(projection.scale()));
}

TEST(Projection, NorthSouthTrackIsScaledByItsLatitudeSpan)
{
    auto track = makeTrack({{47.0, 9.5}, {47.2, 9.5}});
    TrackExtent extent;
    MapProjection projection(*track, extent, panel(400, 300));
    ScreenPoint south = projection.projectWayPoint(*track->getWayPoint(0), Pan::Applied);
    ScreenPoint north = projection.projectWayPoint(*track->getWayPoint(1), Pan::Applied);
    EXPECT_NEAR(200.0, south.x, kPixel);
    EXPECT_NEAR(272.0, south.y, kPixel);
    EXPECT_NEAR(28.0, north.y, kPixel);
}

TEST(Projection, AngleZNinetyTurnsNorthToTheRight)
{
    auto track = squareTrack();
    TrackExtent extent;
    ViewState view = panel(200, 200);
    view.angleZ = 90;
    MapProjection projection(*track, extent, view);
    ScreenPoint north = projection.projectGround(47.1, 9.05, Pan::Applied);
    EXPECT_NEAR(172.0, north.x, kPixel);
    EXPECT_NEAR(100.0, north.y, kPixel);
}

TEST(Projection, TiltForeshortensTheGroundAndLiftsHighPoints)
{
    auto track = squareTrack();
    TrackExtent extent;
    ViewState view = panel(200, 200);
    view.angleX = 60;
    MapProjection flat(*track, extent, view);
    ScreenPoint north = flat.projectWayPoint(*track->getWayPoint(0), Pan::Applied);
    EXPECT_NEAR(28.0, north.x, kPixel);
    EXPECT_NEAR(100.0 - 72.0 * 0.5, north.y, kPixel);

    view.showHeight = true;
    MapProjection lifted(*track, extent, view);
    // The middle point is 200 m above the first one.
    const WayPoint& middle = *track->getWayPoint(1);
    ScreenPoint ground = lifted.projectGround(middle.getLat(), middle.getLon(), Pan::Applied);
    ScreenPoint high = lifted.projectWayPoint(middle, Pan::Applied);
    double rise = 200.0 * lifted.scale() / kMetresPerDegree * std::sin(std::numbers::pi / 3.0);
    EXPECT_NEAR(ground.y - rise, high.y, kPixel);
    EXPECT_NEAR(ground.x, high.x, kPixel);
}

TEST(Projection, GroundPlaneMatchesTheFullProjectionUnderRotation)
{
    auto track = squareTrack();
    TrackExtent extent;
    ViewState view = panel(260, 180);
    view.angleX = 35;
    view.angleY = 20;
    view.angleZ = 305;
    view.headingAngle = 0.4;
    view.zoom = 2.5;
    view.panX = 13.0;
    MapProjection projection(*track, extent, view);
    for (double lat : {47.0, 47.03, 47.1})
        for (double lon : {8.9, 9.07}) {
            ScreenPoint fast = projection.projectGround(lat, lon, Pan::Applied);
            ScreenPoint full = projection.projectPoint(lat, lon, 500.0, Pan::Applied);
            EXPECT_NEAR(full.x, fast.x, kPixel);
            EXPECT_NEAR(full.y, fast.y, kPixel);
        }
}

TEST(Projection, ExtentFollowsTrackAndPointCount)
{
    auto track = squareTrack();
    TrackExtent extent;
    updateTrackExtent(extent, *track);
    EXPECT_DOUBLE_EQ(47.0, extent.minLat);
    EXPECT_DOUBLE_EQ(9.1, extent.maxLon);

    // Same track, same count: the cached values stay.
    track->getWayPoint(0)->setLat(48.0);
    updateTrackExtent(extent, *track);
    EXPECT_DOUBLE_EQ(47.1, extent.maxLat);

    track->addWayPoint(std::make_unique<WayPoint>());
    updateTrackExtent(extent, *track);
    EXPECT_DOUBLE_EQ(48.0, extent.maxLat);
    EXPECT_DOUBLE_EQ(0.0, extent.minLat);
    EXPECT_EQ(4, extent.pointCount);
}

TEST(Projection, NonFiniteValuesDoNotPoisonTheView)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto track = makeTrack({{47.1, 9.0, nan}, {nan, 9.05}, {47.0, 9.1, 600.0}});
    TrackExtent extent;
    ViewState view = panel(200, 200);
    view.headingAngle = nan;
    MapProjection projection(*track, extent, view);
    EXPECT_DOUBLE_EQ(47.1, extent.maxLat);
    ScreenPoint southEast = projection.projectWayPoint(*track->getWayPoint(2), Pan::Applied);
    EXPECT_NEAR(172.0, southEast.x, kPixel);
    EXPECT_NEAR(172.0, southEast.y, kPixel);
    EXPECT_EQ(0.0, followHeading(*track, 0));
}

TEST(Projection, TinyPanelDoesNotMirrorTheMap)
{
    auto track = squareTrack();
    TrackExtent extent;
    MapProjection projection(*track, extent, panel(40, 40));
    EXPECT_GT(projection.scale(), 0.0);
    EXPECT_LT(projection.projectGround(47.1, 9.0, Pan::Applied).x, 20.0);
}

TEST(ViewOperations, HeadingTurnsTheTravelDirectionUp)
{
    auto northBound = makeTrack({{47.0, 9.0}, {47.1, 9.0}});
    auto eastBound = makeTrack({{47.0, 9.0}, {47.0, 9.1}, {47.1, 9.1}});
    EXPECT_NEAR(0.0, followHeading(*northBound, 0), 1e-12);
    EXPECT_NEAR(-std::numbers::pi / 2.0, followHeading(*eastBound, 0), 1e-12);
    // The last point uses the segment that ends there.
    EXPECT_NEAR(0.0, followHeading(*eastBound, 2), 1e-12);
    EXPECT_EQ(0.0, followHeading(*makeTrack({{47.0, 9.0}}), 0));

    TrackExtent extent;
    ViewState view = panel(200, 200);
    view.headingAngle = followHeading(*eastBound, 0);
    MapProjection projection(*eastBound, extent, view);
    ScreenPoint from = projection.projectWayPoint(*eastBound->getWayPoint(0), Pan::Applied);
    ScreenPoint to = projection.projectWayPoint(*eastBound->getWayPoint(1), Pan::Applied);
    EXPECT_NEAR(from.x, to.x, kPixel);
    EXPECT_LT(to.y, from.y - 50.0);
}

TEST(ViewOperations, ZoomIsClampedAtBothEnds)
{
    ViewState view = panel(200, 200);
    view.zoom = 40.0;
    zoomAbout(view, 1.25, 100.0, 100.0);
    EXPECT_DOUBLE_EQ(50.0, view.zoom);
    view.zoom = 0.06;
    zoomAbout(view, 0.8, 100.0, 100.0);
    EXPECT_DOUBLE_EQ(0.05, view.zoom);
    zoomAbout(view, std::numeric_limits<double>::quiet_NaN(), 100.0, 100.0);
    EXPECT_DOUBLE_EQ(0.05, view.zoom);
}

TEST(ViewOperations, WheelZoomKeepsThePointUnderTheMouse)
{
    auto track = squareTrack();
    TrackExtent extent;
    ViewState view = panel(300, 200);
    view.panX = 17.0;
    view.panY = -4.0;
    for (double factor : {1.5, 2.0 / 3.0, 1.5 * 1.5 * 1.5 * 1.5 * 1.5 * 1.5 * 1.5 * 1.5 * 1.5 * 1.5 * 1.5}) {
        ScreenPoint mouse = MapProjection(*track, extent, view).projectGround(47.02, 9.08, Pan::Applied);
        zoomAbout(view, factor, mouse.x, mouse.y);
        ScreenPoint after = MapProjection(*track, extent, view).projectGround(47.02, 9.08, Pan::Applied);
        EXPECT_NEAR(mouse.x, after.x, 1e-6);
        EXPECT_NEAR(mouse.y, after.y, 1e-6);
    }
    EXPECT_DOUBLE_EQ(50.0, view.zoom);
}

TEST(ViewOperations, UnprojectFlatInvertsTheGroundProjection)
{
    auto track = squareTrack();
    TrackExtent extent;
    ViewState view = panel(300, 200);
    view.zoom = 3.0;
    view.panX = -40.0;
    view.panY = 25.0;
    MapProjection projection(*track, extent, view);
    ScreenPoint p = projection.projectGround(47.013, 9.071, Pan::Applied);
    MapPoint back = projection.unprojectFlat(p.x, p.y);
    EXPECT_NEAR(47.013, back.latitude, 1e-12);
    EXPECT_NEAR(9.071, back.longitude, 1e-12);
}

TEST(ViewOperations, CentringPutsThePositionAtThePanelCentre)
{
    auto track = squareTrack();
    TrackExtent extent;
    ViewState view = panel(300, 200);
    view.angleZ = 45;
    view.panX = 99.0;
    MapProjection before(*track, extent, view);
    centerOn(view, before.projectWayPoint(*track->getWayPoint(0), Pan::Without));
    ScreenPoint p = MapProjection(*track, extent, view).projectWayPoint(*track->getWayPoint(0), Pan::Applied);
    EXPECT_NEAR(150.0, p.x, kPixel);
    EXPECT_NEAR(100.0, p.y, kPixel);
}

TEST(ViewOperations, NearestPointTieGoesToTheEarlierPoint)
{
    // Binary-exact coordinates, so the mirrored points are exactly as far from the click.
    auto track = makeTrack({{0.0, 0.0}, {0.25, 0.125}, {0.5, 0.0}, {0.25, 0.125}});
    TrackExtent extent;
    MapProjection projection(*track, extent, panel(200, 200));
    ScreenPoint first = projection.projectWayPoint(*track->getWayPoint(0), Pan::Applied);
    ScreenPoint third = projection.projectWayPoint(*track->getWayPoint(2), Pan::Applied);
    ASSERT_EQ(first.x, third.x);
    double middleY = (first.y + third.y) / 2.0;
    EXPECT_EQ(0, pickNearestPoint(projection, *track, first.x - 82.0, middleY));
    // Points 1 and 3 coincide.
    ScreenPoint second = projection.projectWayPoint(*track->getWayPoint(1), Pan::Applied);
    EXPECT_EQ(1, pickNearestPoint(projection, *track, second.x + 3.0, second.y - 1.0));
    EXPECT_EQ(2, pickNearestPoint(projection, *track, third.x, third.y - 5.0));
    EXPECT_EQ(-1, pickNearestPoint(projection, Track(), 0.0, 0.0));
}

TEST(ViewOperations, AnglesWrapIntoWholeCircle)
{
    EXPECT_EQ(355, wrapAngle(0, -5));
    EXPECT_EQ(0, wrapAngle(355, 5));
    EXPECT_EQ(270, wrapAngle(-90));
    EXPECT_EQ(10, wrapAngle(730));
    EXPECT_EQ(int(2147483647LL % 360), wrapAngle(std::numeric_limits<int>::max()));
    EXPECT_EQ(0, wrapAngle(std::numeric_limits<int>::max(), 1 - int(2147483648LL % 360)));
}
