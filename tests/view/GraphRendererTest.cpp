#include "view/GraphRenderer.h"

#include "ViewTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

using namespace pathlark;
using viewtest::kTolerance;
using viewtest::makeTrack;
using viewtest::rgb;

namespace {

const viewtest::Rgb kCurve = rgb(0.12, 0.42, 0.68);
const viewtest::Rgb kPlot = rgb(0.98, 0.98, 0.98);

// A 200 x 100 graph: the plot's bottom line is y = 88, its top y = 12.
struct GraphTest : testing::Test {
    void render(const Track& track, int cursor, GraphMode mode)
    {
        renderGraphPanel(canvas.cr, 200, 100, track, cursor, mode);
        ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(canvas.cr));
    }

    viewtest::Canvas canvas{200, 100};
};

} // namespace

TEST(GraphSpeed, FlatEarthSpeedOverEachSegment)
{
    // 0.01 degrees north in 36 seconds, then the same again in no time at all.
    auto track = makeTrack({{47.0, 9.0, 0.0, 1000}, {47.01, 9.0, 0.0, 1036}, {47.02, 9.0, 0.0, 1036}});
    EXPECT_NEAR(111.32, segmentSpeed(*track, 1), 1e-9);
    EXPECT_NEAR(1.1132 * 3600.0, segmentSpeed(*track, 2), 1e-6);
    for (int outside : {-1, 0, 3})
        EXPECT_EQ(0.0, segmentSpeed(*track, outside)) << outside;

    // Times far apart must not wrap around.
    auto wide = makeTrack({{47.0, 9.0, 0.0, std::numeric_limits<std::int32_t>::min()},
                           {47.01, 9.0, 0.0, std::numeric_limits<std::int32_t>::max()}});
    EXPECT_NEAR(1.1132 / (4294967295.0 / 3600.0), segmentSpeed(*wide, 1), 1e-12);
}

TEST(GraphSpeed, ValuesAreRoundedAndLabelledByKind)
{
    EXPECT_EQ("457 m", formatGraphValue(456.7, false));
    EXPECT_EQ("12.3 km/h", formatGraphValue(12.34, true));
}

TEST(GraphGeometry, ClicksMapBackToThePointDrawnThere)
{
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(i, graphIndexAt(graphX(i, 7, 300), 300, 7));
    EXPECT_EQ(0, graphIndexAt(-50.0, 300, 7));
    EXPECT_EQ(6, graphIndexAt(900.0, 300, 7));
    EXPECT_EQ(12.0, graphX(0, 1, 300)) << "one point sits at the left edge of the plot";
    EXPECT_EQ(0, graphIndexAt(5.0, 10, 3)) << "a panel narrower than its margins";
    EXPECT_EQ(-1, graphIndexAt(50.0, 300, 0));
}

TEST(GraphGeometry, CursorLabelKeepsClearOfEdgesAndTheMaximumLabel)
{
    // Room on the right: 7 pixels right of the line, 6 above the value.
    EXPECT_TRUE(viewtest::isAt(graphCursorLabelPosition(100.0, 60.0, 40.0, 80.0, 300, 100), 107.0, 54.0, 0.0));
    // Near the right edge the label flips to the left of the line.
    EXPECT_EQ(213.0, graphCursorLabelPosition(260.0, 60.0, 40.0, 80.0, 300, 100).x);
    // Below the bottom it is clamped to H - 5.
    EXPECT_EQ(95.0, graphCursorLabelPosition(100.0, 200.0, 40.0, 80.0, 300, 100).y);
    // At the top left it would cover "Max: ...", so it moves down.
    EXPECT_TRUE(viewtest::isAt(graphCursorLabelPosition(20.0, 10.0, 40.0, 80.0, 300, 100), 27.0, 32.0, 0.0));
    EXPECT_EQ(13.0, graphCursorLabelPosition(200.0, 10.0, 40.0, 80.0, 300, 100).y);
}

TEST_F(GraphTest, FlatProfileLiesOnTheBottomLine)
{
    auto track = makeTrack({{47.0, 9.0, 500.0}, {47.001, 9.0, 500.0}, {47.002, 9.0, 500.0}});
    render(*track, 1, GraphMode::Height);
    EXPECT_RGB_NEAR(kCurve, canvas.at(150, 87), kTolerance);
    EXPECT_RGB_NEAR(kPlot, canvas.at(150, 60), kTolerance);
    // The cursor line at x(1) = 100 covers columns 99 and 100.
    EXPECT_RGB_NEAR(rgb(0.90, 0.55, 0.05), canvas.at(99, 40), kTolerance);
}

TEST_F(GraphTest, OnePointTrackDrawsOnlyBackgroundGridAndLabels)
{
    render(*makeTrack({{47.0, 9.0, 321.0}}), 0, GraphMode::HeightAndSpeed);
    EXPECT_RGB_NEAR(kPlot, canvas.at(150, 60), kTolerance);
    EXPECT_RGB_NEAR(rgb(0.86, 0.88, 0.90), canvas.at(150, 20), kTolerance);
}

TEST_F(GraphTest, SpeedStartsAtStandingStill)
{
    // Constant speed after the first point: the range runs 0 .. v, so the curve
    // climbs from the bottom to the top line.
    auto track = makeTrack({{47.0, 9.0, 0.0, 0}, {47.01, 9.0, 50.0, 36}, {47.02, 9.0, 100.0, 72}});
    render(*track, -1, GraphMode::Speed);
    EXPECT_RGB_NEAR(kCurve, canvas.at(185, 12), kTolerance);

    // With heights first, the speed overlay takes the top line and the height diagonal passes below it.
    render(*track, -1, GraphMode::HeightAndSpeed);
    EXPECT_RGB_NEAR(rgb(0.82, 0.30, 0.12), canvas.at(185, 12), kTolerance);
    EXPECT_RGB_NEAR(kCurve, canvas.at(100, 50), 40);
}

TEST_F(GraphTest, NonFiniteHeightsAreLeftOut)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    render(*makeTrack({{47.0, 9.0, nan}, {47.01, 9.0, 100.0}, {47.02, 9.0, 100.0}}), 0, GraphMode::Height);
    // 100 m is both minimum and maximum: the curve from x(1) on lies on the bottom line.
    EXPECT_RGB_NEAR(kCurve, canvas.at(150, 87), kTolerance);
}
