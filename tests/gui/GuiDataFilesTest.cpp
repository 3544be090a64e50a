// Where run-time data is found: working directory, beside the program, installed share folder.

#include "gui/GuiDataFiles.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(DataFiles, WorkingDirectoryThenBesideTheProgramThenTheInstalledShare)
{
    char* base = SDL_GetBasePath();
    ASSERT_NE(base, nullptr);
    const fs::path programDir = base;
    SDL_free(base);
    const std::string name = "probe-" + std::to_string(getpid()) + ".txt", relative = "data/" + name;
    const fs::path beside = programDir / "data" / name, installed = programDir / ".." / "share" / "pathlark" / name;
    const fs::path work = fs::temp_directory_path() / ("pathlark-data-" + std::to_string(getpid()));
    const fs::path previous = fs::current_path();
    fs::create_directories(work / "data");
    ASSERT_EQ(chdir(work.c_str()), 0);

    EXPECT_EQ(dataFilePath(relative), relative) << "found nowhere: the name as asked";
    for (const fs::path& found : {installed, beside, fs::path(relative)}) {
        fs::create_directories(found.parent_path());
        std::ofstream(found) << "x\n";
        EXPECT_TRUE(fs::equivalent(dataFilePath(relative), found)) << found;
    }
    EXPECT_EQ(dataFilePath(relative), relative);
    EXPECT_EQ(dataFilePath("data/../" + name), "data/../" + name) << "only data/ paths go to the share folder";

    ASSERT_EQ(chdir(previous.c_str()), 0);
    fs::remove_all(work);
    // Folders made here go again, those that were there stay (removing a full one fails).
    std::error_code ec;
    for (const fs::path& p : {beside, beside.parent_path(), installed, installed.parent_path(),
                              installed.parent_path().parent_path()})
        fs::remove(p, ec);
}
