#include "view/MapRenderer.h"

#include "map/OsmReader.h"
#include "view/MapStyle.h"
#include "ViewTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using namespace pathlark;
using viewtest::blend;
using viewtest::kTolerance;
using viewtest::makeTrack;
using viewtest::Rgb;
using viewtest::rgb;

namespace {

const Rgb kBackground = rgb(0.96, 0.97, 0.98);
const Rgb kForest = blend(0.53, 0.73, 0.48, 0.48, kBackground);

MapFeature feature(MapCategory category, std::vector<MapPoint> points, std::string name = {}, bool closed = false)
{
    MapFeature f;
    f.category = category;
    f.points = std::move(points);
    f.name = std::move(name);
    f.closed = closed;
    return f;
}

// A 400 x 400 panel over the track's square extent 47.0..47.1 N, 9.0..9.1 E:
// 3440 pixels per degree at zoom 1, the north-west corner at (28, 28). The
// legend covers y 308..388, so probes stay above it.
struct MapRendererTest : testing::Test {
    MapRendererTest()
    {
        scene.track = track.get();
        scene.view = {.width = 400, .height = 400};
        scene.features = &features;
        scene.mapRevision = 1;
    }

    void render()
    {
        renderMapPanel(canvas.cr, scene, extent, cache);
        ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(canvas.cr));
    }

    Rgb at(double x, double y) const { return canvas.at(x, y); }

    // The position drawn at panel pixel (x, y) at zoom 1 without pan.
    static MapPoint pixel(double x, double y) { return {47.1 - (y - 28.0) / 3440.0, 9.0 + (x - 28.0) / 3440.0}; }

    static MapFeature square(MapCategory category, double x0, double y0, double x1, double y1)
    {
        return feature(category, {pixel(x0, y0), pixel(x1, y0), pixel(x1, y1), pixel(x0, y1), pixel(x0, y0)}, {}, true);
    }

    static MapFeature horizontal(MapCategory category, double x0, double x1, double y)
    {
        return feature(category, {pixel(x0, y), pixel(x1, y)});
    }

    // Along the top and right edges of the extent, out of the way of the probes.
    std::unique_ptr<Track> track = makeTrack({{47.1, 9.0, 400.0}, {47.1, 9.1, 420.0}, {47.0, 9.1, 450.0}});
    std::vector<MapFeature> features;
    MapScene scene;
    TrackExtent extent;
    MapLayerCache cache;
    viewtest::Canvas canvas{400, 400};
};

} // namespace

TEST_F(MapRendererTest, BackgroundAndGridWithoutTrack)
{
    scene.track = nullptr;
    render();
    EXPECT_RGB_NEAR(kBackground, at(25, 25), kTolerance);
    // Lines at x = 50 and y = 50, one pixel wide, half on each neighbouring pixel.
    Rgb halfGrid = blend(0.88, 0.90, 0.92, 0.5, kBackground);
    EXPECT_RGB_NEAR(halfGrid, at(49, 25), kTolerance);
    EXPECT_RGB_NEAR(halfGrid, at(25, 50), kTolerance);
    EXPECT_EQ(0u, cache.rebuilds);
}

TEST_F(MapRendererTest, AreasFillByCategoryFromTheirMinimumZoomAndLeaveHoles)
{
    MapFeature forest = square(MapCategory::Forest, 160, 40, 280, 160);
    forest.rings.push_back(square(MapCategory::Forest, 180, 60, 210, 90).points);
    MapFeature openWater = square(MapCategory::WaterArea, 60, 110, 90, 140);
    openWater.closed = false;
    openWater.points.pop_back();
    features = {forest, square(MapCategory::Building, 110, 110, 140, 140), openWater};
    render();
    EXPECT_RGB_NEAR(kForest, at(240, 75), kTolerance);
    EXPECT_RGB_NEAR(kBackground, at(195, 75), kTolerance) << "an inner ring is a hole";
    EXPECT_RGB_NEAR(kBackground, at(125, 125), kTolerance) << "buildings wait for zoom 1.25";
    EXPECT_RGB_NEAR(kBackground, at(75, 125), kTolerance) << "an open way cannot be filled";

    // At zoom 1.25 about the centre (200, 200) the building's middle moves to (106.25, 106.25).
    scene.view.zoom = 1.25;
    render();
    EXPECT_RGB_NEAR(blend(0.66, 0.58, 0.50, 0.52, kBackground), at(106, 106), kTolerance);
}

TEST_F(MapRendererTest, BridgeGetsACasingAndTunnelIsDashed)
{
    // A motorway 4.2 pixels wide centred 2.1 below a pixel row: the casing adds one whole row each side.
    MapFeature bridge = horizontal(MapCategory::Motorway, 30, 170, 62.1);
    bridge.bridge = true;
    // A service road 1.5 wide from x = 40: dashes 5 on, 4 off, with round caps of 0.75.
    MapFeature tunnel = horizontal(MapCategory::ServiceRoad, 40, 170, 120.75);
    tunnel.tunnel = true;
    features = {bridge, tunnel};
    render();
    Rgb casing = blend(0.30, 0.30, 0.30, 0.72, kBackground);
    EXPECT_RGB_NEAR(casing, at(75, 59), kTolerance);
    EXPECT_RGB_NEAR(blend(0.88, 0.43, 0.18, 0.82, casing), at(75, 62), kTolerance);
    EXPECT_RGB_NEAR(kBackground, at(75, 57), kTolerance);

    Rgb dash = blend(0.58, 0.57, 0.54, 0.48, kBackground);
    EXPECT_RGB_NEAR(dash, at(42, 120), kTolerance);
    EXPECT_RGB_NEAR(kBackground, at(46, 120), kTolerance);
    EXPECT_RGB_NEAR(dash, at(51, 120), kTolerance);
}

TEST_F(MapRendererTest, LayerIsReusedWithinEightTenthsOfThePanel)
{
    features = {square(MapCategory::Forest, 60, 60, 90, 90)};
    render();
    ASSERT_EQ(1u, cache.rebuilds);

    scene.view.panX = 40.0;
    render();
    EXPECT_EQ(1u, cache.rebuilds);
    EXPECT_RGB_NEAR(kForest, at(115, 75), kTolerance) << "the reused layer is shifted by the pan";
    EXPECT_RGB_NEAR(kBackground, at(65, 75), kTolerance);

    scene.view.panX = 320.0;
    scene.view.panY = -320.0;
    render();
    EXPECT_EQ(1u, cache.rebuilds);
    scene.view.panX = 320.001;
    render();
    EXPECT_EQ(2u, cache.rebuilds);

    scene.mapRevision = 2;
    render();
    EXPECT_EQ(3u, cache.rebuilds);
    scene.view.angleZ = 5;
    render();
    EXPECT_EQ(4u, cache.rebuilds);
    render();
    EXPECT_EQ(4u, cache.rebuilds);
}

TEST_F(MapRendererTest, LegendHasOneColumnBelow320Pixels)
{
    // A feature far off the panel, so the legend shows over an empty map.
    features = {feature(MapCategory::Motorway, {{48.1, 9.0}, {48.1, 9.01}})};
    Rgb box = blend(1.0, 1.0, 1.0, 0.88, kBackground);
    for (int width : {319, 320}) {
        viewtest::Canvas panel(width, 300);
        scene.view.width = width;
        scene.view.height = 300;
        renderMapPanel(panel.cr, scene, extent, cache);
        // One column: 146 x 155 from (12, 133). Two columns: 286 x 80 from (12, 208).
        bool oneColumn = width < 320;
        EXPECT_RGB_NEAR(oneColumn ? kBackground : box, panel.at(290, 210), kTolerance) << width;
        EXPECT_RGB_NEAR(oneColumn ? box : kBackground, panel.at(145, 136), kTolerance) << width;
    }
}

TEST_F(MapRendererTest, SectionIsTheSameWhicheverMarkerComesFirst)
{
    track = makeTrack({{47.1, 9.0}, {47.05, 9.02}, {47.05, 9.04}, {47.05, 9.06}, {47.05, 9.08}, {47.0, 9.1}});
    scene.track = track.get();
    scene.markerA = 4;
    scene.markerB = 1;
    render();
    const unsigned char* pixels = cairo_image_surface_get_data(canvas.surface);
    std::vector<unsigned char> first(pixels, pixels + 400 * 4 * 400);
    // Points 1..4 lie on y = 200 at x = 96.8, 165.6, 234.4, 303.2.
    Rgb red = rgb(0.82, 0.12, 0.10);
    EXPECT_RGB_NEAR(red, at(131, 199), kTolerance);
    EXPECT_RGB_NEAR(red, at(234, 200), kTolerance);
    // Point 0 to 1 runs from (28, 28) to (96.8, 200); this pixel is almost wholly on it.
    EXPECT_RGB_NEAR(rgb(0.08, 0.38, 0.70), at(60, 110), 12) << "the track line outside the section";

    scene.markerA = 1;
    scene.markerB = 4;
    render();
    EXPECT_EQ(0, std::memcmp(first.data(), pixels, first.size()));
}

TEST_F(MapRendererTest, CursorsDotsAndDirectLine)
{
    track = makeTrack({{47.1, 9.0}, {47.05, 9.02}, {47.05, 9.05}, {47.0, 9.1}});
    scene.track = track.get();
    scene.cursorIndex = 2;
    scene.view.panX = 10.0;
    scene.view.panY = 10.0;
    scene.showWaypoints = true;
    render();
    // Point 2 is drawn at (210, 210): the ring runs from radius 5.5 to 8.5.
    EXPECT_RGB_NEAR(rgb(1.0, 0.72, 0.05), at(216, 210), kTolerance);
    // Point 1 at (106.8, 210): the middle of its dot.
    EXPECT_RGB_NEAR(rgb(0.10, 0.32, 0.60), at(106, 209), kTolerance);

    scene.freeCursor = true;
    scene.freeCursorLat = 47.05;
    scene.freeCursorLon = 9.05;
    scene.showWaypoints = false;
    scene.markerA = 0;
    scene.markerB = 3;
    scene.showDirectLine = true;
    render();
    Rgb orange = rgb(0.92, 0.32, 0.10);
    EXPECT_RGB_NEAR(orange, at(217, 209), kTolerance);
    EXPECT_RGB_NEAR(orange, at(209, 203), kTolerance);
}

TEST_F(MapRendererTest, DenseTrackStillShowsEveryStretch)
{
    // 5001 points a fraction of a pixel apart, straight down the middle at x = 200.
    track = std::make_unique<Track>();
    for (int i = 0; i <= 5000; ++i)
        viewtest::addPoint(*track, {47.1 - 0.1 * i / 5000.0, i == 0 ? 9.0 : i == 5000 ? 9.1 : 9.05});
    scene.track = track.get();
    render();
    for (int y : {40, 130, 230, 290})
        EXPECT_RGB_NEAR(rgb(0.08, 0.38, 0.70), at(199, y), kTolerance) << y;
    // Each later dot's rim covers the middle of the dots a few pixels before
    // it, so the chain shows rim colour; only the last dot shows its fill.
    scene.showWaypoints = true;
    render();
    for (int y : {40, 130, 230, 290})
        EXPECT_RGB_NEAR(rgb(0.95, 0.98, 1.0), at(199, y), 12) << y;
    EXPECT_RGB_NEAR(rgb(0.10, 0.32, 0.60), at(371, 371), kTolerance);
}

TEST_F(MapRendererTest, UnusablePointsAndNamesLeaveTheContextWorking)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    track = makeTrack({{nan, 9.0}, {47.1, 9.0, nan}, {47.0, 9.1}, {47.05, HUGE_VAL}});
    scene.track = track.get();
    scene.cursorIndex = 0;
    scene.markerA = 0;
    scene.markerB = 3;
    scene.showWaypoints = true;
    scene.showDirectLine = true;
    scene.view.showHeight = true;
    scene.view.angleX = 30;
    MapFeature named = square(MapCategory::Forest, 60, 60, 90, 90);
    named.name = "bad \xC3( name";
    features = {named};
    render();
}

TEST_F(MapRendererTest, PixelSizedFeaturesStayVisible)
{
    // One pixel each, straddling pixel borders so their ink is spread thin.
    features = {square(MapCategory::Forest, 60.5, 60.5, 61.5, 61.5), square(MapCategory::WaterArea, 90, 60, 91, 61),
                horizontal(MapCategory::Path, 120.3, 121.3, 60.5), horizontal(MapCategory::MinorRoad, 150, 151, 61)};
    render();
    for (int x : {60, 90, 120, 150}) {
        int strongest = 0;
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx) {
                Rgb c = at(x + dx, 60 + dy);
                strongest = std::max({strongest, std::abs(c.r - kBackground.r), std::abs(c.g - kBackground.g),
                                      std::abs(c.b - kBackground.b)});
            }
        EXPECT_GE(strongest, 12) << "feature at x " << x;
    }
}

namespace {

// The map layer as cairo draws it in full detail: every point, every feature
// stroked and filled on its own, the labels' outlines stroked and filled.
void drawWithCairo(cairo_t* cr, const std::vector<const MapFeature*>& shown, const std::vector<PlacedLabel>& labels,
                   const MapProjection& projection)
{
    static const double dashes[] = {5.0, 4.0};
    double factor = widthFactor(projection.view().zoom);
    for (const MapFeature* f : shown) {
        const CategoryStyle& style = categoryStyle(f->category);
        cairo_new_path(cr);
        auto ring = [&](const std::vector<MapPoint>& points, bool close) {
            for (const MapPoint& point : points) {
                ScreenPoint p = projection.projectGround(point.latitude, point.longitude, Pan::Applied);
                cairo_line_to(cr, p.x, p.y);
            }
            if (close)
                cairo_close_path(cr);
        };
        ring(f->points, f->closed);
        for (const std::vector<MapPoint>& extra : f->rings)
            if (extra.size() > 2) {
                cairo_new_sub_path(cr);
                ring(extra, true);
            }
        bool water = f->category == MapCategory::WaterArea;
        if (style.area) {
            cairo_set_source_rgba(cr, style.red, style.green, style.blue, style.alpha);
            cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
            cairo_fill_preserve(cr);
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
            cairo_set_dash(cr, dashes, f->boundary ? 2 : 0, 0.0);
            water ? cairo_set_source_rgba(cr, 0.18, 0.52, 0.74, 0.86)
            : f->boundary ? cairo_set_source_rgba(cr, 0.55, 0.43, 0.65, 0.72)
                          : cairo_set_source_rgba(cr, 0.38, 0.40, 0.40, 0.42);
            cairo_set_line_width(cr, f->boundary ? factor * 1.2 : water ? 1.1 : 0.8);
            cairo_stroke(cr);
            continue;
        }
        double width = style.baseWidth * factor;
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_set_dash(cr, dashes, 0, 0.0);
        if (f->bridge) {
            cairo_set_source_rgba(cr, 0.30, 0.30, 0.30, 0.72);
            cairo_set_line_width(cr, width + 2.0);
            cairo_stroke_preserve(cr);
        }
        cairo_set_dash(cr, dashes, style.dashed || f->tunnel ? 2 : 0, 0.0);
        cairo_set_source_rgba(cr, style.red, style.green, style.blue, f->tunnel ? 0.48 : 0.82);
        cairo_set_line_width(cr, width);
        cairo_stroke(cr);
    }
    cairo_set_dash(cr, dashes, 0, 0.0);
    cairo_select_font_face(cr, "Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 11.0 * labelScale(projection.view().zoom));
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 3.0 * labelScale(projection.view().zoom));
    for (const PlacedLabel& label : labels) {
        cairo_new_path(cr);
        cairo_move_to(cr, label.x, label.y);
        cairo_text_path(cr, label.name.c_str());
        cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 0.88);
        cairo_stroke_preserve(cr);
        cairo_set_source_rgba(cr, 0.16, 0.18, 0.20, 0.92);
        cairo_fill(cr);
    }
}

} // namespace

// The layer leaves out work nobody sees, not features: the same maps at low,
// middle and high zoom and turned about two axes look as cairo draws them
// with every point.
TEST(MapLayer, RealMapsLookAsDrawnInFullDetail)
{
    struct View {
        double zoom;
        int angleX, angleZ;
    };
    for (const char* name : {"north-bayreuth-2014_overpass_forest-excerpt.osm", "krems-2013_josm-single-quotes_excerpt.osm"}) {
        std::vector<MapFeature> features = readOsmMap(std::string(PATHLARK_TEST_DATA_DIR) + "/osm/" + name);
        ASSERT_FALSE(features.empty()) << name;
        // A track across the map's extent, so the view fits the map.
        double minLat = HUGE_VAL, maxLat = -HUGE_VAL, minLon = HUGE_VAL, maxLon = -HUGE_VAL;
        for (const MapFeature& f : features)
            for (const MapPoint& p : f.points) {
                minLat = std::min(minLat, p.latitude);
                maxLat = std::max(maxLat, p.latitude);
                minLon = std::min(minLon, p.longitude);
                maxLon = std::max(maxLon, p.longitude);
            }
        auto track = makeTrack({{minLat, minLon}, {maxLat, maxLon}});
        for (View v : {View{1.0, 0, 0}, View{4.0, 0, 0}, View{20.0, 0, 0}, View{2.0, 40, 30}}) {
            MapScene scene;
            scene.track = track.get();
            scene.view = {.width = 240, .height = 180, .zoom = v.zoom, .angleX = v.angleX, .angleZ = v.angleZ};
            scene.features = &features;
            scene.mapRevision = 1;
            TrackExtent extent;
            MapLayerCache cache;
            viewtest::Canvas panel(240, 180);
            renderMapPanel(panel.cr, scene, extent, cache);
            ASSERT_TRUE(cache.surface);

            MapProjection projection(*track, extent, scene.view);
            viewtest::Canvas full(720, 540);
            cairo_translate(full.cr, 240, 180);
            drawWithCairo(full.cr, mapLayerFeatures(cache, features, 1, projection),
                          placeMapLabels(collectLabelCandidates(cache.index, projection), 240, 180, v.zoom), projection);
            // Antialiased edges differ by a few levels, a missing or misplaced feature by far more.
            std::string view = std::string(name) + " at zoom " + std::to_string(v.zoom);
            EXPECT_LT(viewtest::differingShare(cache.surface, full.surface, kBackground, 8), 0.002) << view;
            EXPECT_LT(viewtest::differingShare(cache.surface, full.surface, kBackground, 32), 0.0001)
                << view << ", turned " << v.angleX << " and " << v.angleZ;
        }
    }
}

// The grid only saves time: what it finds is what testing every feature finds.
TEST(MapFeatureIndex, FindsWhatTestingEveryFeatureFinds)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> lat(47.0, 47.2), lon(9.0, 9.2), size(0.0, 0.002);
    std::vector<MapFeature> features;
    for (int i = 0; i < 4000; ++i) {
        double la = lat(random), lo = lon(random);
        // Every fiftieth feature spans most of the map, like a border.
        double extent = i % 50 == 0 ? 0.15 : size(random);
        features.push_back(feature(MapCategory(1 + i % 16), {{la, lo}, {la + extent, lo + extent * 0.7}}));
    }
    features[3].points[1].latitude = std::numeric_limits<double>::quiet_NaN();
    MapFeatureIndex index;
    index.update(features, 1);
    auto track = makeTrack({{47.05, 9.05}, {47.08, 9.09}});
    TrackExtent extent;
    for (ViewState view : {ViewState{.width = 300, .height = 200}, ViewState{.width = 300, .height = 200, .zoom = 6.0},
                           ViewState{.width = 300, .height = 200, .zoom = 0.05},
                           ViewState{.width = 300, .height = 200, .panX = 400.0, .angleX = 60, .angleZ = 135}}) {
        MapProjection projection(*track, extent, view);
        ScreenBox box{-300.0, -200.0, 600.0, 400.0};
        std::vector<std::size_t> expected;
        for (std::size_t i = 0; i < index.drawOrder().size(); ++i)
            if (index.bounds()[i].finite && touches(index.bounds()[i], projection, box))
                expected.push_back(i);
        EXPECT_EQ(expected, index.featuresTouching(projection, box)) << "zoom " << view.zoom;
    }
}

TEST(MapLabels, LowerPriorityNumberWinsACollision)
{
    std::vector<LabelCandidate> candidates = {
        {"Secondary", 100, 100, 3},  {"Primary", 105, 102, 1}, {"Elsewhere", 100, 20, 3},
        {"Tied second", 100, 20, 3}, {"Far away", 900, 100, 0}, {"bad \xFF", 100, 180, 0},
    };
    std::vector<std::string> names;
    for (const PlacedLabel& label : placeMapLabels(candidates, 200, 200, 1.0))
        names.push_back(label.name);
    EXPECT_EQ((std::vector<std::string>{"Primary", "Elsewhere"}), names);
}

TEST(MapLabels, CandidatesNeedANameTheirZoomAndAnAnchorInReach)
{
    using enum MapCategory;
    auto track = makeTrack({{47.1, 9.0}, {47.0, 9.1}});
    TrackExtent extent;
    const std::vector<MapFeature> features = {
        feature(Waterway, {{47.1, 9.0}, {47.05, 9.05}, {47.0, 9.1}}, "River"),
        feature(Grass, {{47.0, 9.0}, {47.0, 9.02}, {47.02, 9.02}, {47.0, 9.0}}, "Park", true),
        feature(MinorRoad, {{47.0, 9.0}, {47.1, 9.1}}, "Lane"),
        feature(Building, {{47.0, 9.0}, {47.0, 9.02}, {47.02, 9.0}, {47.0, 9.0}}, "House", true),
        feature(Motorway, {{47.0, 9.0}, {47.1, 9.1}}),
        feature(Motorway, {{48.0, 9.0}, {48.1, 9.1}}, "Far"),
    };
    MapFeatureIndex index;
    index.update(features, 1);
    std::vector<LabelCandidate> candidates =
        collectLabelCandidates(index, MapProjection(*track, extent, {.width = 200, .height = 200}));
    ASSERT_EQ(1u, candidates.size()) << "grass and minor roads are named from zoom 1.25 only";
    EXPECT_EQ("River", candidates[0].name);
    EXPECT_NEAR(100.0, candidates[0].x, 1e-6);
    EXPECT_EQ(2, candidates[0].priority);

    MapProjection closer(*track, extent, {.width = 200, .height = 200, .zoom = 1.25});
    candidates = collectLabelCandidates(index, closer);
    // In draw order: the park below the river below the lane.
    ASSERT_EQ(3u, candidates.size());
    EXPECT_EQ("Park", candidates[0].name);
    EXPECT_EQ("Lane", candidates[2].name);
    // The park's anchor is the mean of its three corners, the repeated first point left out.
    ScreenPoint park = closer.projectGround(47.02 / 3.0 + 47.0 * 2.0 / 3.0, 9.0 / 3.0 + 9.02 * 2.0 / 3.0, Pan::Applied);
    EXPECT_TRUE(viewtest::isAt(park, candidates[0].x, candidates[0].y));
}

TEST(MapStyle, WidthFactorIsClampedAtBothEnds)
{
    EXPECT_DOUBLE_EQ(1.0, widthFactor(1.0));
    EXPECT_DOUBLE_EQ(0.72, widthFactor(0.05));
    EXPECT_DOUBLE_EQ(1.65, widthFactor(50.0));
    EXPECT_TRUE(categoryStyle(static_cast<MapCategory>(99)).minZoom > 50.0);
}
