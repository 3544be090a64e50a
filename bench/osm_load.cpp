// Times the OSM reader on the large real extract next to osmium, the usual
// reference XML reader, and compares our peak memory with the file size.
// Usage: bench_osm_load [FILE.osm | FILE.osm.gz]

#include "map/OsmReader.h"

#include "BenchSupport.h"

#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using bench::cpuSeconds;
using bench::shellQuote;


} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    bool temporary = false;
    int exitCode = 0;
    const std::optional<std::string> plain = bench::osmInput(argc, argv, "osm_load", temporary, exitCode);
    if (!plain)
        return exitCode;
    const std::string path = *plain;
    double megabytes = static_cast<double>(fs::file_size(path)) / 1e6;

    // Read once untimed so both readers start from a warm page cache.
    std::system(("cat " + shellQuote(path) + " > /dev/null").c_str());

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    auto started = std::chrono::steady_clock::now();
    std::size_t featureCount = pathlark::readOsmMap(path).size();
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    double ours = cpuSeconds(after) - cpuSeconds(before);
    double peakMegabytes = after.ru_maxrss / 1024.0;

    std::printf("osm_load: file %.1f MB, %zu features\n", megabytes, featureCount);
    std::printf("osm_load: ours %.3f s CPU (%.3f s wall, %.0f MB/s), peak memory %.1f MB = %.2f x file size\n",
                ours, wall, megabytes / ours, peakMegabytes, peakMegabytes / megabytes);

    rusage childrenBefore{};
    getrusage(RUSAGE_CHILDREN, &childrenBefore);
    int status = std::system(("osmium cat " + shellQuote(path) + " -f blackhole -o /dev/null --overwrite").c_str());
    rusage childrenAfter{};
    getrusage(RUSAGE_CHILDREN, &childrenAfter);
    if (status == 0) {
        double osmium = cpuSeconds(childrenAfter) - cpuSeconds(childrenBefore);
        std::printf("osm_load: osmium %.3f s CPU (%.0f MB/s); osmium / ours = %.2f (target >= 2)\n", osmium,
                    megabytes / osmium, osmium / ours);
        std::printf("BENCH osm_load ours=%.6f ref=%.6f ratio=%.3f peak_mb=%.1f\n", ours, osmium, ours / osmium,
                    peakMegabytes);
    } else {
        std::printf("osm_load: reference osmium not available (Debian package osmium-tool)\n");
        std::printf("BENCH osm_load ours=%.6f ref=- ratio=- peak_mb=%.1f\n", ours, peakMegabytes);
    }
    if (temporary)
        fs::remove(path);
    return 0;
}
