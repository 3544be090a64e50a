// Command-line rules and the exit codes of the whole program.

#include "app/CommandLine.h"
#include "app/Startup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

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
