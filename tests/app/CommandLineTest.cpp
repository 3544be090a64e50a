// Command-line rules and the exit codes of the whole program.

#include "app/CommandLine.h"
#include "app/Startup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

// "" when refused, else "WIDTHxHEIGHT", "full" when fullscreen, and the files.
std::string parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "pathlark.bin");
    const auto result = pathlark::parseCommandLine(int(args.size()), args.data());
    if (!result)
        return "";
    std::string text = result->fullscreen ? "full" : std::to_string(result->width) + "x" + std::to_string(result->height);
    for (const std::string& file : result->positional)
        text += " " + file;
    return text;
}

int runMain(std::vector<const char*> args, std::string& err)
{
    args.insert(args.begin(), "pathlark.bin");
    args.push_back(nullptr);
    testing::internal::CaptureStderr();
    const int code = pathlark::runMain(int(args.size()) - 1, const_cast<char**>(args.data()));
    err = testing::internal::GetCapturedStderr();
    return code;
}

} // namespace

TEST(CommandLine, WindowSizeFilesAndWhatIsRefused)
{
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{}, "1100x720"},
        {{"--window-size", "850x650"}, "850x650"},  // the limits are inclusive
        {{"--window-size", "8192x8192"}, "8192x8192"},
        {{"--window-size", "849x700"}, ""}, {{"--window-size", "900x649"}, ""},
        {{"--window-size", "8193x700"}, ""}, {{"--window-size", "900x8193"}, ""},
        {{"--window-size", " 1000x700  "}, "1000x700"}, {{"--window-size", "+1000x+700"}, "1000x700"},
        {{"--window-size", "1000X700"}, ""}, {{"--window-size", "1000x700px"}, ""},
        {{"--window-size", "1000x"}, ""}, {{"--window-size", "x700"}, ""},
        {{"--window-size", "99999999999x700"}, ""}, {{"--window-size", ""}, ""}, {{"--window-size"}, ""},
        {{"--window-size", "fullscreen", "a.gpx"}, "full a.gpx"},
        {{"--window-size", "fullscreen", "--window-size", "1000x700"}, ""},  // at most once
        {{"--help"}, ""}, {{"--"}, ""}, {{"-track.gpx"}, "1100x720 -track.gpx"},
        {{"a.gpx", "b.osm"}, "1100x720 a.gpx b.osm"}, {{"a.gpx", "b.osm", "c.osm"}, ""},
    };
    for (const auto& [args, expected] : cases)
        EXPECT_EQ(parse(args), expected) << (args.empty() ? "" : args.back());
}

TEST(ProgramExit, UsageExitsTwoAndAFailedStartOne)
{
    std::string err;
    EXPECT_EQ(runMain({"--help"}, err), 2);
    EXPECT_EQ(err, std::string(pathlark::UsageText) + "\n");

    const std::string saved = getenv("SDL_VIDEODRIVER") ? getenv("SDL_VIDEODRIVER") : "";
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    const int code = runMain({}, err);
    setenv("SDL_VIDEODRIVER", saved.c_str(), 1);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(err.rfind("Pathlark initialization failed: ", 0), 0u) << err;
}
