// Ctrl+S: the map panel saved as a PNG picture, and a failed write that
// leaves nothing behind.

#include "AppTestSupport.h"

#include "app/MapPicture.h"
#include "gui/GuiCairoPanel.h"
#include "gui/GuiSaveFileDialog.h"
#include "track/Track.h"
#include "view/MapProjection.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <sstream>

using namespace pathlark;
using apptest::gpxWithTracks;
using apptest::trackXml;
using MapPicture = apptest::Application;
namespace fs = std::filesystem;

namespace {

std::uint32_t pixel(cairo_surface_t* surface, int x, int y)
{
    cairo_surface_flush(surface);
    const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFF;
}

std::string content(const fs::path& path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

} // namespace

TEST_F(MapPicture, CtrlSSavesTheMapPanelAsShown)
{
    const std::string gpx = write("ride.gpx", gpxWithTracks(trackXml("Ride", 30)));
    write("ride.osm", apptest::smallMap);
    start({gpx});
    SDL_Event ctrlS{};
    ctrlS.type = SDL_KEYDOWN;
    ctrlS.key.keysym.sym = SDLK_s;
    ctrlS.key.keysym.mod = KMOD_LCTRL;
    GuiEvent event;
    event.sdlEvent = &ctrlS;
    engine->handleEvent(engine->mainWindow, event);

    auto* dialog = dynamic_cast<GuiSaveFileDialog*>(engine->modalRoot);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->currentDir, fs::canonical(dir).string()) << "beside the track";
    EXPECT_EQ(dialog->fileNameText(), "ride.png");
    dialog->accept();
    const std::string saved = (fs::canonical(dir) / "ride.png").string();
    EXPECT_EQ(status(), "Map picture saved: " + saved);

    cairo_surface_t* picture = cairo_image_surface_create_from_png(saved.c_str());
    ASSERT_EQ(cairo_surface_status(picture), CAIRO_STATUS_SUCCESS);
    cairo_surface_t* shown = engine->mapPanel->getSurface();
    EXPECT_EQ(cairo_image_surface_get_width(picture), engine->mapPanel->w);
    EXPECT_EQ(cairo_image_surface_get_height(picture), engine->mapPanel->h);
    // The track's blue halfway along it, and the very pixels the panel shows.
    const Track& track = *engine->shownTrack();
    const ScreenPoint middle = MapProjection(track, engine->trackExtent, engine->mapViewState())
                                   .projectWayPoint(*track.getWayPoint(15), Pan::Applied);
    const int x = int(middle.x), y = int(middle.y);
    const std::uint32_t blue = pixel(picture, x, y);
    EXPECT_LT(int(blue >> 16), 60) << std::hex << blue;
    EXPECT_GT(int(blue & 0xFF), 150) << std::hex << blue;
    for (auto [px, py] : {std::pair{x, y}, {5, 5}, {x + 40, y}})
        EXPECT_EQ(pixel(picture, px, py), pixel(shown, px, py)) << px << "," << py;
    cairo_surface_destroy(picture);
}

TEST_F(MapPicture, AFailedWriteLeavesNoFileBehind)
{
    // Noise, so the picture is far larger than the file size limit below.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 200, 200);
    std::srand(7);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface) +
                                             y * cairo_image_surface_get_stride(surface))[x] = std::uint32_t(std::rand());
    cairo_surface_mark_dirty(surface);
    write("keep.png", "the old picture");

    // A disk that fills up halfway through: writes past 4 kB fail.
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const std::string replacing = writePngFile(surface, (dir / "keep.png").string());
    const std::string creating = writePngFile(surface, (dir / "new.png").string());
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_NE(replacing, "");
    EXPECT_NE(creating, "");
    EXPECT_EQ(content(dir / "keep.png"), "the old picture");
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir))
        ++files;
    EXPECT_EQ(files, 2) << "keep.png and data/, no partial or temporary file";

    EXPECT_EQ(writePngFile(surface, (dir / "keep.png").string()), "");
    cairo_surface_t* back = cairo_image_surface_create_from_png((dir / "keep.png").c_str());
    EXPECT_EQ(cairo_image_surface_get_width(back), 200);
    cairo_surface_destroy(back);
    cairo_surface_destroy(surface);

    // What the status line says when the folder refuses the file.
    start();
    engine->saveMapPicture("/proc/self/map.png");
    EXPECT_EQ(status().rfind("Could not save map picture: /proc/self/map.png: ", 0), 0u) << status();
}
