// Times the info panel's rows (every whole-track and A-B figure) on 100,000-point
// tracks: the shared stationary recording and a generated ride. The reference
// is the least any figure over a track costs: one pass summing the
// great-circle distances of its segments.
// Usage: bench_track_statistics [FILE.gpx | FILE.gpx.gz]

#include "app/InfoPanel.h"
#include "track/GpxReader.h"
#include "track/TrackStatistics.h"

#include "BenchSupport.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace pathlark;

namespace {

double medianSeconds(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto started = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A ride of one point a second over hills, with pauses at the lights.
std::unique_ptr<Gpx> generatedRide(int points)
{
    auto gpx = std::make_unique<Gpx>();
    auto track = std::make_unique<Track>();
    for (int i = 0; i < points; ++i) {
        auto point = std::make_unique<WayPoint>();
        point->setLat(47.14 + 0.02 * std::sin(i / 900.0));
        point->setLon(9.52 + 0.03 * std::cos(i / 1300.0));
        point->setEle(460 + 150 * std::sin(i / 3000.0) + 1.5 * std::sin(i * 1.7));
        point->setTime(1692451126 + i + (i / 5000) * 120);
        track->addWayPoint(std::move(point));
    }
    gpx->addTrack(std::move(track));
    return gpx;
}

volatile double sink = 0;

void run(const char* name, const Gpx& gpx)
{
    const Track& track = *gpx.getTrack(0);
    const int count = track.getWayPointCount();
    const double ours = medianSeconds(21, [&] {
        sink = sink + double(infoPanelRows(gpx, track, count / 4, count - 1).size());
    });
    const double reference = medianSeconds(21, [&] {
        double metres = 0;
        for (int i = 1; i < count; ++i)
            metres += haversineDistance(*track.getWayPoint(i - 1), *track.getWayPoint(i));
        sink = sink + metres;
    });
    std::printf("%s: %d points, info panel rows %.2f ms, distance pass %.2f ms\n", name, count, ours * 1e3,
                reference * 1e3);
    std::printf("BENCH %s ours=%.6f ref=%.6f ratio=%.3f peak_mb=%.1f\n", name, ours, reference, ours / reference,
                bench::peakMegabytes());
}

} // namespace

int main(int argc, char** argv)
{
    run("info_panel_generated_100k", *generatedRide(100000));

    const std::string input = argc > 1 ? argv[1]
                                       : std::string(PATHLARK_SHARED_DATA_DIR) +
                                             "/gpx/stress_100k-pts_stationary_from-fit_gpx11.gpx.gz";
    if (!std::filesystem::exists(input)) {
        std::printf("info_panel_stress_100k skipped: %s not found (the shared data folder is not here)\n",
                    input.c_str());
        return 0;
    }
    bool temporary = false;
    const std::optional<std::string> plain = bench::plainInput(input, "statistics", temporary);
    if (!plain) {
        std::printf("info_panel_stress_100k failed: could not decompress %s\n", input.c_str());
        return 1;
    }
    std::unique_ptr<Gpx> gpx = readGpxFile(*plain);
    if (temporary)
        std::filesystem::remove(*plain);
    if (!gpx || gpx->getTrackCount() == 0) {
        std::printf("info_panel_stress_100k failed: no track in %s\n", input.c_str());
        return 1;
    }
    run("info_panel_stress_100k", *gpx);
    return 0;
}
