// The whole application in-process: start-up with its first data, the main
// window's layout at several sizes, track loading and selection.

#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/PathlarkEngine.h"
#include "gui/GuiButton.h"
#include "gui/GuiCairoPanel.h"
#include "gui/GuiComboBox.h"
#include "gui/GuiFileDialog.h"
#include "gui/GuiLabel.h"
#include "gui/GuiTreeListCtrl.h"
#include "gui/GuiWindow.h"
#include "track/Gpx.h"

#include "AppTestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace pathlark;
using apptest::Application;
using apptest::gpxWithTracks;
using apptest::trackXml;
using apptest::smallMap;

TEST_F(Application, StartsOnTheBundledSample)
{
    start();
    ASSERT_TRUE(engine->gpx);
    EXPECT_EQ(engine->gpxPath, "sample.gpx");
    EXPECT_EQ(engine->selectedTrack, 0);
    EXPECT_EQ(engine->cursorIndex, 0);
    EXPECT_EQ(status(), "sample.gpx  |  ACTIVE LOG  |  730 points");
    EXPECT_EQ(engine->trackCombo->selectedIndex, 0);
    std::string value;
    ASSERT_TRUE(engine->infoTree->setValue("Track analyses/Waypoints"));
    EXPECT_EQ(engine->infoTree->selectedNode()->cells.at(1), "730");
    EXPECT_EQ(engine->mapLabel->text, "No map loaded");
}

TEST_F(Application, LayoutFollowsTheWindowSize)
{
    struct Case {
        int w, h;
    };
    for (Case c : {Case{850, 650}, Case{1100, 720}, Case{1400, 900}}) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        start({}, c.w, c.h);
        ASSERT_EQ(engine->mainWindow->width, c.w);
        EXPECT_EQ(engine->mapPanel->w, c.w - 580);
        EXPECT_EQ(engine->mapPanel->h, c.h - 198);
        EXPECT_EQ(engine->graphPanel->y, c.h - 156);
        EXPECT_EQ(engine->graphPanel->w, c.w - 580);
        EXPECT_EQ(engine->statusLabel->y, c.h - 22);
        EXPECT_EQ(engine->statusLabel->w, c.w - 16);
        EXPECT_EQ(engine->infoTree->h, c.h - 128);
        EXPECT_EQ(engine->fitWindowButton->x, 870 + c.w - 1100);
        EXPECT_EQ(engine->cursorModeCombo->x, 946 + c.w - 1100);
        EXPECT_EQ(engine->openGpxButton->x, 8);
        engine.reset();
    }
}

TEST_F(Application, SideColumnHoldsEveryControlRightOfTheMap)
{
    start();
    EXPECT_EQ(engine->rightPanelControls.size(), 38u);
    EXPECT_EQ(engine->mainWindow->root->children.size(), 50u);
}

TEST_F(Application, FitButtonSaysRestoreWhenStartedFullscreen)
{
    start({}, 1100, 720, true);
    std::string label;
    engine->fitWindowButton->getValue(label);
    EXPECT_EQ(engine->fitWindowButton->text, "Restore window");
}

TEST_F(Application, TrackWithSiblingMap)
{
    const std::string gpx = write("ride.gpx", gpxWithTracks(trackXml("Ride", 5)));
    write("ride.osm", smallMap);
    start({gpx});
    EXPECT_EQ(engine->gpxPath, gpx);
    EXPECT_EQ(engine->mapPath, (dir / "ride.osm").string());
    EXPECT_EQ(engine->mapFeatures.size(), 1u);
}

TEST_F(Application, TrackWithoutExtensionFindsItsMap)
{
    const std::string gpx = write("route", gpxWithTracks(trackXml("Route", 3)));
    write("route.osm", smallMap);
    start({gpx});
    EXPECT_EQ(engine->mapPath, (dir / "route.osm").string());
}

TEST_F(Application, MapFirstShowsTheSampleOnThatMap)
{
    const std::string map = write("area.osm", smallMap);
    const std::string gpx = write("ride.gpx", gpxWithTracks(trackXml("Ride", 5)));
    start({map, gpx});
    EXPECT_EQ(engine->gpxPath, "sample.gpx");
    EXPECT_EQ(engine->mapPath, map);
}

TEST_F(Application, TrackThenMapShowsTheSecondMapLast)
{
    const std::string gpx = write("ride.gpx", gpxWithTracks(trackXml("Ride", 5)));
    write("ride.osm", smallMap);
    const std::string other = write("other.osm", smallMap);
    start({gpx, other});
    EXPECT_EQ(engine->mapPath, other);
}

TEST_F(Application, MissingSiblingMapClearsTheMap)
{
    const std::string gpx = write("lonely.gpx", gpxWithTracks(trackXml("Ride", 3)));
    start({gpx});
    EXPECT_TRUE(engine->mapFeatures.empty());
    EXPECT_EQ(engine->mapPath, "");
    EXPECT_EQ(engine->mapLabel->text, "No OSM map loaded");
}

TEST_F(Application, LoadFailuresKeepTheShownDocumentAndItsMap)
{
    const std::string map = write("area.osm", smallMap);
    start({map});
    Gpx* sample = engine->gpx.get();
    const std::string mapLabel = engine->mapLabel->text;

    engine->loadGpxFile((dir / "missing.gpx").string());
    EXPECT_EQ(status(), "File not found: " + (dir / "missing.gpx").string());

    const std::string empty = write("empty.gpx", gpxWithTracks(""));
    engine->loadGpxFile(empty);
    EXPECT_EQ(status(), "No tracks found in " + empty);
    EXPECT_EQ(engine->gpx.get(), sample);
    EXPECT_EQ(engine->mapPath, map);
    EXPECT_EQ(engine->mapLabel->text, mapLabel);

    static const char bytes[] = "\x00\x01\x02 not xml at all";
    const std::string garbage = write("garbage.gpx", std::string(bytes, sizeof bytes - 1));
    engine->loadGpxFile(garbage);
    EXPECT_EQ(engine->gpx.get(), sample);
    EXPECT_EQ(engine->gpxPath, "sample.gpx");

    // Nesting no real file has is refused by the reader, and said so.
    std::string deep = "<gpx>";
    for (int i = 0; i < 200; ++i)
        deep += "<trk>";
    engine->loadGpxFile(write("deep.gpx", deep));
    EXPECT_EQ(status().rfind("Could not load GPX: ", 0), 0u) << status();
    EXPECT_EQ(engine->gpx.get(), sample);

    // Only regular files are read: a FIFO would block for good, /dev/zero never end.
    const std::string fifo = (dir / "pipe.osm").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {dir.string(), fifo, std::string("/dev/zero")}) {
        engine->loadGpxFile(path);
        EXPECT_EQ(status(), "Not a regular file: " + path);
        EXPECT_EQ(engine->gpx.get(), sample);
    }
    // Nor is a FIFO by the track's map name read, or replaced by a download.
    const std::string track = write("pipe.xml", gpxWithTracks(trackXml("Ride", 3)));
    apptest::shownErrorBoxes.clear();
    engine->loadGpxFile(track);
    EXPECT_EQ(engine->gpxPath, track);
    EXPECT_EQ(status(), "Not a regular file: " + (dir / "pipe.osm").string());
    EXPECT_TRUE(apptest::shownErrorBoxes.empty());
}

TEST_F(Application, TrackWithoutPointsIsSelectedWithoutCursor)
{
    const std::string gpx = write("nopoints.gpx", gpxWithTracks(trackXml("Empty", 0)));
    start({gpx});
    ASSERT_TRUE(engine->gpx);
    EXPECT_EQ(engine->selectedTrack, 0);
    EXPECT_EQ(engine->cursorIndex, -1);
    // The map download that follows reports last; selecting again shows the track's own report.
    EXPECT_EQ(status(), "Could not create the OSM map.\n\nThe selected track contains no waypoints.");
    engine->selectTrack(0);
    EXPECT_EQ(status(), "Selected track contains no waypoints");
}

TEST_F(Application, UnnamedTracksAreNumberedAndSelectionResetsTheView)
{
    const std::string gpx = write("two.gpx", gpxWithTracks(trackXml("", 4) + trackXml("", 6)));
    start({gpx});
    ASSERT_EQ(engine->trackCombo->items.size(), 2u);
    EXPECT_EQ(engine->trackCombo->items[0].text, "Track 1");
    EXPECT_EQ(engine->trackCombo->items[1].text, "Track 2");

    engine->zoom = 3.0;
    engine->panX = 40;
    engine->markerA = 2;
    engine->angleZ = 90;
    engine->selectTrack(1);
    EXPECT_EQ(engine->trackCombo->selectedIndex, 1);
    EXPECT_EQ(engine->zoom, 1.0);
    EXPECT_EQ(engine->panX, 0.0);
    EXPECT_EQ(engine->markerA, -1);
    EXPECT_EQ(engine->angleZ, 90);
    EXPECT_EQ(status(), "two.gpx  |  Unnamed track  |  6 points");

    engine->selectTrack(2);  // past the last track: nothing happens
    EXPECT_EQ(engine->selectedTrack, 1);
}

TEST_F(Application, OpenGpxDialogLoadsTheAcceptedFile)
{
    const std::string gpx = write("chosen.gpx", gpxWithTracks(trackXml("Chosen", 4)));
    start();
    engine->openGpxDialog();
    auto* dialog = dynamic_cast<GuiFileDialog*>(engine->modalRoot);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GuiEngine::windowList().size(), 2u);

    // Notifications of the main window are dropped while the dialog runs.
    engine->mainWindow->root->postNotification(GuiNotify::ButtonPressed, 102, 0);

    dialog->findByName("filename")->setValue(gpx);
    const Uint32 dialogId = dialog->platformWindow->windowId;
    dialog->accept();
    EXPECT_EQ(engine->modalRoot, nullptr);
    EXPECT_EQ(engine->gpxPath, gpx);
    EXPECT_EQ(engine->trackCombo->items.at(0).text, "Chosen");
    ASSERT_EQ(engine->pendingCloses.size(), 1u);
    EXPECT_EQ(engine->pendingCloses[0], dialogId);
    EXPECT_FALSE(engine->osmDialogPending);
}

TEST_F(Application, CancelledOsmDialogLoadsNothing)
{
    start();
    engine->openOsmDialog();  // the sample has no directory: the dialog starts somewhere sensible
    EXPECT_TRUE(engine->osmDialogPending);
    auto* dialog = dynamic_cast<GuiFileDialog*>(engine->modalRoot);
    ASSERT_NE(dialog, nullptr);
    const std::uint64_t revision = engine->mapRevision;
    dialog->cancel();
    EXPECT_EQ(engine->mapRevision, revision);
    EXPECT_FALSE(engine->osmDialogPending);
    EXPECT_EQ(engine->pendingCloses.size(), 1u);
}

TEST_F(Application, IdleWindowShowsNoFramesUntilTheViewChanges)
{
    start();
    engine->loadOsmMap(write("map.osm", smallMap));
    engine->idleWaitLimitMs = 100;
    engine->beginRun();
    int frames = 0;
    engine->framePresented = [&] { ++frames; };
    auto runFor = [&](Uint32 ms) {
        for (const Uint32 start = SDL_GetTicks(); SDL_GetTicks() - start < ms;)
            engine->runFrame();
    };
    runFor(300);  // start-up's own frames
    frames = 0;
    runFor(600);
    EXPECT_EQ(frames, 0);

    // A zoom step repaints the map in the next frame the panel's pace allows.
    SDL_Event plus{};
    plus.type = SDL_KEYDOWN;
    plus.key.windowID = engine->mainWindow->windowId;
    plus.key.keysym.sym = SDLK_PLUS;
    SDL_PushEvent(&plus);
    runFor(150);
    ASSERT_TRUE(engine->paintedContent);
    EXPECT_EQ(engine->paintedContent->zoom, 1.25);
    EXPECT_GT(frames, 0);
    engine->endRun();
}
