// Every real track we keep, shown track by track with every view option on:
// nothing a real file holds may crash the shell, the projection or the renderer.

#include "AppTestSupport.h"

#include "track/Gpx.h"

using RealFiles = apptest::Application;

TEST_F(RealFiles, EveryRealTrackLoadsAndDrawsInEveryView)
{
    start();
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(PATHLARK_TEST_DATA_DIR) + "/gpx")) {
        if (entry.path().extension() != ".gpx")
            continue;
        ++files;
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
            engine->updateStatusLine();
            for (int mode = 0; mode < 3; ++mode) {
                engine->statisticsMode = mode;
                engine->renderMapPanel();
            }
            engine->render(engine->mainWindow);
        }
    }
    EXPECT_GT(files, 3);
}
