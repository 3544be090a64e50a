// Command-line rules and the exit codes of the whole program.

#include "app/CommandLine.h"
#include "app/Startup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <vector>

using pathlark::parseCommandLine;

namespace {

std::optional<pathlark::CommandLine> parse(std::initializer_list<const char*> args)
{
    std::vector<const char*> argv{"pathlark.bin"};
    argv.insert(argv.end(), args.begin(), args.end());
    return parseCommandLine(int(argv.size()), argv.data());
}

} // namespace

TEST(CommandLine, DefaultsWithoutArguments)
{
    auto result = parse({});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->width, 1100);
    EXPECT_EQ(result->height, 720);
    EXPECT_FALSE(result->fullscreen);
    EXPECT_TRUE(result->positional.empty());
}

TEST(CommandLine, WindowSizeLimitsAreInclusive)
{
    EXPECT_TRUE(parse({"--window-size", "850x650"}));
    EXPECT_TRUE(parse({"--window-size", "8192x8192"}));
    EXPECT_FALSE(parse({"--window-size", "849x700"}));
    EXPECT_FALSE(parse({"--window-size", "900x649"}));
    EXPECT_FALSE(parse({"--window-size", "8193x700"}));
    EXPECT_FALSE(parse({"--window-size", "900x8193"}));
    auto result = parse({"--window-size", "1000x700"});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->width, 1000);
    EXPECT_EQ(result->height, 700);
}

TEST(CommandLine, WindowSizeFollowsStreamRules)
{
    EXPECT_TRUE(parse({"--window-size", " 1000x700"}));
    EXPECT_TRUE(parse({"--window-size", "1000x700  "}));
    EXPECT_TRUE(parse({"--window-size", "+1000x+700"}));
    EXPECT_FALSE(parse({"--window-size", "1000X700"}));
    EXPECT_FALSE(parse({"--window-size", "1000x700px"}));
    EXPECT_FALSE(parse({"--window-size", "1000x"}));
    EXPECT_FALSE(parse({"--window-size", "x700"}));
    EXPECT_FALSE(parse({"--window-size", "99999999999x700"}));
    EXPECT_FALSE(parse({"--window-size", ""}));
}

TEST(CommandLine, WindowSizeOptionNeedsAValueAndMayAppearOnce)
{
    EXPECT_FALSE(parse({"--window-size"}));
    EXPECT_FALSE(parse({"--window-size", "fullscreen", "--window-size", "1000x700"}));
    auto full = parse({"--window-size", "fullscreen", "track.gpx"});
    ASSERT_TRUE(full);
    EXPECT_TRUE(full->fullscreen);
    EXPECT_EQ(full->positional, std::vector<std::string>{"track.gpx"});
}

TEST(CommandLine, OtherDoubleDashOptionsAreWrongButSingleDashIsAFile)
{
    EXPECT_FALSE(parse({"--help"}));
    EXPECT_FALSE(parse({"--"}));
    auto result = parse({"-track.gpx"});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->positional, std::vector<std::string>{"-track.gpx"});
}

TEST(CommandLine, AtMostTwoPositionalArguments)
{
    auto two = parse({"a.gpx", "b.osm"});
    ASSERT_TRUE(two);
    EXPECT_EQ(two->positional, (std::vector<std::string>{"a.gpx", "b.osm"}));
    EXPECT_FALSE(parse({"a.gpx", "b.osm", "c.osm"}));
}

TEST(ProgramExit, WrongCommandLinePrintsUsageAndExitsTwo)
{
    const char* argv[] = {"pathlark.bin", "--help", nullptr};
    testing::internal::CaptureStderr();
    const int code = pathlark::runMain(2, const_cast<char**>(argv));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 2);
    EXPECT_EQ(err, std::string(pathlark::UsageText) + "\n");
}

TEST(ProgramExit, StartUpFailureIsReportedWithExitOne)
{
    // A video driver that does not exist makes SDL's start-up fail.
    const char* saved = getenv("SDL_VIDEODRIVER");
    const std::string savedValue = saved ? saved : "";
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    const char* argv[] = {"pathlark.bin", nullptr};
    testing::internal::CaptureStderr();
    const int code = pathlark::runMain(1, const_cast<char**>(argv));
    const std::string err = testing::internal::GetCapturedStderr();
    setenv("SDL_VIDEODRIVER", savedValue.c_str(), 1);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(err.rfind("Pathlark initialization failed: ", 0), 0u) << err;
}
