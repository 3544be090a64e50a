#include "view/GraphRenderer.h"

#include "ViewTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

using namespace pathlark;
using viewtest::makeTrack;
using viewtest::pixelAt;
using viewtest::rgb;

namespace {

constexpr int kTolerance = 3;
const viewtest::Rgb kCurve = rgb(0.12, 0.42, 0.68);

// A 200 x 100 graph: the plot's bottom line is y = 88, its top y = 12.
class GraphTest : public testing::Test {
protected:
    ~GraphTest() override
    {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }

    void render(const Track& track, int cursor, GraphMode mode)
    {
        renderGraphPanel(cr, 200, 100, track, cursor, mode);
        ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(cr));
    }

    viewtest::Rgb at(int x, int y) { return pixelAt(surface, x, y); }

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 200, 100);
    cairo_t* cr = cairo_create(surface);
};

} // namespace

TEST(GraphSpeed, FlatEarthSpeedOverEachSegment)
{
    // 0.01 degrees north in 36 seconds, then the same again in no time at all.
    auto track = makeTrack({{47.0, 9.0, 0.0, 1000}, {47.01, 9.0, 0.0, 1036}, {47.02, 9.0, 0.0, 1036}});
    EXPECT_EQ(0.0, segmentSpeed(*track, 0));
    EXPECT_NEAR(111.32, segmentSpeed(*track, 1), 1e-9);
    EXPECT_NEAR(1.1132 * 3600.0, segmentSpeed(*track, 2), 1e-6);
    EXPECT_EQ(0.0, segmentSpeed(*track, 3));
    EXPECT_EQ(0.0, segmentSpeed(*track, -1));

    // Times far apart must not wrap around.
    auto wide = makeTrack({{47.0, 9.0, 0.0, std::numeric_limits<std::int32_t>::min()},
                           {47.01, 9.0, 0.0, std::numeric_limits<std::int32_t>::max()}});
    EXPECT_NEAR(1.1132 / (4294967295.0 / 3600.0), segmentSpeed(*wide, 1), 1e-12);
}

TEST(GraphSpeed, ValuesAreFormattedByKind)
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
    ScreenPoint p = graphCursorLabelPosition(100.0, 60.0, 40.0, 80.0, 300, 100);
    EXPECT_EQ(107.0, p.x);
    EXPECT_EQ(54.0, p.y);
    // Near the right edge the label flips to the left of the line.
    p = graphCursorLabelPosition(260.0, 60.0, 40.0, 80.0, 300, 100);
    EXPECT_EQ(213.0, p.x);
    // Below the bottom it is clamped to H - 5.
    p = graphCursorLabelPosition(100.0, 200.0, 40.0, 80.0, 300, 100);
    EXPECT_EQ(95.0, p.y);
    // At the top left it would cover "Max: ...", so it moves down.
    p = graphCursorLabelPosition(20.0, 10.0, 40.0, 80.0, 300, 100);
    EXPECT_EQ(27.0, p.x);
    EXPECT_EQ(32.0, p.y);
    p = graphCursorLabelPosition(200.0, 10.0, 40.0, 80.0, 300, 100);
    EXPECT_EQ(13.0, p.y);
}

TEST_F(GraphTest, FlatProfileLiesOnTheBottomLine)
{
    auto track = makeTrack({{47.0, 9.0, 500.0}, {47.001, 9.0, 500.0}, {47.002, 9.0, 500.0}});
    render(*track, 1, GraphMode::Height);
    EXPECT_RGB_NEAR(kCurve, at(150, 87), kTolerance);
    EXPECT_RGB_NEAR(rgb(0.98, 0.98, 0.98), at(150, 60), kTolerance);
    // The cursor line at x(1) = 100 covers columns 99 and 100.
    EXPECT_RGB_NEAR(rgb(0.90, 0.55, 0.05), at(99, 40), kTolerance);
}

TEST_F(GraphTest, OnePointTrackDrawsOnlyBackgroundGridAndLabels)
{
    auto track = makeTrack({{47.0, 9.0, 321.0}});
    render(*track, 0, GraphMode::HeightAndSpeed);
    EXPECT_RGB_NEAR(rgb(0.98, 0.98, 0.98), at(150, 60), kTolerance);
    EXPECT_RGB_NEAR(rgb(0.86, 0.88, 0.90), at(150, 20), kTolerance);
}

TEST_F(GraphTest, SpeedStartsAtStandingStill)
{
    // Constant speed after the first point: the range runs 0 .. v, so the curve
    // climbs from the bottom to the top line.
    auto track = makeTrack({{47.0, 9.0, 0.0, 0}, {47.01, 9.0, 50.0, 36}, {47.02, 9.0, 100.0, 72}});
    render(*track, -1, GraphMode::Speed);
    EXPECT_RGB_NEAR(kCurve, at(185, 12), kTolerance);

    // With heights first, the speed overlay takes the top line and the height diagonal passes below it.
    render(*track, -1, GraphMode::HeightAndSpeed);
    EXPECT_RGB_NEAR(rgb(0.82, 0.30, 0.12), at(185, 12), kTolerance);
    EXPECT_RGB_NEAR(kCurve, at(100, 50), 40);
}

TEST_F(GraphTest, NonFiniteHeightsAreLeftOut)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto track = makeTrack({{47.0, 9.0, nan}, {47.01, 9.0, 100.0}, {47.02, 9.0, 100.0}});
    render(*track, 0, GraphMode::Height);
    // 100 m is both minimum and maximum: the curve from x(1) on lies on the bottom line.
    EXPECT_RGB_NEAR(kCurve, at(150, 87), kTolerance);
}
