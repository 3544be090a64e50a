// Times the map renderer on the whole-country Liechtenstein extract with the
// bundled sample ride, at the main window's map panel size, each figure next
// to a reference: cairo stroking and filling the same already-projected
// paths with the same styles and nothing else. The map layer is also compared
// with that full-detail drawing, as the share of pixels that differ visibly.
// Usage: bench_render [FILE.osm | FILE.osm.gz]

#include "map/OsmReader.h"
#include "track/EmbeddedSample.h"
#include "track/GpxReader.h"
#include "view/MapRenderer.h"
#include "view/MapStyle.h"

#include "BenchSupport.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

using namespace pathlark;

namespace {

using bench::peakMegabytes;

constexpr int kWidth = 520;
constexpr int kHeight = 522;



double seconds(const std::function<void()>& work)
{
    auto started = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

struct Timing {
    double ours = 0.0;
    double reference = 0.0;
};

// Medians of `runs` alternating calls, so a busy machine slows both alike.
Timing timePair(int runs, const std::function<void()>& ours, const std::function<void()>& reference)
{
    std::vector<double> oursTimes, referenceTimes;
    for (int i = 0; i < runs; ++i) {
        oursTimes.push_back(seconds(ours));
        referenceTimes.push_back(seconds(reference));
    }
    return Timing{median(oursTimes), median(referenceTimes)};
}

void report(const char* name, Timing timing, const char* target)
{
    double ours = timing.ours;
    double reference = timing.reference;
    std::printf("  %s: ours %.2f ms, reference %.2f ms (%s)\n", name, ours * 1e3, reference * 1e3, target);
    std::printf("BENCH %s ours=%.6f ref=%.6f ratio=%.3f peak_mb=%.1f\n", name, ours, reference, ours / reference,
                peakMegabytes());
}

// The sample ride with its points spread evenly over `count` points.
std::unique_ptr<Track> interpolate(const Track& track, int count)
{
    auto dense = std::make_unique<Track>();
    int n = track.getWayPointCount();
    for (int j = 0; j < count; ++j) {
        double t = double(j) * (n - 1) / (count - 1);
        int i = std::min(int(t), n - 2);
        double f = t - i;
        const WayPoint& p = *track.getWayPoint(i);
        const WayPoint& q = *track.getWayPoint(i + 1);
        auto point = std::make_unique<WayPoint>();
        point->setLat(p.getLat() + (q.getLat() - p.getLat()) * f);
        point->setLon(p.getLon() + (q.getLon() - p.getLon()) * f);
        point->setEle(p.getEle() + (q.getEle() - p.getEle()) * f);
        point->setTime(p.getTime() + std::int32_t(std::lround((q.getTime() - p.getTime()) * f)));
        dense->addWayPoint(std::move(point));
    }
    return dense;
}

//-----------------------------------------------------------------------------
// The reference: paths projected beforehand, then only cairo's work.
//-----------------------------------------------------------------------------

struct ReferenceFeature {
    const MapFeature* feature;
    cairo_path_t* path;
};

std::vector<ReferenceFeature> projectFeatures(const std::vector<const MapFeature*>& features,
                                              const MapProjection& projection)
{
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(scratch);
    std::vector<ReferenceFeature> projected;
    auto ring = [&](const std::vector<MapPoint>& points, bool close) {
        for (std::size_t i = 0; i < points.size(); ++i) {
            ScreenPoint p = projection.projectGround(points[i].latitude, points[i].longitude, Pan::Applied);
            i == 0 ? cairo_move_to(cr, p.x, p.y) : cairo_line_to(cr, p.x, p.y);
        }
        if (close)
            cairo_close_path(cr);
    };
    for (const MapFeature* feature : features) {
        cairo_new_path(cr);
        ring(feature->points, feature->closed);
        for (const auto& extra : feature->rings)
            if (extra.size() > 2)
                ring(extra, true);
        projected.push_back({feature, cairo_copy_path(cr)});
    }
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);
    return projected;
}

void strokeReferenceFeature(cairo_t* cr, const ReferenceFeature& item, double zoom)
{
    static const double dashes[] = {5.0, 4.0};
    const MapFeature& feature = *item.feature;
    const CategoryStyle& style = categoryStyle(feature.category);
    double factor = widthFactor(zoom);
    cairo_new_path(cr);
    cairo_append_path(cr, item.path);
    if (style.area) {
        cairo_set_source_rgba(cr, style.red, style.green, style.blue, style.alpha);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_fill_preserve(cr);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
        if (feature.boundary)
            cairo_set_dash(cr, dashes, 2, 0.0);
        bool water = feature.category == MapCategory::WaterArea;
        if (water)
            cairo_set_source_rgba(cr, 0.18, 0.52, 0.74, 0.86);
        else if (feature.boundary)
            cairo_set_source_rgba(cr, 0.55, 0.43, 0.65, 0.72);
        else
            cairo_set_source_rgba(cr, 0.38, 0.40, 0.40, 0.42);
        cairo_set_line_width(cr, feature.boundary ? factor * 1.2 : water ? 1.1 : 0.8);
        cairo_stroke(cr);
    } else {
        double width = style.baseWidth * factor;
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        if (feature.bridge) {
            cairo_set_source_rgba(cr, 0.3, 0.3, 0.3, 0.72);
            cairo_set_line_width(cr, width + 2.0);
            cairo_stroke_preserve(cr);
        }
        if (style.dashed || feature.tunnel)
            cairo_set_dash(cr, dashes, 2, 0.0);
        cairo_set_source_rgba(cr, style.red, style.green, style.blue, feature.tunnel ? 0.48 : 0.82);
        cairo_set_line_width(cr, width);
        cairo_stroke(cr);
    }
    cairo_set_dash(cr, nullptr, 0, 0.0);
}

// The labels our placement chose, at their positions: their halos cost as much as many features.
void referenceLabels(cairo_t* cr, const std::vector<PlacedLabel>& labels, double zoom)
{
    cairo_select_font_face(cr, "Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    double scale = labelScale(zoom);
    cairo_set_font_size(cr, 11.0 * scale);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 3.0 * scale);
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

cairo_surface_t* referenceLayer(const std::vector<ReferenceFeature>& paths, const std::vector<PlacedLabel>* labels,
                                double zoom)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 3 * kWidth, 3 * kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_translate(cr, kWidth, kHeight);
    for (const ReferenceFeature& item : paths)
        strokeReferenceFeature(cr, item, zoom);
    if (labels)
        referenceLabels(cr, *labels, zoom);
    cairo_destroy(cr);
    return surface;
}

// Antialiased edges may differ by a few levels; more than this is a change one could see.
constexpr int kDiffTolerance = 8;

// The share of the two layers' pixels whose colours, over the map's
// background, differ by more than the tolerance in some channel.
double differingShare(cairo_surface_t* ours, cairo_surface_t* reference)
{
    cairo_surface_flush(ours);
    cairo_surface_flush(reference);
    int width = cairo_image_surface_get_width(ours);
    int height = cairo_image_surface_get_height(ours);
    const int background[3] = {245, 247, 250}; // (0.96, 0.97, 0.98) in bytes
    auto shown = [&](std::uint32_t pixel, int channel) {
        int alpha = int(pixel >> 24);
        int value = int((pixel >> (16 - 8 * channel)) & 0xFF);
        return value + background[channel] * (255 - alpha) / 255;
    };
    long differing = 0;
    for (int y = 0; y < height; ++y) {
        auto* a = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(ours)
                                                         + y * cairo_image_surface_get_stride(ours));
        auto* b = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(reference)
                                                         + y * cairo_image_surface_get_stride(reference));
        for (int x = 0; x < width; ++x)
            for (int channel = 0; channel < 3; ++channel)
                if (std::abs(shown(a[x], channel) - shown(b[x], channel)) > kDiffTolerance) {
                    ++differing;
                    break;
                }
    }
    return double(differing) / (double(width) * height);
}

void referenceBackground(cairo_t* cr)
{
    cairo_set_source_rgb(cr, 0.96, 0.97, 0.98);
    cairo_paint(cr);
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgb(cr, 0.88, 0.90, 0.92);
    for (int x = 0; x < kWidth; x += 50) {
        cairo_move_to(cr, x, 0);
        cairo_line_to(cr, x, kHeight);
    }
    for (int y = 0; y < kHeight; y += 50) {
        cairo_move_to(cr, 0, y);
        cairo_line_to(cr, kWidth, y);
    }
    cairo_stroke(cr);
}

struct ReferenceTrack {
    std::vector<ScreenPoint> points;
    std::vector<ScreenPoint> ground;
};

ReferenceTrack projectTrack(const Track& track, const MapProjection& projection, bool curtain)
{
    ReferenceTrack projected;
    for (int i = 0; i < track.getWayPointCount(); ++i) {
        const WayPoint& p = *track.getWayPoint(i);
        projected.points.push_back(projection.projectWayPoint(p, Pan::Applied));
        if (curtain)
            projected.ground.push_back(projection.projectGround(p.getLat(), p.getLon(), Pan::Applied));
    }
    return projected;
}

void dot(cairo_t* cr, ScreenPoint p, double radius, double r, double g, double b, double rr, double rg, double rb)
{
    cairo_new_path(cr);
    cairo_arc(cr, p.x, p.y, radius, 0, 2 * std::numbers::pi);
    cairo_set_source_rgb(cr, r, g, b);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, rr, rg, rb);
    cairo_stroke(cr);
}

// The overlay of one frame as plain cairo calls: curtain, line, dots, cursor.
void referenceOverlay(cairo_t* cr, const ReferenceTrack& track, bool dots)
{
    if (!track.ground.empty()) {
        cairo_set_source_rgba(cr, 0.30, 0.34, 0.38, 0.42);
        cairo_set_line_width(cr, 1.0);
        for (std::size_t i = 0; i < track.points.size(); ++i) {
            cairo_move_to(cr, track.points[i].x, track.points[i].y);
            cairo_line_to(cr, track.ground[i].x, track.ground[i].y);
            if ((i + 1) % 128 == 0)
                cairo_stroke(cr);
        }
        cairo_stroke(cr);
    }
    cairo_set_source_rgb(cr, 0.08, 0.38, 0.70);
    cairo_set_line_width(cr, 2.5);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_move_to(cr, track.points[0].x, track.points[0].y);
    for (std::size_t i = 1; i < track.points.size(); ++i) {
        cairo_line_to(cr, track.points[i].x, track.points[i].y);
        if (i % 128 == 0) {
            cairo_stroke(cr);
            cairo_move_to(cr, track.points[i].x, track.points[i].y);
        }
    }
    cairo_stroke(cr);
    if (dots) {
        cairo_set_line_width(cr, 1.0);
        for (ScreenPoint p : track.points)
            dot(cr, p, 3.5, 0.10, 0.32, 0.60, 0.95, 0.98, 1.0);
    }
    cairo_set_source_rgb(cr, 1.0, 0.72, 0.05);
    cairo_set_line_width(cr, 3.0);
    cairo_new_path(cr);
    cairo_arc(cr, track.points[0].x, track.points[0].y, 7.0, 0, 2 * std::numbers::pi);
    cairo_stroke(cr);
}

} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    bool temporary = false;
    int exitCode = 0;
    const std::optional<std::string> plain = bench::osmInput(argc, argv, "render", temporary, exitCode);
    if (!plain)
        return exitCode;
    const std::string path = *plain;
    std::vector<MapFeature> features = readOsmMap(path);
    if (temporary)
        fs::remove(path);
    std::unique_ptr<Gpx> gpx = readGpxString(embeddedSampleGpx());
    if (!gpx || gpx->getTrackCount() == 0 || gpx->getTrack(0)->getWayPointCount() < 2) {
        std::printf("render benchmark failed: the bundled sample has no track\n");
        return 1;
    }
    const Track& sample = *gpx->getTrack(0);
    std::printf("map: %zu features; sample ride: %d points; panel %d x %d\n", features.size(),
                sample.getWayPointCount(), kWidth, kHeight);

    cairo_surface_t* panel = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
    cairo_t* cr = cairo_create(panel);

    MapScene scene;
    scene.track = &sample;
    scene.view.width = kWidth;
    scene.view.height = kHeight;
    scene.cursorIndex = 0;
    scene.features = &features;
    scene.mapRevision = 1;

    // (a) Full rebuilds of the map layer, and how far they differ from the full-detail drawing.
    for (double zoom : {1.0, 4.0}) {
        scene.view.zoom = zoom;
        TrackExtent extent;
        MapLayerCache cache;
        MapProjection projection(sample, extent, scene.view);
        auto started = std::chrono::steady_clock::now();
        std::vector<const MapFeature*> shown = mapLayerFeatures(cache, features, scene.mapRevision, projection);
        double firstOrder = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::vector<ReferenceFeature> paths = projectFeatures(shown, projection);
        std::printf("zoom %.0f: %zu of %zu features touch the layer; indexing the map once: %.1f ms\n", zoom,
                    shown.size(), features.size(), firstOrder * 1e3);
        std::vector<PlacedLabel> labels =
            placeMapLabels(collectLabelCandidates(cache.index, projection), kWidth, kHeight, zoom);
        auto rebuild = [&] {
            cache.clear();
            renderMapPanel(cr, scene, extent, cache);
        };
        Timing timing = timePair(7, rebuild, [&] { cairo_surface_destroy(referenceLayer(paths, &labels, zoom)); });
        std::printf("  %zu labels placed\n", labels.size());
        // The layer is drawn on several threads: CPU time shows the work, wall time the wait.
        for (int threads : {1, 0}) {
            cache.threads = threads;
            std::vector<double> wall, cpu;
            for (int i = 0; i < 7; ++i) {
                rusage before{}, after{};
                getrusage(RUSAGE_SELF, &before);
                wall.push_back(seconds(rebuild));
                getrusage(RUSAGE_SELF, &after);
                cpu.push_back(bench::cpuSeconds(after) - bench::cpuSeconds(before));
            }
            std::printf("  %s: wall %.2f ms, CPU %.2f ms (medians)\n", threads ? "one thread" : "all threads",
                        median(wall) * 1e3, median(cpu) * 1e3);
        }
        char name[48];
        std::snprintf(name, sizeof name, "map_layer_zoom%.0f", zoom);
        report(name, timing, "target: ratio at most 0.15");

        rebuild();
        cairo_surface_t* full = referenceLayer(paths, &labels, zoom);
        double share = differingShare(cache.surface, full);
        cairo_surface_destroy(full);
        std::printf("  pixels differing by more than %d levels from the full-detail layer: %.4f%% (target: below "
                    "0.5%%)\n",
                    kDiffTolerance, share * 100.0);
        std::printf("BENCH %s_diff ours=%.6f ref=- ratio=- peak_mb=%.1f\n", name, share, peakMegabytes());
        for (ReferenceFeature& item : paths)
            cairo_path_destroy(item.path);
    }

    // (b) A frame that shifts the cached layer after a small pan.
    {
        scene.view.zoom = 1.0;
        scene.view.panX = 0.0;
        TrackExtent extent;
        MapLayerCache cache;
        renderMapPanel(cr, scene, extent, cache);
        std::uint64_t built = cache.rebuilds;
        scene.view.panX = 12.0;
        scene.view.panY = -7.0;
        MapProjection projection(sample, extent, scene.view);
        ReferenceTrack track = projectTrack(sample, projection, false);
        cairo_surface_t* layer = cache.surface;
        Timing timing = timePair(
            41, [&] { renderMapPanel(cr, scene, extent, cache); },
            [&] {
                referenceBackground(cr);
                cairo_set_source_surface(cr, layer, 12.0 - kWidth, -7.0 - kHeight);
                cairo_paint(cr);
                drawLegend(cr, kWidth, kHeight);
                referenceOverlay(cr, track, false);
            });
        if (cache.rebuilds != built)
            std::printf("  warning: the small pan rebuilt the layer\n");
        report("cached_pan_frame", timing, "target: ours under 5 ms");
    }

    // (c) A frame of a 100,000-point track with dots and the curtain, tilted so the curtain shows.
    {
        std::unique_ptr<Track> dense = interpolate(sample, 100000);
        scene.track = dense.get();
        scene.view = ViewState{};
        scene.view.width = kWidth;
        scene.view.height = kHeight;
        scene.view.angleX = 45;
        scene.view.showHeight = true;
        scene.showWaypoints = true;
        TrackExtent extent;
        MapLayerCache cache;
        renderMapPanel(cr, scene, extent, cache);
        MapProjection projection(*dense, extent, scene.view);
        ReferenceTrack track = projectTrack(*dense, projection, true);
        cairo_surface_t* layer = cache.surface;
        // The reference draws every dot with cairo and takes seconds, so it runs fewer times.
        std::vector<double> oursTimes;
        for (int i = 0; i < 9; ++i)
            oursTimes.push_back(seconds([&] { renderMapPanel(cr, scene, extent, cache); }));
        Timing timing = timePair(
            3, [&] { oursTimes.push_back(seconds([&] { renderMapPanel(cr, scene, extent, cache); })); },
            [&] {
                referenceBackground(cr);
                cairo_set_source_surface(cr, layer, -kWidth, -kHeight);
                cairo_paint(cr);
                drawLegend(cr, kWidth, kHeight);
                referenceOverlay(cr, track, true);
            });
        timing.ours = median(oursTimes);
        std::printf("100,000 points, tilted 45 degrees about X, height, curtain and dots on\n");
        report("track_100k_frame", timing, "target: ours under 66 ms");
        scene.track = &sample;
    }

    cairo_destroy(cr);
    cairo_surface_destroy(panel);
    return 0;
}
