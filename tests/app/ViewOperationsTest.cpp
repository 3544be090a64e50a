// The view's operations on an engine without a window: a map panel at
// (100, 50) in the window, 400 x 300, and the graph below it.

#include "app/PathlarkEngine.h"

#include "gui/GuiCairoPanel.h"
#include "track/Gpx.h"
#include "view/ViewTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>

using namespace pathlark;
using viewtest::isAt;

namespace {

class ViewOperationsTest : public testing::Test {
protected:
    ViewOperationsTest()
    {
        engine.mapPanel = &mapPanel;
        engine.graphPanel = &graphPanel;
    }

    // East, then north.
    void showTrack()
    {
        engine.gpx = std::make_unique<Gpx>();
        engine.gpx->addTrack(viewtest::makeTrack({{47.0, 9.0}, {47.0, 9.1}, {47.1, 9.1}}));
        engine.selectedTrack = 0;
        engine.cursorIndex = 0;
    }

    ScreenPoint drawnAt(double lat, double lon)
    {
        return MapProjection(*engine.shownTrack(), engine.trackExtent, engine.mapViewState())
            .projectGround(lat, lon, Pan::Applied);
    }

    GuiCairoPanel mapPanel{nullptr, 1, 100, 50, 400, 300, 0, nullptr};
    GuiCairoPanel graphPanel{nullptr, 2, 100, 350, 400, 100, 0, nullptr};
    PathlarkEngine engine;
};

} // namespace

TEST_F(ViewOperationsTest, WithoutATrackNothingMovesAndTheGraphIsEmptied)
{
    engine.panX = 5.0;
    engine.centerOnCursor();
    double lat = 1.0, lon = 2.0;
    EXPECT_EQ(5.0, engine.panX);
    EXPECT_EQ(-1, engine.pickNearestPoint(200, 150));
    EXPECT_FALSE(engine.unprojectFlat(200, 150, lat, lon));
    EXPECT_EQ(1.0, lat);
    // Not left showing another track's profile.
    cairo_set_source_rgb(graphPanel.getCairo(), 1.0, 0.0, 0.0);
    cairo_paint(graphPanel.getCairo());
    engine.renderMapPanel();
    EXPECT_RGB_NEAR(viewtest::rgb(0.98, 0.98, 0.98), viewtest::pixelAt(graphPanel.getSurface(), 0, 0), 1);
}

TEST_F(ViewOperationsTest, WheelZoomKeepsTheMapPointUnderThePointer)
{
    showTrack();
    engine.panX = 12.0;
    const ScreenPoint before = drawnAt(47.03, 9.07);
    engine.zoomAtMouse(1.5, int(before.x) + 100, int(before.y) + 50);
    const ScreenPoint pointer{std::floor(before.x), std::floor(before.y)};
    EXPECT_NEAR(1.5, engine.zoom, 1e-12);
    // Measured from the pointer, everything grew by the factor.
    EXPECT_TRUE(isAt(drawnAt(47.03, 9.07), pointer.x + (before.x - pointer.x) * 1.5,
                     pointer.y + (before.y - pointer.y) * 1.5));
}

TEST_F(ViewOperationsTest, CentringFollowingAndResettingTheView)
{
    showTrack();
    engine.cursorIndex = 1;
    engine.centerOnCursor();
    EXPECT_TRUE(isAt(drawnAt(47.0, 9.1), 200.0, 150.0));
    engine.followDirection = true;
    engine.cursorIndex = 0;
    engine.updateHeading();
    EXPECT_NEAR(-std::numbers::pi / 2.0, engine.headingAngle, 1e-12);
    engine.freeCursor = true;
    engine.freeCursorLat = 47.05;
    engine.freeCursorLon = 9.02;
    engine.centerOnCursor();
    EXPECT_TRUE(isAt(drawnAt(47.05, 9.02), 200.0, 150.0));
    engine.rotateBy(engine.angleZ, -5);
    EXPECT_EQ(355, engine.angleZ);
    EXPECT_FALSE(engine.freeCursor) << "rotation brings the track cursor back";

    engine.followDirection = false;
    engine.angleX = 30;
    engine.zoom = 3.0;
    engine.cursorIndex = 2;
    engine.resetView();
    EXPECT_EQ((std::array{double(engine.angleX), double(engine.angleZ), engine.zoom, engine.panX, engine.headingAngle,
                          double(engine.cursorIndex)}),
              (std::array{0.0, 0.0, 1.0, 0.0, 0.0, 0.0}));
}

TEST_F(ViewOperationsTest, ClicksFindPointsAndFreePositions)
{
    showTrack();
    engine.zoom = 2.0;
    engine.panY = 30.0;
    const ScreenPoint corner = drawnAt(47.0, 9.1);
    EXPECT_EQ(1, engine.pickNearestPoint(int(std::lround(corner.x)), int(std::lround(corner.y))));
    double lat = 0.0, lon = 0.0;
    ASSERT_TRUE(engine.unprojectFlat(150, 100, lat, lon));
    EXPECT_TRUE(isAt(drawnAt(lat, lon), 150.0, 100.0));
}
