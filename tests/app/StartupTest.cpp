// Default map lookup relative to the working directory.

#include "app/Startup.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Runs each test in a fresh empty directory.
class StartupLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = fs::current_path();
        dir = fs::temp_directory_path() / ("pathlark-startup-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "work");
        ASSERT_EQ(chdir((dir / "work").c_str()), 0);
    }
    void TearDown() override
    {
        ASSERT_EQ(chdir(previous.c_str()), 0);
        fs::remove_all(dir);
    }
    static void touch(const fs::path& p) { std::ofstream(p) << "<osm/>\n"; }

    fs::path previous, dir;
};

} // namespace

TEST_F(StartupLookup, NoDefaultMapWhenNoCandidateExists)
{
    EXPECT_FALSE(pathlark::findDefaultMap());
}

TEST_F(StartupLookup, DefaultMapSkipsDirectoriesAndTakesTheFirstFileInOrder)
{
    fs::create_directory("data.osm");  // a directory is no map
    touch("map.osm");
    auto found = pathlark::findDefaultMap();
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, fs::path("map.osm"));

    fs::create_directory("data");
    touch("data/data.osm");
    found = pathlark::findDefaultMap();
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, fs::path("data/data.osm"));
}
