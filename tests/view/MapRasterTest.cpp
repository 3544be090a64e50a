#include "view/MapRaster.h"

#include "ViewTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

using namespace pathlark;

namespace {

struct Point {
    double x, y;
};

enum class Operation { FillEvenOdd, FillNonZero, Stroke };

// One shape, drawn in opaque black by the raster and by cairo.
struct Shape {
    const char* name;
    std::vector<std::vector<Point>> paths;
    bool closed;
    Operation operation;
    StrokeStyle style = {};
    // Pixels where edges cross get the sum of the areas on each side, so a
    // self-crossing outline is off there, and only there.
    int worst = 64;
};

constexpr double kDashes[] = {5.0, 4.0};

std::vector<Point> star(double cx, double cy, double radius)
{
    std::vector<Point> points;
    for (int i = 0; i < 5; ++i) {
        double angle = i * 4.0 * std::numbers::pi / 5.0 - std::numbers::pi / 2.0;
        points.push_back({cx + radius * std::cos(angle), cy + radius * std::sin(angle)});
    }
    return points;
}

std::vector<Point> wiggle(double x0, double y0, int count, double step)
{
    std::vector<Point> points;
    for (int i = 0; i < count; ++i)
        points.push_back({x0 + i * step, y0 + 6.0 * std::sin(i * 0.35) + (i % 3) * 0.4});
    return points;
}

void drawWithRaster(cairo_surface_t* surface, const Shape& shape)
{
    RasterBuffers buffers;
    MapRaster raster(surface, 0.0, 0.0, buffers);
    for (const std::vector<Point>& path : shape.paths) {
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

void drawWithCairo(cairo_t* cr, const Shape& shape)
{
    for (const std::vector<Point>& path : shape.paths) {
        cairo_move_to(cr, path[0].x, path[0].y);
        for (const Point& p : path)
            cairo_line_to(cr, p.x, p.y);
        if (shape.closed)
            cairo_close_path(cr);
    }
    if (shape.operation != Operation::Stroke) {
        cairo_set_fill_rule(cr, shape.operation == Operation::FillEvenOdd ? CAIRO_FILL_RULE_EVEN_ODD
                                                                           : CAIRO_FILL_RULE_WINDING);
        cairo_fill(cr);
        return;
    }
    const StrokeStyle& style = shape.style;
    cairo_set_line_width(cr, style.width);
    cairo_set_line_cap(cr, style.ends == LineEnds::Round ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, style.joins == LineJoins::Round ? CAIRO_LINE_JOIN_ROUND : CAIRO_LINE_JOIN_MITER);
    cairo_set_dash(cr, style.dashes.data(), int(style.dashes.size()), 0.0);
    cairo_stroke(cr);
}

} // namespace

// The raster stands in for cairo in the map layer, so it must cover the
// pixels cairo covers: antialiased edges may differ by a few levels where
// cairo samples fifteen rows a pixel and the raster takes exact areas.
TEST(MapRaster, DrawsShapesAsCairoDoes)
{
    const StrokeStyle roundDashed{0.9, LineEnds::Round, LineJoins::Round, kDashes};
    const Shape shapes[] = {
        {"square ring with a hole",
         {{{20.3, 20.6}, {130.4, 20.6}, {130.4, 100.2}, {20.3, 100.2}}, {{50.5, 40.5}, {90.5, 40.5}, {70.5, 80.5}}},
         true, Operation::FillEvenOdd},
        {"star, non-zero", {star(80.3, 60.7, 50.0)}, true, Operation::FillNonZero, {}, 160},
        {"star, even-odd", {star(80.3, 60.7, 50.0)}, true, Operation::FillEvenOdd, {}, 160},
        {"area past every edge", {{{-60.0, 20.3}, {210.0, -5.5}, {230.0, 180.0}, {40.2, 150.0}}}, true,
         Operation::FillEvenOdd},
        {"zigzag, round joins and caps", {{{10.3, 60.2}, {40.7, 30.1}, {45.2, 90.6}, {90.1, 20.4}, {150.6, 80.9}}},
         false, Operation::Stroke, {2.5, LineEnds::Round, LineJoins::Round, {}}},
        {"thin curve, round dashes", {wiggle(5.2, 60.4, 110, 1.37)}, false, Operation::Stroke, roundDashed},
        {"ring of butt dashes, mitered", {{{20.2, 20.3}, {140.8, 30.6}, {30.5, 100.1}, {60.4, 50.7}}}, true,
         Operation::Stroke, {1.2, LineEnds::Butt, LineJoins::Miter, kDashes}},
        {"sharp mitered corner", {{{10.6, 30.3}, {150.2, 42.9}, {10.4, 55.8}}}, true, Operation::Stroke,
         {0.8, LineEnds::Butt, LineJoins::Miter, {}}},
        {"dot", {{{70.4, 60.6}, {70.4, 60.6}}}, false, Operation::Stroke, {5.0, LineEnds::Round, LineJoins::Round, {}}},
        {"dashed line reaching far out", {{{-20000.3, 50.4}, {20000.6, 70.2}}}, false, Operation::Stroke,
         {1.6, LineEnds::Round, LineJoins::Round, kDashes}},
    };
    for (const Shape& shape : shapes) {
        viewtest::Canvas ours(160, 120);
        viewtest::Canvas theirs(160, 120);
        drawWithRaster(ours.surface, shape);
        drawWithCairo(theirs.cr, shape);
        cairo_surface_flush(ours.surface);
        cairo_surface_flush(theirs.surface);
        int covered = 0, differing = 0, worst = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x) {
                int a = int(cairo_image_surface_get_data(ours.surface)[y * cairo_image_surface_get_stride(ours.surface)
                                                                       + 4 * x + 3]);
                int b = int(cairo_image_surface_get_data(theirs.surface)[y * cairo_image_surface_get_stride(
                                                                             theirs.surface)
                                                                         + 4 * x + 3]);
                covered += a > 0 || b > 0;
                differing += std::abs(a - b) > 24;
                worst = std::max(worst, std::abs(a - b));
            }
        EXPECT_GT(covered, 0) << shape.name;
        EXPECT_LE(differing, covered / 25) << shape.name;
        EXPECT_LE(worst, shape.worst) << shape.name;
    }
}
