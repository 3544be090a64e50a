// Times the GPX reader on a 100,000-point track of about 10 MB next to
// gpsbabel reading the same file, and reports our peak memory.
// Usage: bench_gpx_load [FILE.gpx]   (without a file one is generated)

#include "track/GpxReader.h"

#include "BenchSupport.h"

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using bench::cpuSeconds;
using bench::shellQuote;


// A ride of one point a second wandering around Vaduz, one point a line as
// phone loggers write them, with elevation and UTC time on every point.
void writeTrack(const std::string& path, int points)
{
    std::ofstream out(path, std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<gpx version=\"1.1\" creator=\"bench_gpx_load\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
           "<trk>\n  <name>Benchmark ride</name>\n  <trkseg>\n";
    std::time_t start = 1692451126; // 2023-08-19T13:18:46Z
    char line[256];
    for (int i = 0; i < points; ++i) {
        double lat = 47.14 + 0.02 * std::sin(i / 900.0) + 0.0001 * std::sin(i / 7.0);
        double lon = 9.52 + 0.03 * std::cos(i / 1300.0);
        std::time_t time = start + i;
        std::tm tm {};
        gmtime_r(&time, &tm);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &tm);
        std::snprintf(line, sizeof line,
                      "    <trkpt lat=\"%.6f\" lon=\"%.6f\"><ele>%.1f</ele><time>%s</time></trkpt>\n",
                      lat, lon, 460 + 50 * std::sin(i / 3000.0), stamp);
        out << line;
    }
    out << "  </trkseg>\n</trk>\n</gpx>\n";
}

} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::string path = argc > 1 ? argv[1] : (fs::temp_directory_path() / "pathlark-bench.gpx").string();
    bool temporary = argc <= 1;
    if (temporary)
        writeTrack(path, 100000);
    if (!fs::exists(path)) {
        std::printf("gpx_load skipped: %s not found\n", path.c_str());
        return 0;
    }
    double megabytes = static_cast<double>(fs::file_size(path)) / 1e6;

    // Read once untimed so both readers start from a warm page cache.
    std::system(("cat " + shellQuote(path) + " > /dev/null").c_str());

    rusage before {};
    getrusage(RUSAGE_SELF, &before);
    auto started = std::chrono::steady_clock::now();
    auto gpx = readGpxFile(path);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    rusage after {};
    getrusage(RUSAGE_SELF, &after);
    double ours = cpuSeconds(after) - cpuSeconds(before);
    double peakMegabytes = after.ru_maxrss / 1024.0;
    long points = 0;
    for (int i = 0; gpx && i < gpx->getTrackCount(); ++i)
        points += gpx->getTrack(i)->getWayPointCount();

    std::printf("gpx_load: file %.1f MB, %ld points\n", megabytes, points);
    std::printf("gpx_load: ours %.3f s CPU (%.3f s wall), peak memory %.1f MB = %.1f x file size\n", ours, wall,
                peakMegabytes, peakMegabytes / megabytes);

    rusage childrenBefore {};
    getrusage(RUSAGE_CHILDREN, &childrenBefore);
    auto babelStarted = std::chrono::steady_clock::now();
    int status = std::system(("gpsbabel -i gpx -f " + shellQuote(path) + " > /dev/null 2>&1").c_str());
    double babelWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - babelStarted).count();
    rusage childrenAfter {};
    getrusage(RUSAGE_CHILDREN, &childrenAfter);
    if (status == 0) {
        double babel = cpuSeconds(childrenAfter) - cpuSeconds(childrenBefore);
        std::printf("gpx_load: gpsbabel %.3f s CPU (%.3f s wall)\n", babel, babelWall);
        std::printf("BENCH gpx_load ours=%.6f ref=%.6f ratio=%.3f peak_mb=%.1f\n", ours, babel, ours / babel,
                    peakMegabytes);
    } else {
        std::printf("gpx_load: reference gpsbabel not available (Debian package gpsbabel)\n");
        std::printf("BENCH gpx_load ours=%.6f ref=- ratio=- peak_mb=%.1f\n", ours, peakMegabytes);
    }
    if (temporary)
        fs::remove(path);
    return 0;
}
