// Ctrl+S: the map panel saved as a PNG picture, and a failed write that
// leaves nothing behind.

#include "AppTestSupport.h"

#include "app/MapPicture.h"
#include "gui/GuiCairoPanel.h"
#include "gui/GuiSaveFileDialog.h"
#include "track/Track.h"
#include "view/MapProjection.h"

#include <sys/resource.h>

#include <csignal>
#include <random>
#include <set>

using namespace apptest;
using MapPicture = Application;

namespace {

std::uint32_t* row(cairo_surface_t* surface, int y)
{
    cairo_surface_flush(surface);
    return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface) +
                                            y * cairo_image_surface_get_stride(surface));
}

} // namespace

TEST_F(MapPicture, CtrlSSavesTheMapPanelAsShownBesideTheTrack)
{
    write("ride.osm", smallMap);
    start({write("ride.gpx", gpxWithTracks(trackXml("Ride", 30)))});
    key(SDLK_s, KMOD_LCTRL);
    auto* dialog = dynamic_cast<GuiSaveFileDialog*>(engine->modalRoot);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->fileNameText(), "ride.png");
    dialog->accept();
    const std::string saved = (fs::canonical(dir) / "ride.png").string();
    EXPECT_EQ(status(), "Map picture saved: " + saved);

    cairo_surface_t* picture = cairo_image_surface_create_from_png(saved.c_str());
    cairo_surface_t* shown = engine->mapPanel->getSurface();
    ASSERT_EQ(std::pair(cairo_image_surface_get_width(picture), cairo_image_surface_get_height(picture)),
              std::pair(engine->mapPanel->w, engine->mapPanel->h));
    // Halfway along the track its blue, and everywhere the very pixels the panel shows.
    const Track& track = *engine->shownTrack();
    const ScreenPoint middle = MapProjection(track, engine->trackExtent, engine->mapViewState())
                                   .projectWayPoint(*track.getWayPoint(15), Pan::Applied);
    const std::uint32_t blue = row(picture, int(middle.y))[int(middle.x)];
    EXPECT_TRUE((blue >> 16 & 0xFF) < 60 && (blue & 0xFF) > 150) << std::hex << blue;
    for (int y = 0; y < engine->mapPanel->h; y += 7)
        for (int x = 0; x < engine->mapPanel->w; x += 7)
            ASSERT_EQ(row(picture, y)[x] & 0xFFFFFF, row(shown, y)[x] & 0xFFFFFF) << x << "," << y;
    cairo_surface_destroy(picture);
}

TEST_F(MapPicture, AFailedWriteLeavesNoFileBehind)
{
    // Noise, so the picture is far larger than the file size limit below.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 200, 200);
    std::mt19937 noise(7);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            row(surface, y)[x] = std::uint32_t(noise());
    cairo_surface_mark_dirty(surface);
    write("keep.png", "the old picture");
    // A disk that fills up halfway through: writes past 4 kB fail.
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const std::string replacing = writePngFile(surface, (dir / "keep.png").string());
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);
    cairo_surface_destroy(surface);

    EXPECT_NE(replacing, "");
    EXPECT_EQ(readAll(dir / "keep.png"), "the old picture");
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"data", "keep.png"})) << "no partial or temporary file";

    start();
    engine->saveMapPicture("/proc/self/map.png");
    EXPECT_EQ(status().rfind("Could not save map picture: /proc/self/map.png: ", 0), 0u) << status();
}
