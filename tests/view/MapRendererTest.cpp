#include "view/MapRenderer.h"

#include "map/OsmReader.h"
#include "view/MapStyle.h"
#include "ViewTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <tuple>

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
    return MapFeature{.points = std::move(points), .rings = {}, .name = std::move(name), .category = category, .closed = closed};
}

// A 400 x 400 panel over the track's square extent 47.0..47.1 N, 9.0..9.1 E:
// 3440 pixels per degree at zoom 1, the north-west corner at (28, 28). The
// legend covers y 308..388, so probes stay above it.
struct MapRendererTest : testing::Test {
    void render()
    {
        renderMapPanel(canvas.cr, scene, extent, cache);
        ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(canvas.cr));
    }
    void use(std::unique_ptr<Track> other)
    {
        track = std::move(other);
        scene.track = track.get();
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
    MapScene scene{.track = track.get(), .view = {.width = 400, .height = 400}, .features = &features, .mapRevision = 1, .flags = {}};
    TrackExtent extent;
    MapLayerCache cache;
    viewtest::Canvas canvas{400, 400};
};

} // namespace

TEST_F(MapRendererTest, BackgroundGridAreasBridgesAndTunnels)
{
    MapFeature forest = square(MapCategory::Forest, 160, 40, 280, 160);
    forest.rings.push_back(square(MapCategory::Forest, 180, 60, 210, 90).points);
    MapFeature openWater = square(MapCategory::WaterArea, 60, 110, 90, 140);
    openWater.closed = false;
    openWater.points.pop_back();
    // A motorway 4.2 pixels wide centred 2.1 below a pixel row: the casing adds one whole row each side.
    MapFeature bridge = horizontal(MapCategory::Motorway, 30, 170, 62.1);
    bridge.bridge = true;
    // A service road 1.5 wide from x = 40: dashes 5 on, 4 off, with round caps of 0.75.
    MapFeature tunnel = horizontal(MapCategory::ServiceRoad, 40, 170, 120.75);
    tunnel.tunnel = true;
    features = {forest, square(MapCategory::Building, 110, 110, 140, 140), openWater, bridge, tunnel};
    render();
    const Rgb halfGrid = blend(0.88, 0.90, 0.92, 0.5, kBackground), casing = blend(0.30, 0.30, 0.30, 0.72, kBackground);
    const Rgb dash = blend(0.58, 0.57, 0.54, 0.48, kBackground);
    struct Probe {
        int x, y;
        Rgb colour;
        const char* what;
    } const probes[] = {
        {25, 25, kBackground, "background"}, {49, 25, halfGrid, "grid line at x = 50"}, {25, 50, halfGrid, "at y = 50"},
        {240, 75, kForest, "forest"}, {195, 75, kBackground, "an inner ring is a hole"},
        {125, 125, kBackground, "buildings wait for zoom 1.25"}, {75, 125, kBackground, "an open way is not filled"},
        {75, 59, casing, "bridge casing"}, {75, 62, blend(0.88, 0.43, 0.18, 0.82, casing), "motorway on the bridge"},
        {75, 57, kBackground, "beyond the casing"}, {42, 120, dash, "dash"}, {46, 120, kBackground, "gap"},
        {51, 120, dash, "next dash"},
    };
    for (const Probe& p : probes)
        EXPECT_RGB_NEAR(p.colour, at(p.x, p.y), kTolerance) << p.what;

    // At zoom 1.25 about the centre (200, 200) the building's middle moves to (106.25, 106.25).
    scene.view.zoom = 1.25;
    render();
    EXPECT_RGB_NEAR(blend(0.66, 0.58, 0.50, 0.52, kBackground), at(106, 106), kTolerance);
    scene.track = nullptr;
    MapLayerCache fresh;
    renderMapPanel(canvas.cr, scene, extent, fresh);
    EXPECT_RGB_NEAR(halfGrid, at(49, 25), kTolerance) << "no track: the grid alone";
    EXPECT_EQ(0u, fresh.rebuilds);
}

TEST_F(MapRendererTest, LayerIsReusedWithinEightTenthsOfThePanel)
{
    features = {square(MapCategory::Forest, 60, 60, 90, 90)};
    struct Step {
        double panX, panY;
        std::uint64_t revision;
        int angleZ;
        unsigned rebuilds;
    } const steps[] = {{0, 0, 1, 0, 1},     {40, 0, 1, 0, 1},      {320, -320, 1, 0, 1}, {320.001, -320, 1, 0, 2},
                       {320.001, -320, 2, 0, 3}, {320.001, -320, 2, 5, 4}, {320.001, -320, 2, 5, 4}};
    for (const Step& s : steps) {
        scene.view.panX = s.panX;
        scene.view.panY = s.panY;
        scene.mapRevision = s.revision;
        scene.view.angleZ = s.angleZ;
        render();
        EXPECT_EQ(s.rebuilds, cache.rebuilds) << s.panX << " " << s.revision << " " << s.angleZ;
        if (s.panX == 40) {
            EXPECT_RGB_NEAR(kForest, at(115, 75), kTolerance) << "the reused layer is shifted by the pan";
            EXPECT_RGB_NEAR(kBackground, at(65, 75), kTolerance);
        }
    }
}

TEST_F(MapRendererTest, SectionCursorsDotsAndDirectLine)
{
    use(makeTrack({{47.1, 9.0}, {47.05, 9.02}, {47.05, 9.04}, {47.05, 9.06}, {47.05, 9.08}, {47.0, 9.1}}));
    scene.markerA = 4;
    scene.markerB = 1;
    render();
    const unsigned char* pixels = cairo_image_surface_get_data(canvas.surface);
    std::vector<unsigned char> first(pixels, pixels + 400 * 4 * 400);
    // Points 1..4 lie on y = 200 at x = 96.8, 165.6, 234.4, 303.2; point 0 to 1 runs from (28, 28) to (96.8, 200).
    EXPECT_RGB_NEAR(rgb(0.82, 0.12, 0.10), at(131, 199), kTolerance) << "the section";
    EXPECT_RGB_NEAR(rgb(0.82, 0.12, 0.10), at(234, 200), kTolerance);
    EXPECT_RGB_NEAR(rgb(0.08, 0.38, 0.70), at(60, 110), 12) << "the track line outside the section";
    std::swap(scene.markerA, scene.markerB);
    render();
    EXPECT_EQ(0, std::memcmp(first.data(), pixels, first.size())) << "whichever marker comes first";
    scene.markerB = -1;
    scene.showDirectLine = true;
    render();
    EXPECT_RGB_NEAR(rgb(0.08, 0.38, 0.70), at(200, 200), 12) << "one marker makes no section";

    use(makeTrack({{47.1, 9.0}, {47.05, 9.02}, {47.05, 9.05}, {47.0, 9.1}}));
    scene.cursorIndex = 2;
    scene.view.panX = scene.view.panY = 10.0;
    scene.showWaypoints = true;
    render();
    // Point 2 is drawn at (210, 210): the ring runs from radius 5.5 to 8.5. Point 1's dot is at (106.8, 210).
    EXPECT_RGB_NEAR(rgb(1.0, 0.72, 0.05), at(216, 210), kTolerance);
    EXPECT_RGB_NEAR(rgb(0.10, 0.32, 0.60), at(106, 209), kTolerance);
    scene.freeCursor = true;
    scene.freeCursorLat = 47.05;
    scene.freeCursorLon = 9.05;
    scene.showWaypoints = false;
    scene.markerA = 0;
    scene.markerB = 3;
    scene.showDirectLine = true;
    viewtest::Canvas flag(6, 10);  // marker A's flag, in magenta, stands on point 0 at (38, 38)
    cairo_set_source_rgb(flag.cr, 1.0, 0.0, 1.0);
    cairo_paint(flag.cr);
    scene.flags.markA = flag.surface;
    render();
    EXPECT_RGB_NEAR(rgb(0.92, 0.32, 0.10), at(217, 209), kTolerance);
    EXPECT_RGB_NEAR(rgb(0.92, 0.32, 0.10), at(209, 203), kTolerance);
    EXPECT_RGB_NEAR(rgb(1.0, 0.0, 1.0), at(38, 33), kTolerance);
}

TEST_F(MapRendererTest, CurtainHangsUnderEveryPoint)
{
    use(makeTrack({{47.1, 9.0, 0.0}, {47.0, 9.03, 900.0}, {47.05, 9.06, 900.0}, {47.0, 9.1, 900.0}}));
    scene.view.angleX = 50;
    scene.view.showHeight = true;
    render();
    MapProjection projection(*track, extent, scene.view);
    for (int i = 1; i < 4; ++i) {
        const WayPoint& point = *track->getWayPoint(i);
        ScreenPoint top = projection.projectWayPoint(point, Pan::Applied);
        ScreenPoint bottom = projection.projectGround(point.getLat(), point.getLon(), Pan::Applied);
        int strongest = 0;
        for (int dx = -1; dx <= 1; ++dx)
            strongest = std::max(strongest, at(top.x + dx, (top.y + bottom.y) / 2).distance(kBackground));
        EXPECT_GE(strongest, 20) << "point " << i;
    }
}

TEST_F(MapRendererTest, UnusablePointsAndNamesLeaveTheContextWorking)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    use(makeTrack({{nan, 9.0}, {47.1, 9.0, nan}, {47.0, 9.1}, {47.05, HUGE_VAL}}));
    scene = {.track = track.get(), .view = {.width = 400, .height = 400, .angleX = 30, .showHeight = true},
             .cursorIndex = 0, .markerA = 0, .markerB = 3, .showWaypoints = true, .showDirectLine = true,
             .features = &features, .mapRevision = 1, .flags = {}};
    features = {square(MapCategory::Forest, 60, 60, 90, 90)};
    features[0].name = "bad \xC3( name";
    render();
}

namespace {

// The map layer as cairo draws it in full detail: every point, every feature
// stroked and filled on its own, the labels' outlines stroked and filled.
void drawWithCairo(cairo_t* cr, const std::vector<const MapFeature*>& shown, const std::vector<PlacedLabel>& labels,
                   const MapProjection& projection)
{
    static const double dashes[] = {5.0, 4.0};
    const double factor = widthFactor(projection.view().zoom);
    for (const MapFeature* f : shown) {
        const CategoryStyle& style = categoryStyle(f->category);
        cairo_new_path(cr);
        auto ring = [&](const std::vector<MapPoint>& points, bool close) {
            cairo_new_sub_path(cr);
            for (const MapPoint& point : points) {
                ScreenPoint p = projection.projectGround(point.latitude, point.longitude, Pan::Applied);
                cairo_line_to(cr, p.x, p.y);
            }
            if (close)
                cairo_close_path(cr);
        };
        ring(f->points, f->closed);
        for (const std::vector<MapPoint>& extra : f->rings)
            if (extra.size() > 2)
                ring(extra, true);
        if (style.area) {
            bool water = f->category == MapCategory::WaterArea;
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
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_set_dash(cr, dashes, 0, 0.0);
        if (f->bridge) {
            cairo_set_source_rgba(cr, 0.30, 0.30, 0.30, 0.72);
            cairo_set_line_width(cr, style.baseWidth * factor + 2.0);
            cairo_stroke_preserve(cr);
        }
        cairo_set_dash(cr, dashes, style.dashed || f->tunnel ? 2 : 0, 0.0);
        cairo_set_source_rgba(cr, style.red, style.green, style.blue, f->tunnel ? 0.48 : 0.82);
        cairo_set_line_width(cr, style.baseWidth * factor);
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
    for (const char* name : {"north-bayreuth-2014_overpass_forest-excerpt.osm", "krems-2013_josm-single-quotes_excerpt.osm"}) {
        std::vector<MapFeature> features = readOsmMap(std::string(PATHLARK_TEST_DATA_DIR) + "/osm/" + name);
        ASSERT_FALSE(features.empty()) << name;
        // A track across the map's extent, so the view fits the map.
        MapPoint low{HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL};
        for (const MapFeature& f : features)
            for (const MapPoint& p : f.points) {
                low = {std::min(low.latitude, p.latitude), std::min(low.longitude, p.longitude)};
                high = {std::max(high.latitude, p.latitude), std::max(high.longitude, p.longitude)};
            }
        auto track = makeTrack({{low.latitude, low.longitude}, {high.latitude, high.longitude}});
        for (auto [zoom, angleX, angleZ] : {std::tuple{1.0, 0, 0}, {4.0, 0, 0}, {20.0, 0, 0}, {2.0, 40, 30}}) {
            MapScene scene{.track = track.get(), .view = {.width = 240, .height = 180, .zoom = zoom, .angleX = angleX,
                                                          .angleZ = angleZ}, .features = &features, .mapRevision = 1, .flags = {}};
            TrackExtent extent;
            MapLayerCache cache;
            viewtest::Canvas panel(240, 180), full(720, 540);
            renderMapPanel(panel.cr, scene, extent, cache);
            ASSERT_TRUE(cache.surface);
            MapProjection projection(*track, extent, scene.view);
            cairo_translate(full.cr, 240, 180);
            drawWithCairo(full.cr, mapLayerFeatures(cache, features, 1, projection),
                          placeMapLabels(collectLabelCandidates(cache.index, projection), 240, 180, zoom), projection);
            // Antialiased edges differ by a few levels, a missing or misplaced feature by far more.
            std::string view = std::string(name) + " at zoom " + std::to_string(zoom) + ", turned "
                + std::to_string(angleX) + " and " + std::to_string(angleZ);
            EXPECT_LT(viewtest::differingShare(cache.surface, full.surface, kBackground, 8), 0.002) << view;
            EXPECT_LT(viewtest::differingShare(cache.surface, full.surface, kBackground, 32), 0.0001) << view;
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
    features[4].points[0].longitude = std::numeric_limits<double>::quiet_NaN();
    MapFeatureIndex index;
    index.update(features, 1);
    // A NaN in either coordinate keeps a feature out of the grid.
    EXPECT_EQ(2, std::count_if(index.bounds().begin(), index.bounds().end(), [](const GeoBounds& b) { return !b.finite; }));
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

TEST(MapLabels, CandidatesNeedANameTheirZoomAndAnAnchorInReachAndTheLowerPriorityNumberWins)
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
    auto names = [](const auto& labels, bool where = true) {
        std::string out;
        for (const auto& label : labels)
            out += label.name + (where ? " " + std::to_string(int(label.x)) + "," + std::to_string(int(label.y)) : "") + "; ";
        return out;
    };
    MapProjection projection(*track, extent, {.width = 200, .height = 200});
    EXPECT_EQ("River 100,100; ", names(collectLabelCandidates(index, projection)))
        << "grass and minor roads are named from zoom 1.25 only";
    // In draw order: the park below the river below the lane. The park's anchor is the mean
    // of its three corners, the repeated first point left out.
    MapProjection closer(*track, extent, {.width = 200, .height = 200, .zoom = 1.25});
    ScreenPoint park = closer.projectGround(47.02 / 3.0 + 47.0 * 2.0 / 3.0, 9.0 / 3.0 + 9.02 * 2.0 / 3.0, Pan::Applied);
    const std::vector<LabelCandidate> candidates = collectLabelCandidates(index, closer);
    EXPECT_TRUE(viewtest::isAt(park, candidates.at(0).x, candidates.at(0).y));
    EXPECT_EQ("Park", candidates[0].name);
    EXPECT_EQ("Lane", candidates.at(2).name);

    EXPECT_EQ("Primary; Elsewhere; Just below; ",
              names(placeMapLabels({{"Secondary", 100, 100, 3}, {"Primary", 105, 102, 1}, {"Elsewhere", 100, 20, 3},
                                    {"Tied second", 100, 20, 3}, {"Far away", 900, 100, 0}, {"bad \xFF", 100, 180, 0},
                                    {"\xED\xA0\x80", 20, 180, 0},
                                    {"Just below", 105, 124, 3}},
                                   200, 200, 1.0),
                    false));
}

TEST(MapLabels, AStreetsNameWinsOverARailwaysWhereTheyMeet)
{
    auto track = makeTrack({{47.1, 9.0}, {47.0, 9.1}});
    TrackExtent extent;
    const std::vector<MapFeature> features = {
        feature(MapCategory::Railway, {{47.05, 9.0}, {47.05, 9.1}}, "Rail"),
        feature(MapCategory::SecondaryRoad, {{47.05, 9.0}, {47.05, 9.1}}, "Main"),
    };
    MapFeatureIndex index;
    index.update(features, 1);
    MapProjection projection(*track, extent, {.width = 200, .height = 200});
    const std::vector<PlacedLabel> placed = placeMapLabels(collectLabelCandidates(index, projection), 200, 200, 1.0);
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(placed[0].name, "Main");
}
