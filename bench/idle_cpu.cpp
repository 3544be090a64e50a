// CPU use of the program left alone: the sample and its map on screen, no
// input for five seconds. ours = CPU seconds per wall second of the idle
// loop; ref = the same with a frame rendered on every pass, as a plain 60 Hz
// loop does.

#include "BenchSupport.h"
#include "RealEngine.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

namespace {

double cpuPerWallSecond(pathlark::PathlarkEngine& engine, double seconds)
{
    using Clock = std::chrono::steady_clock;
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const Clock::time_point start = Clock::now();
    double wall = 0.0;
    while (wall < seconds) {
        engine.runFrame();
        wall = std::chrono::duration<double>(Clock::now() - start).count();
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    return (bench::cpuSeconds(after) - bench::cpuSeconds(before)) / wall;
}

} // namespace

int main()
{
    auto engine = bench::startRealEngine();
    engine->idleWaitLimitMs = 200;  // so each measurement ends on time
    engine->beginRun();
    cpuPerWallSecond(*engine, 1.0);  // start-up's own frames
    const double ours = cpuPerWallSecond(*engine, 5.0);
    engine->renderEveryFrame = true;
    const double ref = cpuPerWallSecond(*engine, 5.0);
    engine->endRun();
    std::printf("idle_cpu: %zu map ways, %.4f CPU s per s idle, %.4f rendering every frame\n",
                engine->mapFeatures.size(), ours, ref);
    std::printf("BENCH idle_cpu ours=%.4f ref=%.4f ratio=%.4f peak_mb=%.1f\n", ours, ref, ref > 0 ? ours / ref : 0.0,
                bench::peakMegabytes());
    return 0;
}
