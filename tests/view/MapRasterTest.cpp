#include "view/MapRaster.h"

#include "map/OsmReader.h"
#include "view/MapPathList.h"
#include "view/MapRenderer.h"

#include "ViewTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <numbers>
#include <string_view>
#include <vector>

using namespace pathlark;

namespace {

struct Point {
    double x, y;
};
using Path = std::vector<Point>;

enum class Operation { FillEvenOdd, FillNonZero, Stroke };

// One shape, drawn in opaque black by the raster and by cairo.
struct Shape {
    const char* name;
    std::vector<Path> paths;
    bool closed;
    Operation operation;
    StrokeStyle style = {};
    // Pixels where edges cross get the sum of the areas on each side, so a
    // self-crossing outline is off there, and only there.
    int worst = 64;
};

constexpr double kDashes[] = {5.0, 4.0};

Path star(double cx, double cy, double radius)
{
    Path points;
    for (int i = 0; i < 5; ++i) {
        double angle = i * 4.0 * std::numbers::pi / 5.0 - std::numbers::pi / 2.0;
        points.push_back({cx + radius * std::cos(angle), cy + radius * std::sin(angle)});
    }
    return points;
}

template<class Paths>
void draw(Paths& raster, const Shape& shape)
{
    raster.newPath();
    for (const Path& path : shape.paths) {
        raster.moveTo(path[0].x, path[0].y);
        for (const Point& p : path)
            raster.lineTo(p.x, p.y);
        if (shape.closed)
            raster.closePath();
    }
    if (shape.operation == Operation::Stroke)
        raster.stroke(shape.style, {0.0, 0.0, 0.0, 1.0});
    else
        raster.fill(shape.operation == Operation::FillEvenOdd ? FillRule::EvenOdd : FillRule::NonZero,
                    {0.0, 0.0, 0.0, 1.0});
}

void drawWithRaster(cairo_surface_t* surface, const Shape& shape)
{
    RasterBuffers buffers;
    MapRaster raster(surface, 0.0, 0.0, buffers);
    draw(raster, shape);
}

// As the map layer draws on several threads: recorded, then drawn band by band.
void drawInBands(cairo_surface_t* surface, const std::vector<Shape>& shapes, std::initializer_list<int> cuts)
{
    MapPathList list;
    for (const Shape& shape : shapes)
        draw(list, shape);
    RasterBuffers buffers;
    cairo_surface_flush(surface);
    for (auto cut = cuts.begin(); cut + 1 != cuts.end(); ++cut) {
        MapRaster raster(surface, 0.0, 0.0, buffers, cut[0], cut[1]);
        list.replay(raster);
    }
    cairo_surface_mark_dirty(surface);
}

bool samePixels(cairo_surface_t* a, cairo_surface_t* b)
{
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    return std::memcmp(cairo_image_surface_get_data(a), cairo_image_surface_get_data(b),
                       std::size_t(cairo_image_surface_get_stride(a)) * std::size_t(cairo_image_surface_get_height(a)))
        == 0;
}

void drawWithCairo(cairo_t* cr, const Shape& shape)
{
    for (const Path& path : shape.paths) {
        for (const Point& p : path)
            cairo_line_to(cr, p.x, p.y);
        if (shape.closed)
            cairo_close_path(cr);
        cairo_new_sub_path(cr);
    }
    const StrokeStyle& style = shape.style;
    cairo_set_fill_rule(cr, shape.operation == Operation::FillEvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_set_line_width(cr, style.width);
    cairo_set_line_cap(cr, style.ends == LineEnds::Round ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, style.joins == LineJoins::Round ? CAIRO_LINE_JOIN_ROUND : CAIRO_LINE_JOIN_MITER);
    cairo_set_dash(cr, style.dashes.data(), int(style.dashes.size()), 0.0);
    shape.operation == Operation::Stroke ? cairo_stroke(cr) : cairo_fill(cr);
}

int alpha(cairo_surface_t* surface, int x, int y)
{
    return cairo_image_surface_get_data(surface)[y * cairo_image_surface_get_stride(surface) + 4 * x + 3];
}

} // namespace

// The raster stands in for cairo in the map layer, so it must cover the
// pixels cairo covers: antialiased edges may differ by a few levels where
// cairo samples fifteen rows a pixel and the raster takes exact areas.
TEST(MapRaster, DrawsShapesAsCairoDoes)
{
    const StrokeStyle round{2.5, LineEnds::Round, LineJoins::Round, {}};
    Path wiggle;
    for (int i = 0; i < 110; ++i)
        wiggle.push_back({5.2 + i * 1.37, 60.4 + 6.0 * std::sin(i * 0.35) + (i % 3) * 0.4});
    const Shape shapes[] = {
        {"square ring with a hole",
         {{{20.3, 20.6}, {130.4, 20.6}, {130.4, 100.2}, {20.3, 100.2}}, {{50.5, 40.5}, {90.5, 40.5}, {70.5, 80.5}}},
         true, Operation::FillEvenOdd},
        {"star, non-zero", {star(80.3, 60.7, 50.0)}, true, Operation::FillNonZero, {}, 160},
        {"star, even-odd", {star(80.3, 60.7, 50.0)}, true, Operation::FillEvenOdd, {}, 160},
        {"area past every edge", {{{-60.0, 20.3}, {210.0, -5.5}, {230.0, 180.0}, {40.2, 150.0}}}, true,
         Operation::FillEvenOdd},
        {"zigzag, round joins and caps", {{{10.3, 60.2}, {40.7, 30.1}, {45.2, 90.6}, {90.1, 20.4}, {150.6, 80.9}}},
         false, Operation::Stroke, round},
        {"thin curve, round dashes", {wiggle}, false, Operation::Stroke, {0.9, LineEnds::Round, LineJoins::Round, kDashes}},
        {"ring of butt dashes, mitered", {{{20.2, 20.3}, {140.8, 30.6}, {30.5, 100.1}, {60.4, 50.7}}}, true,
         Operation::Stroke, {1.2, LineEnds::Butt, LineJoins::Miter, kDashes}},
        {"sharp mitered corner", {{{10.6, 30.3}, {150.2, 42.9}, {10.4, 55.8}}}, true, Operation::Stroke,
         {0.8, LineEnds::Butt, LineJoins::Miter, {}}},
        {"dot", {{{70.4, 60.6}, {70.4, 60.6}}}, false, Operation::Stroke, {5.0, LineEnds::Round, LineJoins::Round, {}}},
        {"dashed line reaching far out", {{{-20000.3, 50.4}, {20000.6, 70.2}}}, false, Operation::Stroke,
         {1.6, LineEnds::Round, LineJoins::Round, kDashes}},
    };
    for (const Shape& shape : shapes) {
        viewtest::Canvas ours(160, 120), theirs(160, 120);
        drawWithRaster(ours.surface, shape);
        drawWithCairo(theirs.cr, shape);
        cairo_surface_flush(ours.surface);
        cairo_surface_flush(theirs.surface);
        int covered = 0, differing = 0, worst = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x) {
                int a = alpha(ours.surface, x, y), b = alpha(theirs.surface, x, y);
                covered += a > 0 || b > 0;
                differing += std::abs(a - b) > 24;
                worst = std::max(worst, std::abs(a - b));
            }
        EXPECT_GT(covered, 0) << shape.name;
        EXPECT_LE(differing, covered / 25) << shape.name;
        EXPECT_LE(worst, shape.worst) << shape.name;
    }
    // Bands of rows, however cut (one row, shapes above, below and across
    // them), draw the picture the whole image gets.
    viewtest::Canvas whole(160, 120), banded(160, 120);
    for (const Shape& shape : shapes)
        drawWithRaster(whole.surface, shape);
    drawInBands(banded.surface, {std::begin(shapes), std::end(shapes)}, {0, 1, 37, 60, 61, 120});
    EXPECT_TRUE(samePixels(whole.surface, banded.surface));
}

// Coordinates come from map files through a projection at any zoom. Whatever
// they are, drawing stays inside the image and returns promptly; where a
// sensible picture exists, it is drawn.
TEST(MapRaster, AnyCoordinatesStayInsideTheImage)
{
    constexpr int kWidth = 64, kHeight = 48, kGuard = 256; // guard pixels before and after the image
    const double nan = std::nan(""), inf = HUGE_VAL, tiny = 1e-300;
    const double tinyDashes[] = {tiny, tiny}, noDashes[] = {0.0, 0.0}, negative[] = {-1.0, 5.0}, dotDashes[] = {0.0, 4.0};
    Path million;
    for (int i = 0; i < 1'000'000; ++i)
        million.push_back({-10.0 + i * 8e-5, 24.0 + (i % 2) * 0.3});
    const StrokeStyle round{2.0, LineEnds::Round, LineJoins::Round, {}};
    const Path diagonal{{2.0, 2.0}, {60.0, 40.0}};
    // The name says whether something must show: "(blank)" where nothing need.
    const Shape cases[] = {
        {"area around the image from 1e300", {{{-1e300, -1e300}, {1e300, -1e300}, {0.0, 1e300}}}, false,
         Operation::FillEvenOdd},
        {"line between the largest doubles", {{{-1.7e308, 20.5}, {1.7e308, 30.5}}}, false, Operation::Stroke, round},
        {"mitered corners far out", {{{-1e300, 10.0}, {30.0, 20.0}, {1e300, 10.5}}}, false, Operation::Stroke,
         {3.0, LineEnds::Butt, LineJoins::Miter, {}}},
        {"points not finite in between", {{{5.0, 5.0}, {nan, 3.0}, {40.0, inf}, {-inf, nan}, {50.0, 40.0}, {10.0, 40.0}}},
         false, Operation::Stroke, round},
        {"area with points not finite", {{{5.0, 5.0}, {nan, nan}, {60.0, 8.0}, {inf, 20.0}, {30.0, 40.0}}}, false,
         Operation::FillNonZero},
        {"repeated and barely distinct points",
         {{{20.0, 20.0}, {20.0, 20.0}, {20.0 + 5e-324, 20.0}, {20.0, 20.0 + tiny}, {40.0, 30.0}}}, false,
         Operation::Stroke, round},
        {"dashes too short to see", {diagonal}, false, Operation::Stroke, {1.0, LineEnds::Round, LineJoins::Round, tinyDashes}},
        {"dashes of no length", {diagonal}, false, Operation::Stroke, {1.0, LineEnds::Butt, LineJoins::Round, noDashes}},
        {"dashes of negative length", {diagonal}, false, Operation::Stroke,
         {1.0, LineEnds::Butt, LineJoins::Round, negative}},
        {"dashes of dots, far across (blank)", {{{-1e9, 2.0}, {1e9, 40.0}}}, false, Operation::Stroke,
         {1.5, LineEnds::Round, LineJoins::Round, dotDashes}},
        {"width 1e300", {{{10.0, 10.0}, {20.0, 12.0}}}, false, Operation::Stroke, {1e300, LineEnds::Round, LineJoins::Round, {}}},
        {"width not a number (blank)", {{{10.0, 10.0}, {20.0, 12.0}}}, false, Operation::Stroke,
         {nan, LineEnds::Round, LineJoins::Round, {}}},
        {"a million points", {million}, false, Operation::Stroke, {1.0, LineEnds::Round, LineJoins::Round, kDashes}},
    };
    int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, kWidth) / 4;
    auto guard = [](auto from, auto to) { return std::all_of(from, to, [](auto v) { return v == 0xdeadbeef; }); };
    for (const Shape& item : cases) {
        // Drawn whole, and in bands of rows as the map layer draws it.
        std::vector<std::uint32_t> memory[2];
        cairo_surface_t* surfaces[2];
        for (int banded = 0; banded < 2; ++banded) {
            memory[banded].assign(std::size_t(2 * kGuard + stride * kHeight), 0xdeadbeef);
            std::uint32_t* pixels = memory[banded].data() + kGuard;
            std::fill(pixels, pixels + stride * kHeight, 0u);
            surfaces[banded] = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels),
                                                                   CAIRO_FORMAT_ARGB32, kWidth, kHeight, 4 * stride);
            if (banded)
                drawInBands(surfaces[banded], {item}, {0, 19, kHeight});
            else
                drawWithRaster(surfaces[banded], item);
            EXPECT_TRUE(guard(memory[banded].begin(), memory[banded].begin() + kGuard)
                        && guard(memory[banded].end() - kGuard, memory[banded].end()))
                << item.name;
        }
        EXPECT_TRUE(samePixels(surfaces[0], surfaces[1])) << item.name;
        cairo_surface_destroy(surfaces[0]);
        cairo_surface_destroy(surfaces[1]);
        const std::uint32_t* pixels = memory[0].data() + kGuard;
        EXPECT_TRUE(std::string_view(item.name).ends_with("(blank)")
                    || std::any_of(pixels, pixels + stride * kHeight, [](auto v) { return v != 0; }))
            << item.name;
    }
    // Drawing leaves the x87 unit usable (no MMX state behind): long double sums stay exact.
    volatile long double x = 1.5L;
    EXPECT_EQ(4.5L, x * 3.0L);
}

// The layer is drawn on several threads, a band of rows each; how many must
// not change a single byte of it. Real maps have areas, dashes, round caps
// and labels, many across the bands' edges.
TEST(MapLayer, AnyNumberOfThreadsDrawsTheSameLayer)
{
    std::vector<MapFeature> features =
        readOsmMap(std::string(PATHLARK_TEST_DATA_DIR) + "/osm/krems-2013_josm-single-quotes_excerpt.osm");
    ASSERT_FALSE(features.empty());
    MapPoint corner = features[0].points[0];
    std::unique_ptr<Track> track =
        viewtest::makeTrack({{corner.latitude, corner.longitude}, {corner.latitude + 0.004, corner.longitude + 0.006}});
    for (double zoom : {1.0, 3.0}) {
        MapScene scene{.track = track.get(), .view = {.width = 300, .height = 200, .zoom = zoom, .angleZ = 30},
                       .features = &features, .mapRevision = 1, .flags = {}};
        std::vector<std::uint8_t> layers[3];
        for (int threads : {1, 2, 3}) {
            viewtest::Canvas canvas(300, 200);
            TrackExtent extent;
            MapLayerCache cache;
            cache.threads = threads;
            renderMapPanel(canvas.cr, scene, extent, cache);
            ASSERT_TRUE(cache.surface);
            if (threads == 1) {
                MapProjection projection(*track, extent, scene.view);
                EXPECT_FALSE(placeMapLabels(collectLabelCandidates(cache.index, projection), 300, 200, zoom).empty());
            }
            cairo_surface_flush(cache.surface);
            const std::uint8_t* data = cairo_image_surface_get_data(cache.surface);
            layers[threads - 1].assign(data, data + cairo_image_surface_get_stride(cache.surface) * 600);
        }
        EXPECT_TRUE(layers[0] == layers[1] && layers[0] == layers[2]) << "zoom " << zoom;
    }
}
