// Times the GPX readers on a 100,000-point track of about 10 MB next to
// gpsbabel reading the same file: gpx_load is the repairing reader (Tidy and
// Mini-XML), gpx_load_direct what readGpxFile does. Each reader runs in a
// fresh process of its own, so its peak memory is that of the read alone.
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
#include <optional>
#include <sstream>
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

struct Figures {
    double cpu { 0 };
    double wall { 0 };
    double peakMegabytes { 0 };
    double startMegabytes { 0 };
    long points { 0 };
};

// The child's side: reads the file with one reader and prints its figures.
int readInThisProcess(const std::string& reader, const std::string& path)
{
    Figures figures;
    rusage before {};
    getrusage(RUSAGE_SELF, &before);
    figures.startMegabytes = before.ru_maxrss / 1024.0;
    auto started = std::chrono::steady_clock::now();
    std::unique_ptr<Gpx> gpx;
    if (reader == "repairing") {
        // As readGpxFile ran it before the direct reader: the whole file
        // into memory, then Tidy and Mini-XML.
        std::ifstream file(path, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        gpx = readGpxRepairing(text.str());
    } else {
        gpx = readGpxFile(path);
    }
    figures.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    rusage after {};
    getrusage(RUSAGE_SELF, &after);
    figures.cpu = cpuSeconds(after) - cpuSeconds(before);
    figures.peakMegabytes = after.ru_maxrss / 1024.0;
    for (int i = 0; gpx && i < gpx->getTrackCount(); ++i)
        figures.points += gpx->getTrack(i)->getWayPointCount();
    std::printf("%.6f %.6f %.3f %.3f %ld\n", figures.cpu, figures.wall, figures.peakMegabytes,
                figures.startMegabytes, figures.points);
    return 0;
}

// Runs one reader in a fresh process of this program, the best of `runs`
// runs: a machine shared with others only ever makes a run slower.
std::optional<Figures> measure(const std::string& self, const std::string& reader, const std::string& path, int runs)
{
    std::optional<Figures> best;
    for (int run = 0; run < runs; ++run) {
        std::string command = shellQuote(self) + " --read " + reader + " " + shellQuote(path);
        FILE* child = popen(command.c_str(), "r");
        if (!child)
            return std::nullopt;
        Figures figures;
        int fields = std::fscanf(child, "%lf %lf %lf %lf %ld", &figures.cpu, &figures.wall,
                                 &figures.peakMegabytes, &figures.startMegabytes, &figures.points);
        if (pclose(child) != 0 || fields != 5)
            return std::nullopt;
        if (!best || figures.cpu < best->cpu)
            best = figures;
    }
    return best;
}

// gpsbabel's CPU time for the same file, the best of `runs` runs.
std::optional<double> measureReference(const std::string& path, int runs)
{
    std::optional<double> best;
    for (int run = 0; run < runs; ++run) {
        rusage before {};
        getrusage(RUSAGE_CHILDREN, &before);
        if (std::system(("gpsbabel -i gpx -f " + shellQuote(path) + " > /dev/null 2>&1").c_str()) != 0)
            return std::nullopt;
        rusage after {};
        getrusage(RUSAGE_CHILDREN, &after);
        double seconds = cpuSeconds(after) - cpuSeconds(before);
        if (!best || seconds < *best)
            best = seconds;
    }
    return best;
}

void report(const char* name, const Figures& ours, std::optional<double> reference, double fileMegabytes)
{
    std::printf("%s: %ld points, %.3f s CPU (%.3f s wall), peak memory %.1f MB = %.2f x file size "
                "(%.1f MB before reading)\n",
                name, ours.points, ours.cpu, ours.wall, ours.peakMegabytes, ours.peakMegabytes / fileMegabytes,
                ours.startMegabytes);
    if (reference)
        std::printf("BENCH %s ours=%.6f ref=%.6f ratio=%.3f peak_mb=%.1f\n", name, ours.cpu, *reference,
                    ours.cpu / *reference, ours.peakMegabytes);
    else
        std::printf("BENCH %s ours=%.6f ref=- ratio=- peak_mb=%.1f\n", name, ours.cpu, ours.peakMegabytes);
}

} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    if (argc == 4 && std::string(argv[1]) == "--read")
        return readInThisProcess(argv[2], argv[3]);
    std::string path = argc > 1 ? argv[1] : (fs::temp_directory_path() / "pathlark-bench.gpx").string();
    bool temporary = argc <= 1;
    if (temporary)
        writeTrack(path, 100000);
    if (!fs::exists(path)) {
        std::printf("gpx_load skipped: %s not found\n", path.c_str());
        return 0;
    }
    double megabytes = static_cast<double>(fs::file_size(path)) / 1e6;
    std::printf("gpx_load: file %.1f MB\n", megabytes);

    // Read once untimed so every reader starts from a warm page cache.
    std::system(("cat " + shellQuote(path) + " > /dev/null").c_str());

    std::optional<double> babel = measureReference(path, 3);
    if (babel)
        std::printf("gpx_load: gpsbabel %.3f s CPU (best of 3)\n", *babel);
    else
        std::printf("gpx_load: reference gpsbabel not available (Debian package gpsbabel)\n");
    std::optional<Figures> repairing = measure(argv[0], "repairing", path, 1);
    std::optional<Figures> direct = measure(argv[0], "direct", path, 5);
    if (temporary)
        fs::remove(path);
    if (!repairing || !direct) {
        std::printf("gpx_load failed: a reader's process did not report\n");
        return 1;
    }
    report("gpx_load", *repairing, babel, megabytes);
    report("gpx_load_direct", *direct, babel, megabytes);
    return 0;
}
