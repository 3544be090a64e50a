// Times the FIT reader on a 100,000-point activity (one record a second
// around Vaduz, with the fields a bike computer writes) next to gpsbabel
// reading the same file. The file is written here, so no shared data is
// needed. Usage: bench_fit_load [FILE.fit]   (without a file one is generated)

#include "track/FitReader.h"

#include "BenchSupport.h"

#include <sys/resource.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

using bench::cpuSeconds;
using bench::shellQuote;

std::uint16_t crc16(const std::string& bytes)
{
    unsigned crc = 0;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return static_cast<std::uint16_t>(crc);
}

void put(std::string& out, std::uint64_t value, int size)
{
    for (int i = 0; i < size; ++i)
        out += static_cast<char>(value >> (8 * i));
}

void writeActivity(const std::string& path, int points)
{
    std::string data;
    // file_id: type activity, manufacturer Garmin, time created.
    const std::uint32_t start = 1061737606; // 2023-08-23T13:06:46Z in FIT seconds
    data += std::string("\x40\x00\x00\x00\x00\x03", 6);
    data += std::string("\x00\x01\x00" "\x01\x02\x84" "\x04\x04\x86", 9);
    data += '\0';
    put(data, 4, 1);
    put(data, 1, 2);
    put(data, start, 4);
    // record: timestamp, lat, lon, distance, enhanced speed, enhanced altitude, heart rate, cadence, temperature.
    data += std::string("\x41\x00\x00\x14\x00\x09", 6);
    data += std::string("\xFD\x04\x86" "\x00\x04\x85" "\x01\x04\x85" "\x05\x04\x86" "\x49\x04\x86"
                        "\x4E\x04\x86" "\x03\x01\x02" "\x04\x01\x02" "\x0D\x01\x01", 27);
    constexpr double kSemicirclesPerDegree = 2147483648.0 / 180.0;
    for (int i = 0; i < points; ++i) {
        const double lat = 47.14 + 0.02 * std::sin(i / 900.0) + 0.0001 * std::sin(i / 7.0);
        const double lon = 9.52 + 0.03 * std::cos(i / 1300.0);
        const double ele = 460 + 50 * std::sin(i / 3000.0);
        data += '\x01';
        put(data, start + static_cast<std::uint32_t>(i), 4);
        put(data, static_cast<std::uint32_t>(std::lround(lat * kSemicirclesPerDegree)), 4);
        put(data, static_cast<std::uint32_t>(std::lround(lon * kSemicirclesPerDegree)), 4);
        put(data, static_cast<std::uint32_t>(i) * 500, 4);
        put(data, 5000, 4);
        put(data, static_cast<std::uint32_t>(std::lround((ele + 500) * 5)), 4);
        put(data, 120 + i % 40, 1);
        put(data, 85, 1);
        put(data, 21, 1);
    }
    std::string file { 14, 0x20, 0x08, 0x08 };
    put(file, data.size(), 4);
    file += ".FIT";
    put(file, crc16(file), 2);
    file += data;
    put(file, crc16(file), 2);
    std::ofstream(path, std::ios::binary) << file;
}

// The process's CPU clock: getrusage counts in scheduler ticks on some
// kernels, too coarse for a read of a few milliseconds.
double cpuNow()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// gpsbabel's CPU time for the same file, the best of `runs` runs.
std::optional<double> measureReference(const std::string& path, int runs)
{
    std::optional<double> best;
    for (int run = 0; run < runs; ++run) {
        rusage before {};
        getrusage(RUSAGE_CHILDREN, &before);
        if (std::system(("gpsbabel -i garmin_fit -f " + shellQuote(path) + " > /dev/null 2>&1").c_str()) != 0)
            return std::nullopt;
        rusage after {};
        getrusage(RUSAGE_CHILDREN, &after);
        const double seconds = cpuSeconds(after) - cpuSeconds(before);
        if (!best || seconds < *best)
            best = seconds;
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    const bool generated = argc <= 1;
    const std::string path = generated ? (fs::temp_directory_path() / "pathlark-bench.fit").string() : argv[1];
    if (generated)
        writeActivity(path, 100000);
    if (!fs::exists(path)) {
        std::printf("fit_load skipped: %s not found\n", path.c_str());
        return 0;
    }
    std::printf("fit_load: file %.1f MB\n", static_cast<double>(fs::file_size(path)) / 1e6);

    // The best of ten: a machine shared with others only ever makes a run slower.
    double best = 0;
    long points = 0;
    bool damaged = false;
    for (int run = 0; run < 10; ++run) {
        const double before = cpuNow();
        ActivityRead read = readFitFile(path);
        const double seconds = cpuNow() - before;
        if (run == 0 || seconds < best)
            best = seconds;
        points = 0;
        for (int i = 0; read.gpx && i < read.gpx->getTrackCount(); ++i)
            points += read.gpx->getTrack(i)->getWayPointCount();
        damaged = read.damaged;
    }
    std::optional<double> babel = measureReference(path, 3);
    if (generated)
        fs::remove(path);
    std::printf("fit_load: %ld points%s, %.4f s CPU (best of 10)\n", points, damaged ? " (damaged)" : "", best);
    if (babel)
        std::printf("BENCH fit_load ours=%.6f ref=%.6f ratio=%.4f peak_mb=%.1f\n", best, *babel, best / *babel,
                    bench::peakMegabytes());
    else
        std::printf("fit_load: reference gpsbabel not available (Debian package gpsbabel)\n"
                    "BENCH fit_load ours=%.6f ref=- ratio=- peak_mb=%.1f\n",
                    best, bench::peakMegabytes());
    return 0;
}
