#pragma once
// The command line: pathlark.bin [--window-size WIDTHxHEIGHT|fullscreen] [TRACK.gpx] [MAP.osm]

#include <optional>
#include <string>
#include <vector>

namespace pathlark {

struct CommandLine {
    int width = 1100;
    int height = 720;
    bool fullscreen = false;
    std::vector<std::string> positional;  // at most two: a track or map, then a map
};

constexpr int MinWindowWidth = 850;
constexpr int MinWindowHeight = 650;
constexpr int MaxWindowSide = 8192;

extern const char* const UsageText;

// Empty when the command line is wrong; the caller prints UsageText and exits 2.
std::optional<CommandLine> parseCommandLine(int argc, const char* const* argv);

} // namespace pathlark
