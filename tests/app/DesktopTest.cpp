// Behaviour on the desktop: files dropped from a file manager (delivered
// through the engine's loop as SDL delivers them), the window title that
// names the shown file, and the interface language.

#include "AppTestSupport.h"

#include "gui/GuiText.h"

#include <SDL.h>

#include <cstdlib>
#include <optional>

using namespace apptest;

namespace {

std::string windowTitle(const PathlarkEngine& engine)
{
    return SDL_GetWindowTitle(engine.mainWindow->sdlWindow);
}

} // namespace

// Reading a track goes through a library that resets the process locale;
// the toolkit's English texts must survive that in the C locale.
TEST_F(Application, ToolkitTextsStayEnglishAfterATrackIsRead)
{
    std::optional<std::string> previous;
    if (const char* value = std::getenv("LC_ALL"))
        previous = value;
    setenv("LC_ALL", "C", 1);
    fs::create_directory_symlink(fs::path(PATHLARK_SOURCE_DIR) / "data" / "locale", dir / "data" / "locale");
    start();
    EXPECT_STREQ(guiText("Abbrechen"), "Cancel");
    previous ? setenv("LC_ALL", previous->c_str(), 1) : unsetenv("LC_ALL");
}

// The title names the shown track file, also when it came by a drop.
TEST_F(Application, DroppedFilesOpenLikeChosenOnesAndTheTitleNamesTheTrack)
{
    engine = std::make_unique<PathlarkEngine>();
    keepOffline(*engine);
    engine->createMainWindow(CommandLine{});
    EXPECT_EQ(windowTitle(*engine), "Pathlark 0.0.0");
    engine->loadFirstData(CommandLine{});
    EXPECT_EQ(windowTitle(*engine), "sample.gpx \u2014 Pathlark 0.0.0");
    auto drop = [this](const std::string& path) {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        SDL_Event event{};
        event.type = SDL_DROPFILE;
        event.drop.file = SDL_strdup(path.c_str());  // the engine frees it, as SDL's own
        event.drop.windowID = engine->mainWindow->windowId;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
        while (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0)
            engine->runFrame();
    };
    write("ride.osm", smallMap);
    const std::string track = write("ride.gpx", gpxWithTracks(trackXml("Ride", 3)));
    drop(track);
    EXPECT_EQ(engine->gpxPath, track);
    EXPECT_EQ(engine->mapPath, (dir / "ride.osm").string());
    EXPECT_EQ(windowTitle(*engine), "ride.gpx \u2014 Pathlark 0.0.0");
    drop(write("empty.gpx", gpxWithTracks("")));  // rejected: the ride stays, and its title
    EXPECT_EQ(windowTitle(*engine), "ride.gpx \u2014 Pathlark 0.0.0");

    for (const char* name : {"area.OSM", "area.Xml"}) {
        const std::string map = write(name, smallMap);
        drop(map);
        EXPECT_EQ(engine->mapPath, map);
        EXPECT_EQ(engine->gpxPath, track);
    }

    fs::create_directory(dir / "rides.gpx");
    drop((dir / "rides.gpx").string());
    EXPECT_NE(status().find("not a folder"), std::string::npos) << status();
    EXPECT_EQ(engine->gpxPath, track);

    // While a dialog is open, drops are ignored.
    engine->openGpxDialog();
    ASSERT_NE(engine->modalRoot, nullptr);
    drop(write("other.gpx", gpxWithTracks(trackXml("Other", 3))));
    EXPECT_EQ(engine->gpxPath, track);
    EXPECT_NE(engine->modalRoot, nullptr);
}
