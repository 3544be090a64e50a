#include "app/CommandLine.h"

#include <sstream>
#include <string_view>

namespace pathlark {

const char* const UsageText = "Usage: pathlark.bin [--window-size WIDTHxHEIGHT|fullscreen] [TRACK.gpx] [MAP.osm]";

namespace {

// "WIDTHxHEIGHT" with stream rules: white space before each number and after
// the height is fine, anything else is not.
bool parseWindowSize(const std::string& value, CommandLine& result)
{
    if (value == "fullscreen") {
        result.fullscreen = true;
        return true;
    }
    std::istringstream in(value);
    int width = 0, height = 0;
    char separator = 0;
    if (!(in >> width >> separator >> height) || separator != 'x')
        return false;
    in >> std::ws;
    if (!in.eof())
        return false;
    if (width < MinWindowWidth || width > MaxWindowSide || height < MinWindowHeight || height > MaxWindowSide)
        return false;
    result.width = width;
    result.height = height;
    return true;
}

} // namespace

std::optional<CommandLine> parseCommandLine(int argc, const char* const* argv)
{
    CommandLine result;
    bool sizeSeen = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] ? argv[i] : "";
        if (arg == "--window-size") {
            if (sizeSeen || i + 1 >= argc || !argv[i + 1])
                return std::nullopt;
            sizeSeen = true;
            if (!parseWindowSize(argv[++i], result))
                return std::nullopt;
        } else if (arg.starts_with("--")) {
            return std::nullopt;
        } else {
            if (result.positional.size() == 2)
                return std::nullopt;
            result.positional.emplace_back(arg);
        }
    }
    return result;
}

} // namespace pathlark
