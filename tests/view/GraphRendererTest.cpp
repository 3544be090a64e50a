#include "view/GraphRenderer.h"

#include "ViewTestSupport.h"

#include <gtest/gtest.h>


using namespace pathlark;
using viewtest::kTolerance;
using viewtest::makeTrack;
using viewtest::rgb;

namespace {

const viewtest::Rgb kCurve = rgb(0.12, 0.42, 0.68);

// Rightmost dark (text) pixel in rows y0..y1 between columns x0 and x1.
int inkRight(const viewtest::Canvas& canvas, int x0, int x1, int y0, int y1)
{
    for (int x = x1; x >= x0; --x)
        for (int y = y0; y <= y1; ++y)
            if (canvas.at(x, y).r < 100)
                return x;
    return -1;
}

} // namespace

TEST(GraphSpeed, FlatEarthSpeedOverEachSegmentAndItsText)
{
    // The second segment takes no time at all: it counts as one second.
    auto track = makeTrack({{47.0, 9.0, 0.0, 1000}, {47.01, 9.0, 0.0, 1036}, {47.02, 9.0, 0.0, 1036}});
    EXPECT_NEAR(111.32, segmentSpeed(*track, 1), 1e-9);
    EXPECT_NEAR(1.1132 * 3600.0, segmentSpeed(*track, 2), 1e-6);
    for (int outside : {-1, 0, 3})
        EXPECT_EQ(0.0, segmentSpeed(*track, outside)) << outside;
    // Times far apart must not wrap around.
    auto wide = makeTrack({{47.0, 9.0, 0.0, std::numeric_limits<std::int32_t>::min()},
                           {47.01, 9.0, 0.0, std::numeric_limits<std::int32_t>::max()}});
    EXPECT_NEAR(1.1132 / (4294967295.0 / 3600.0), segmentSpeed(*wide, 1), 1e-12);

    EXPECT_EQ("457 m", formatGraphValue(456.7, false));
    EXPECT_EQ("12.3 km/h", formatGraphValue(12.34, true));
}

TEST(GraphPanel, CurvesAndCursor)
{
    // A 200 x 100 graph: the plot's bottom line is y = 88, its top y = 12.
    viewtest::Canvas canvas(200, 100);
    renderGraphPanel(canvas.cr, 200, 100, *makeTrack({{47.0, 9.0, 321.0}}), 0, GraphMode::HeightAndSpeed);
    EXPECT_RGB_NEAR(rgb(0.86, 0.88, 0.90), canvas.at(150, 20), kTolerance) << "one point: the grid, no curve";
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto flat = makeTrack({{47.0, 9.0, nan}, {47.001, 9.0, 500.0}, {47.002, 9.0, 500.0}});
    renderGraphPanel(canvas.cr, 200, 100, *flat, 1, GraphMode::Height);
    EXPECT_RGB_NEAR(kCurve, canvas.at(150, 87), kTolerance) << "flat, the unknown height left out";
    EXPECT_RGB_NEAR(rgb(0.98, 0.98, 0.98), canvas.at(150, 60), kTolerance);
    EXPECT_RGB_NEAR(rgb(0.90, 0.55, 0.05), canvas.at(99, 40), kTolerance) << "cursor line at x(1) = 100";

    // Speeds run from standing still, so a steady ride climbs to the top line.
    auto ride = makeTrack({{47.0, 9.0, 0.0, 0}, {47.01, 9.0, 50.0, 36}, {47.02, 9.0, 100.0, 72}});
    renderGraphPanel(canvas.cr, 200, 100, *ride, -1, GraphMode::Speed);
    EXPECT_RGB_NEAR(kCurve, canvas.at(185, 12), kTolerance);
    // With heights first, the speed overlay takes the top line and the height diagonal passes below it.
    renderGraphPanel(canvas.cr, 200, 100, *ride, -1, GraphMode::HeightAndSpeed);
    EXPECT_RGB_NEAR(rgb(0.82, 0.30, 0.12), canvas.at(185, 12), kTolerance);
    EXPECT_RGB_NEAR(kCurve, canvas.at(100, 50), 40);
}

TEST(GraphPanel, LabelsSayWhatTheModeShows)
{
    struct Case {
        GraphMode mode;
        const char* maxText;
        const char* cursorText;
        int cursorTop, cursorBottom;  // rows of the cursor label's glyphs
    } const cases[] = {
        {GraphMode::Height, "Max: 500 m", "500 m", 72, 81},
        {GraphMode::Speed, "Max: 111.3 km/h", "111.3 km/h", 3, 10},
        {GraphMode::HeightAndSpeed, "Max: 500 m / 111.3 km/h", "500 m / 111.3 km/h", 72, 81},
    };
    // Flat at 500 m, 0.01 degrees north every 36 seconds: 111.3 km/h after the first point.
    auto track = makeTrack({{47.0, 9.0, 500.0, 0}, {47.01, 9.0, 500.0, 36}, {47.02, 9.0, 500.0, 72}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maxText);
        viewtest::Canvas canvas(400, 100);
        renderGraphPanel(canvas.cr, 400, 100, *track, 1, c.mode);  // cursor line at x = 200
        cairo_select_font_face(canvas.cr, "Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        cairo_set_font_size(canvas.cr, 11.0);
        cairo_text_extents_t max, cursor;
        cairo_text_extents(canvas.cr, c.maxText, &max);
        cairo_text_extents(canvas.cr, c.cursorText, &cursor);
        EXPECT_NEAR(inkRight(canvas, 0, 195, 3, 10), 7.0 + max.x_bearing + max.width, 2.0);
        EXPECT_NEAR(inkRight(canvas, 203, 399, c.cursorTop, c.cursorBottom), 207.0 + cursor.x_bearing + cursor.width,
                    2.0);
    }
}
