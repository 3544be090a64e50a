#include "support/GuiTestSupport.h"

#include "gui/GuiCairoPanel.h"
#include "gui/GuiLabel.h"

using namespace guitest;

namespace {

constexpr int PX = 20, PY = 30, PW = 60, PH = 40;
constexpr SDL_Color Red{255, 0, 0, 255}, Blue{0, 0, 255, 255};

class GuiCairoPanelTest : public ::testing::Test {
protected:
    GuiFixtureState gui;
    GuiCairoPanel* panel = gui.root->add(new GuiCairoPanel(nullptr, -1, PX, PY, PW, PH, 0xFFFFFFFF, gui.renderer));
    // Paints the panel, draws it at `now` and tells whether the window then shows `expected` and how many uploads.
    std::pair<bool, int> frame(double blue, Uint32 now, SDL_Color expected, int x = PX + PW / 2, int y = PY + PH / 2)
    {
        cairo_set_source_rgb(panel->getCairo(), 1.0 - blue, 0.0, blue);
        cairo_paint(panel->getCairo());
        panel->drawAt(gui.renderer, now);
        return {near(readPixel(gui.renderer, x, y), expected), panel->uploads};
    }
};

} // namespace

TEST_F(GuiCairoPanelTest, UploadsFollowTheFrameLimitAndMarkChanged)
{
    panel->setMaxFps(10);
    EXPECT_EQ(frame(0, 1000, Red), (std::pair{true, 1}));
    panel->markChanged();
    EXPECT_FALSE(panel->readyForFrame(1050));
    EXPECT_EQ(frame(1, 1050, Red), (std::pair{true, 1})) << "50 ms after the last upload: the previous pixels";
    EXPECT_TRUE(panel->readyForFrame(1100));
    EXPECT_EQ(frame(1, 1100, Blue), (std::pair{true, 2}));
    for (int fps : {0, -3}) {
        panel->setMaxFps(fps);
        EXPECT_TRUE(panel->readyForFrame(1105));
        const int before = panel->uploads;
        EXPECT_EQ(frame(0, 1105, Red).second, before + 1) << "without a limit every draw uploads";
    }

    panel->setUploadOnlyWhenChanged(true);
    for (Uint32 t = 1200; t < 2000; t += 100)
        EXPECT_EQ(frame(1, t, Red).first, true);
    panel->markChanged();
    EXPECT_TRUE(GuiEngine::redrawRequested());
    EXPECT_EQ(frame(1, 2000, Blue), (std::pair{true, 5}));
    EXPECT_FALSE(panel->changed);
}

TEST_F(GuiCairoPanelTest, ResizeReplacesTheBuffersAndWindowsStretchOnlyCairoPanelsAlongTheirFlags)
{
    panel->setUploadOnlyWhenChanged(true);
    frame(0, 100, Red);
    panel->resize(gui.renderer, 130, 25);
    EXPECT_TRUE(panel->changed) << "a resize replaces the content";
    int tw = 0, th = 0;
    SDL_QueryTexture(panel->getTexture(), nullptr, nullptr, &tw, &th);
    cairo_surface_t* target = cairo_get_target(panel->getCairo());
    EXPECT_EQ((std::array{cairo_image_surface_get_width(target), cairo_image_surface_get_height(target), tw, th}),
              (std::array{130, 25, 130, 25}));
    EXPECT_TRUE(frame(1, 200, Blue, PX + 125, PY + 20).first);

    auto* across = gui.root->add(new GuiCairoPanel(nullptr, -1, 0, 200, 50, 30, 0xFFFFFFFF, gui.renderer));
    across->setStretch(true, false);
    auto* fixed = gui.root->add(new GuiCairoPanel(nullptr, -1, 100, 200, 50, 30, 0xFFFFFFFF, gui.renderer));
    fixed->setStretch(false, false);
    auto* label = gui.root->add(new GuiLabel(nullptr, -1, 0, 0, 80, 20, 0, "x", uiFont, 0));
    const int oldW = gui.root->w, oldH = gui.root->h;
    gui.root->resize(gui.renderer, oldW + 100, oldH + 50);
    EXPECT_EQ((std::array{panel->w, panel->h, cairo_image_surface_get_width(panel->getSurface()), across->w,
                          across->h, fixed->w, label->w, label->h}), (std::array{230, 75, 230, 150, 30, 50, 80, 20}));
    gui.root->resize(gui.renderer, oldW - 500, oldH - 500);
    EXPECT_EQ((std::array{panel->w, panel->h}), (std::array{1, 1})) << "never smaller than one pixel";
}
