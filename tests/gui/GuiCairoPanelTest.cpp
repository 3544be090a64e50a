// Cairo panels: buffers and texture, upload throttling by explicit clock,
// uploads only after markChanged, resize, and stretching with the window.

#include "support/GuiTestSupport.h"

#include "gui/GuiCairoPanel.h"
#include "gui/GuiText.h"
#include "gui/GuiLabel.h"

#include <gtest/gtest.h>

#include <array>

using namespace guitest;

namespace {

constexpr int PX = 20, PY = 30, PW = 60, PH = 40;

void paint(GuiCairoPanel* panel, double r, double g, double b)
{
    cairo_set_source_rgb(panel->getCairo(), r, g, b);
    cairo_paint(panel->getCairo());
}

// Width and height of the panel, its cairo surface, its cairo target and its texture.
std::array<int, 8> sizes(GuiCairoPanel* p)
{
    int tw = 0, th = 0;
    SDL_QueryTexture(p->getTexture(), nullptr, nullptr, &tw, &th);
    cairo_surface_t* target = cairo_get_target(p->getCairo());
    return {p->w, p->h, cairo_image_surface_get_width(p->getSurface()), cairo_image_surface_get_height(p->getSurface()),
            cairo_image_surface_get_width(target), cairo_image_surface_get_height(target), tw, th};
}

constexpr SDL_Color Red{255, 0, 0, 255};
constexpr SDL_Color Blue{0, 0, 255, 255};

class GuiCairoPanelTest : public ::testing::Test {
protected:
    GuiCairoPanel* addPanel()
    {
        return gui.root->add(new GuiCairoPanel(nullptr, -1, PX, PY, PW, PH, 0xFFFFFFFF, gui.renderer));
    }
    SDL_Color centre() { return readPixel(gui.renderer, PX + PW / 2, PY + PH / 2); }
    GuiFixtureState gui;
};

} // namespace

TEST_F(GuiCairoPanelTest, PaintedPixelsReachTheWindowUnconverted)
{
    GuiCairoPanel* panel = addPanel();
    EXPECT_EQ(sizes(panel), (std::array{PW, PH, PW, PH, PW, PH, PW, PH}));
    EXPECT_EQ(cairo_image_surface_get_data(panel->getSurface()), panel->pixels);
    Uint32 format = 0;
    int access = 0;
    ASSERT_EQ(SDL_QueryTexture(panel->getTexture(), &format, &access, nullptr, nullptr), 0);
    EXPECT_EQ(format, Uint32(SDL_PIXELFORMAT_ARGB8888));
    EXPECT_EQ(access, int(SDL_TEXTUREACCESS_STREAMING));

    paint(panel, 1, 0, 0);
    cairo_set_source_rgb(panel->getCairo(), 0, 0, 1);
    cairo_rectangle(panel->getCairo(), 0, 0, PW / 2, PH);
    cairo_fill(panel->getCairo());
    gui.root->draw(gui.renderer);
    EXPECT_TRUE(near(readPixel(gui.renderer, PX + PW / 4, PY + PH / 2), Blue));
    EXPECT_TRUE(near(readPixel(gui.renderer, PX + 3 * PW / 4, PY + PH / 2), Red));
}

TEST_F(GuiCairoPanelTest, MaxFpsLimitsUploadsAndTheSkippedDrawShowsThePreviousPixels)
{
    GuiCairoPanel* panel = addPanel();
    panel->setMaxFps(10);
    paint(panel, 1, 0, 0);
    panel->drawAt(gui.renderer, 1000);
    EXPECT_EQ(panel->uploads, 1);
    EXPECT_TRUE(near(centre(), Red));

    paint(panel, 0, 0, 1);
    panel->markChanged();
    EXPECT_FALSE(panel->readyForFrame(1050));
    panel->drawAt(gui.renderer, 1050);
    EXPECT_EQ(panel->uploads, 1) << "50 ms after the last upload: too early";
    EXPECT_TRUE(near(centre(), Red));

    EXPECT_TRUE(panel->readyForFrame(1100));
    panel->drawAt(gui.renderer, 1100);
    EXPECT_EQ(panel->uploads, 2);
    EXPECT_TRUE(near(centre(), Blue));

    for (int fps : {0, -3}) {
        panel->setMaxFps(fps);
        const int before = panel->uploads;
        EXPECT_TRUE(panel->readyForFrame(1105));
        panel->drawAt(gui.renderer, 1105);
        panel->drawAt(gui.renderer, 1105);
        EXPECT_EQ(panel->uploads, before + 2) << "without a limit every draw uploads";
    }
}

TEST_F(GuiCairoPanelTest, UploadOnlyWhenChangedWaitsForMarkChanged)
{
    GuiCairoPanel* panel = addPanel();
    panel->setUploadOnlyWhenChanged(true);
    paint(panel, 1, 0, 0);
    panel->drawAt(gui.renderer, 100);
    EXPECT_EQ(panel->uploads, 1) << "a new panel counts as changed";

    paint(panel, 0, 0, 1);
    for (Uint32 t = 200; t < 2000; t += 100)
        panel->drawAt(gui.renderer, t);
    EXPECT_EQ(panel->uploads, 1);
    EXPECT_TRUE(near(centre(), Red));

    panel->markChanged();
    EXPECT_TRUE(GuiEngine::redrawRequested());
    panel->drawAt(gui.renderer, 2000);
    EXPECT_EQ(panel->uploads, 2);
    EXPECT_TRUE(near(centre(), Blue));
    EXPECT_FALSE(panel->changed);

    panel->resize(gui.renderer, 130, 25);
    EXPECT_TRUE(panel->changed) << "a resize replaces the content";
    EXPECT_EQ(sizes(panel), (std::array{130, 25, 130, 25, 130, 25, 130, 25}));
    EXPECT_EQ(panel->stride, cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, 130));
    paint(panel, 1, 0, 0);
    panel->drawAt(gui.renderer, 2100);
    EXPECT_TRUE(near(readPixel(gui.renderer, PX + 120, PY + 20), Red));
}

TEST_F(GuiCairoPanelTest, WindowResizeStretchesOnlyCairoPanelsAlongTheirFlags)
{
    GuiCairoPanel* both = addPanel();
    auto* across = gui.root->add(new GuiCairoPanel(nullptr, -1, 0, 200, 50, 30, 0xFFFFFFFF, gui.renderer));
    across->setStretch(true, false);
    auto* fixed = gui.root->add(new GuiCairoPanel(nullptr, -1, 100, 200, 50, 30, 0xFFFFFFFF, gui.renderer));
    fixed->setStretch(false, false);
    auto* label = gui.root->add(new GuiLabel(nullptr, -1, 0, 0, 80, 20, 0, "x", uiFont, 0));

    const int oldW = gui.root->w, oldH = gui.root->h;
    gui.root->resize(gui.renderer, oldW + 100, oldH + 50);
    EXPECT_EQ(sizes(both)[2], PW + 100) << "buffers follow the new size";
    EXPECT_EQ((std::array{both->w, both->h, across->w, across->h, fixed->w, label->w, label->h}),
              (std::array{PW + 100, PH + 50, 150, 30, 50, 80, 20}));

    cairo_surface_t* before = fixed->getSurface();
    gui.root->resize(gui.renderer, oldW - 500, oldH - 500);
    EXPECT_EQ((std::array{both->w, both->h}), (std::array{1, 1})) << "never smaller than one pixel";
    EXPECT_EQ(fixed->getSurface(), before) << "unchanged size, buffers kept";
}
