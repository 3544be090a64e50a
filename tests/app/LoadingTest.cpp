// Tracks and maps from the command line, the dialogs and drops: what is shown,
// what a failure leaves in place, and the texts the user reads.

#include "AppTestSupport.h"

#include "app/Startup.h"
#include "gui/GuiCairoPanel.h"
#include "gui/GuiComboBox.h"
#include "gui/GuiFileDialog.h"
#include "gui/GuiText.h"
#include "gui/GuiTreeListCtrl.h"
#include "gui/GuiWindow.h"
#include "track/Gpx.h"

#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <tuple>

using namespace apptest;

using Loading = Application;

TEST_F(Loading, TheMapBesideTheTrackOrTheOneNamedLast)
{
    const std::string ride = write("ride.gpx", gpxWithTracks(trackXml("Ride", 5)));
    const std::string route = write("route", gpxWithTracks(trackXml("Route", 5)));
    const std::string lonely = write("lonely.gpx", gpxWithTracks(trackXml("Ride", 5)));
    const std::string rideMap = write("ride.osm", smallMap), routeMap = write("route.osm", smallMap);
    const std::string other = write("other.osm", smallMap);
    const struct {
        std::vector<std::string> args;
        std::string gpx, map;
    } cases[] = {
        {{ride}, ride, rideMap},
        {{route}, route, routeMap},  // a track file without extension
        {{other, ride}, "sample.gpx", other},  // map first: the sample on that map
        {{ride, other}, ride, other},
        {{lonely}, lonely, ""},  // none beside it, and the download fails
    };
    for (const auto& c : cases) {
        start(c.args);
        EXPECT_EQ(std::tuple(engine->gpxPath, engine->mapPath, engine->mapFeatures.size()),
                  std::tuple(c.gpx, c.map, c.map.empty() ? 0u : 1u)) << c.args[0];
    }
    EXPECT_EQ(engine->mapLabel->text, "No OSM map loaded");

    // Without arguments the first default map candidate that is a file.
    fs::create_directory(dir / "data.osm");
    write("map.osm", smallMap);
    start();
    EXPECT_EQ(engine->mapPath, "map.osm");
    write("data/data.osm", smallMap);
    EXPECT_EQ(findDefaultMap(), fs::path("data/data.osm"));
}

TEST_F(Loading, FailedLoadsKeepTheShownTrackAndMap)
{
    const std::string map = write("area.osm", smallMap);
    start({map});
    Gpx* sample = engine->gpx.get();
    const std::string mapLabel = engine->mapLabel->text;
    const std::string fifo = (dir / "pipe.osm").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string deep = "<gpx>";
    for (int i = 0; i < 200; ++i)
        deep += "<trk>";
    const std::string missing = (dir / "missing.gpx").string(), empty = write("empty.gpx", gpxWithTracks(""));
    const std::pair<std::string, std::string> tracks[] = {
        {missing, "File not found: " + missing},
        {empty, "No tracks found in " + empty},
        {write("deep.gpx", deep), "Could not load GPX: "},  // nesting no real file has
        {fifo, "Not a regular file: " + fifo},  // would block for good
    };
    for (const auto& [path, text] : tracks) {
        engine->loadGpxFile(path);
        EXPECT_EQ(status().substr(0, text.size()), text);
        EXPECT_EQ(engine->gpx.get(), sample) << path;
    }
    const std::pair<std::string, std::string> maps[] = {
        {"/nonexistent/map.osm", "Could not open OSM map: /nonexistent/map.osm"},
        {fifo, "Not a regular file: " + fifo},
        {write("b1.osm", "<osm>\n  <node id=\"3\" lat=\"+47.1\" lon=\"9\"/>\n</osm>\n"),
         "Invalid OSM map: Invalid XML number: +47.1"},
        {write("b2.osm", "<osm>\n  <way id=\"99999999999999999999\">\n</osm>\n"), "Invalid OSM map: stoll"},
        {write("b3.osm", "\x1f\x8b\x08 not a map \xff\n"), "Invalid OSM map: no OSM data in the file"},
    };
    const std::uint64_t revision = engine->mapRevision;
    for (const auto& [path, text] : maps) {
        engine->loadOsmMap(path);
        EXPECT_EQ(status(), text);
    }
    EXPECT_EQ(std::tuple(engine->gpxPath, engine->mapPath, engine->mapRevision, engine->mapLabel->text),
              std::tuple("sample.gpx", map, revision, mapLabel));

    // Nor is a FIFO by the track's map name read, or replaced by a download.
    const std::string track = write("pipe.xml", gpxWithTracks(trackXml("Ride", 3)));
    engine->loadGpxFile(track);
    EXPECT_EQ(engine->gpxPath, track);
    EXPECT_EQ(status(), "Not a regular file: " + fifo);
    EXPECT_TRUE(shownErrorBoxes.empty());

    // An empty map document is an empty map, and counts as a new one.
    engine->loadOsmMap(write("empty.osm", "<?xml version='1.0'?>\n<osm version=\"0.6\">\n</osm>\n"));
    EXPECT_EQ(engine->mapRevision, revision + 1);
    EXPECT_EQ(status(), "empty.osm  |  0 map ways loaded");
}

TEST_F(Loading, SelectingATrackResetsTheViewButKeepsTheRotation)
{
    start({write("two.gpx", gpxWithTracks(trackXml("", 4) + trackXml("", 6) + trackXml("Empty", 0)))});
    ASSERT_EQ(engine->trackCombo->items.size(), 3u);
    EXPECT_EQ(engine->trackCombo->items[1].text, "Track 2");
    engine->zoom = 3.0;
    engine->panX = 40;
    engine->markerA = 2;
    engine->angleZ = 90;
    engine->selectTrack(1);
    EXPECT_EQ(engine->trackCombo->selectedIndex, 1);
    EXPECT_EQ((std::array{engine->zoom, engine->panX, double(engine->markerA)}), (std::array{1.0, 0.0, -1.0}));
    EXPECT_EQ(engine->angleZ, 90);
    EXPECT_EQ(status(), "two.gpx  |  Unnamed track  |  6 points");
    engine->selectTrack(3);  // past the last track: nothing happens
    EXPECT_EQ(engine->selectedTrack, 1);
    cairo_set_source_rgb(engine->graphPanel->getCairo(), 1.0, 0.0, 0.0);
    cairo_paint(engine->graphPanel->getCairo());
    engine->selectTrack(2);
    EXPECT_EQ(engine->cursorIndex, -1);
    EXPECT_EQ(status(), "Selected track contains no waypoints");
    engine->renderMapPanel();
    cairo_surface_flush(engine->graphPanel->getSurface());
    EXPECT_EQ(*reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(engine->graphPanel->getSurface())), 0xFFFAFAFAu)
        << "the graph is emptied, not left showing another track";
}

TEST_F(Loading, OnlyAnAcceptedDialogLoadsItsFile)
{
    const std::string gpx = write("chosen.gpx", gpxWithTracks(trackXml("Chosen", 4)));
    const std::string besideIt = write("chosen.osm", smallMap), map = write("other.osm", smallMap);
    start();
    const struct {
        bool forMap, accept;
        std::string gpx, map;
    } steps[] = {
        {false, false, "sample.gpx", ""},
        {false, true, gpx, besideIt},
        {true, false, gpx, besideIt},
        {true, true, gpx, map},
    };
    for (const auto& step : steps) {
        step.forMap ? engine->openOsmDialog() : engine->openGpxDialog();
        auto* dialog = dynamic_cast<GuiFileDialog*>(engine->modalRoot);
        ASSERT_NE(dialog, nullptr);
        dialog->findByName("filename")->setValue(step.forMap ? map : gpx);
        const Uint32 id = dialog->platformWindow->windowId;
        const std::string before = status();
        step.accept ? dialog->accept() : dialog->cancel();
        EXPECT_EQ(engine->modalRoot, nullptr);
        EXPECT_EQ(engine->pendingCloses.back(), id);
        EXPECT_EQ(engine->gpxPath, step.gpx) << step.forMap << step.accept;
        EXPECT_EQ(engine->mapPath, step.map) << step.forMap << step.accept;
        EXPECT_TRUE(step.accept || status() == before) << "a cancelled dialog tries nothing: " << status();
    }
}

TEST_F(Loading, DroppedFilesOpenLikeChosenOnesAndTheTitleNamesTheTrack)
{
    start();
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
    drop(write("empty.gpx", gpxWithTracks("")));  // rejected: the ride stays, and its title
    EXPECT_EQ(std::string(SDL_GetWindowTitle(engine->mainWindow->sdlWindow)), "ride.gpx \u2014 Pathlark 0.0.0");
    for (const char* name : {"area.OSM", "area.Xml"}) {
        drop(write(name, smallMap));
        EXPECT_EQ(engine->mapPath, (dir / name).string());
    }
    fs::create_directory(dir / "rides.gpx");
    drop((dir / "rides.gpx").string());
    EXPECT_NE(status().find("not a folder"), std::string::npos) << status();
    engine->openGpxDialog();
    drop(write("other.gpx", gpxWithTracks(trackXml("Other", 3))));
    EXPECT_EQ(engine->gpxPath, track) << "ignored while a dialog is open";
}

TEST_F(Loading, FitAndTcxOpenByExtensionInAnyCaseWithTheirMaps)
{
    const fs::path data(PATHLARK_TEST_DATA_DIR);
    // Cut in half: what lies before the cut is shown, and the damage said.
    const std::string fit = readAll(data / "fit/2013-02-06-12-11-14.fit");
    const std::string ride = write("ride.FIT", fit.substr(0, fit.size() / 2));
    write("ride.osm", smallMap);
    start({ride});
    ASSERT_EQ(engine->gpxPath, ride);
    EXPECT_EQ(engine->mapPath, (dir / "ride.osm").string());
    const int points = engine->gpx->getTrack(0)->getWayPointCount();
    EXPECT_TRUE(points > 100 && points < 583) << points;
    EXPECT_EQ(status(), "ride.FIT  |  the file is damaged: " + std::to_string(points) + " points read");

    const std::string paddle = write("paddle.Tcx", readAll(data / "tcx/sup_activity_1.tcx"));
    write("paddle.osm", smallMap);
    engine->loadGpxFile(paddle);
    ASSERT_EQ(engine->gpxPath, paddle);
    EXPECT_EQ(engine->gpx->getVersion(), "TCX");
    EXPECT_EQ(engine->mapPath, (dir / "paddle.osm").string());

    // A FIT file without positions is refused like a GPX file without tracks.
    const std::string indoor = write("indoor.fit", readAll(data / "fit/compressed-speed-distance.fit"));
    engine->loadGpxFile(indoor);
    EXPECT_EQ(status(), "No tracks found in " + indoor);
    EXPECT_EQ(engine->gpxPath, paddle);
}

// Reading a track goes through a library that resets the process locale;
// the toolkit's English texts must survive that in the C locale.
TEST_F(Loading, ToolkitTextsStayEnglishAfterATrackIsRead)
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

TEST_F(Loading, IdleWindowShowsNoFramesUntilTheViewChanges)
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
    pushKey(SDLK_PLUS);
    runFor(150);
    ASSERT_TRUE(engine->paintedContent);
    EXPECT_EQ(engine->paintedContent->zoom, 1.25);
    EXPECT_GT(frames, 0);
    engine->endRun();
}

// Every real track we keep, track by track with every view option on: nothing
// a real file holds may crash the shell, the projection or the renderer.
TEST_F(Loading, EveryRealTrackLoadsAndDrawsInEveryView)
{
    start();
    for (const auto& entry : fs::directory_iterator(std::string(PATHLARK_TEST_DATA_DIR) + "/gpx")) {
        if (entry.path().extension() != ".gpx")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        engine->loadGpxFile(entry.path().string());
        engine->showHeight = engine->showWaypoints = engine->showDirectLine = true;
        for (int t = 0; t < engine->gpx->getTrackCount(); ++t) {
            engine->selectTrack(t);
            engine->angleX = 40;
            engine->angleZ = 200;
            engine->markerA = engine->cursorIndex;
            engine->setCursor(1 << 20);  // clamps to the last point
            engine->markerB = engine->cursorIndex;
            engine->buildInfoPanel();
            for (engine->statisticsMode = 0; engine->statisticsMode < 3; ++engine->statisticsMode)
                engine->renderMapPanel();
            engine->render(engine->mainWindow);
        }
    }
}
