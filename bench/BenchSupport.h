#pragma once
// Small pieces every benchmark needs: CPU time, peak memory, and a plain
// copy of a gzip'ed input.

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace bench {

inline double cpuSeconds(const rusage& usage)
{
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

inline double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

inline std::string shellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The path to read: the input itself, or for a .gz a decompressed copy in the
// temporary folder (the caller removes it). Empty when decompression failed.
inline std::optional<std::string> plainInput(const std::string& input, const std::string& tag, bool& temporary)
{
    temporary = false;
    if (!input.ends_with(".gz"))
        return input;
    const std::string path =
        (std::filesystem::temp_directory_path() / ("pathlark-bench-" + tag + "-" + std::to_string(getpid()) + ".osm"))
            .string();
    if (std::system(("gzip -dc " + shellQuote(input) + " > " + shellQuote(path)).c_str()) != 0)
        return std::nullopt;
    temporary = true;
    return path;
}

// The OSM input of a benchmark: the file named on the command line or the
// shared Liechtenstein extract, as a plain file. Empty (after saying why) when
// it is missing or cannot be decompressed; `exitCode` then tells what to return.
inline std::optional<std::string> osmInput(int argc, char** argv, const char* name, bool& temporary, int& exitCode)
{
    const std::string input = argc > 1 ? argv[1]
                                       : std::string(PATHLARK_SHARED_DATA_DIR) +
                                             "/osm/liechtenstein-2024-03-04_osmium.osm.gz";
    if (!std::filesystem::exists(input)) {
        std::printf("%s skipped: %s not found (the shared data folder is not here)\n", name, input.c_str());
        exitCode = 0;
        return std::nullopt;
    }
    std::optional<std::string> plain = plainInput(input, name, temporary);
    if (!plain) {
        std::printf("%s failed: could not decompress %s\n", name, input.c_str());
        exitCode = 1;
    }
    return plain;
}

} // namespace bench
