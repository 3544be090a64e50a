// Image panels: pictures scaled to fit and centred, clicks reported as 1002.

#include "support/GuiTestSupport.h"

#include "gui/GuiImagePanel.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

using namespace guitest;

namespace {

constexpr SDL_Color Green{0, 160, 0, 255};
constexpr SDL_Color WindowGrey{200, 200, 200, 255};

class GuiImagePanelTest : public ::testing::Test {
protected:
    GuiImagePanel* addPanel(Uint32 colour) { return gui.root->add(new GuiImagePanel(nullptr, 7, 10, 20, 100, 100, colour)); }
    GuiFixtureState gui;
};

} // namespace

TEST_F(GuiImagePanelTest, WidePictureIsScaledToTheWidthAndCentredVertically)
{
    auto* panel = addPanel(0xFFF5F5F5);
    ASSERT_TRUE(panel->loadImage(gui.renderer, solidPicture("wide.bmp", 400, 100, Green)));
    const SDL_Rect r = panel->imageRect();
    EXPECT_EQ((std::array{r.x, r.y, r.w, r.h}), (std::array{10, 20 + 37, 100, 25}));

    gui.root->draw(gui.renderer);
    EXPECT_TRUE(near(readPixel(gui.renderer, 60, 20 + 37 + 12), Green));
    EXPECT_TRUE(near(readPixel(gui.renderer, 60, 20 + 30), WindowGrey))
        << "above the picture: the constructor cleared the colour's alpha, so no background";
}

TEST_F(GuiImagePanelTest, UnreadableFileLeavesNoImageAndAnOpaqueColourFills)
{
    auto* panel = addPanel(0xFF00A000);
    ASSERT_TRUE(panel->loadImage(gui.renderer, solidPicture("small.bmp", 10, 10, Green)));
    EXPECT_FALSE(panel->loadImage(gui.renderer, "/nonexistent/logo.png"));
    EXPECT_EQ(panel->image, nullptr);
    EXPECT_EQ(panel->imageWidth, 0);
    EXPECT_TRUE(panel->imagePath.empty());
    gui.root->draw(gui.renderer);
    EXPECT_TRUE(near(readPixel(gui.renderer, 60, 70), WindowGrey));

    panel->colour.a = 255;
    gui.root->draw(gui.renderer);
    EXPECT_TRUE(near(readPixel(gui.renderer, 60, 70), Green)) << "an opaque colour given later fills the panel";
}

TEST_F(GuiImagePanelTest, PressPostsTheClickNotification)
{
    auto* panel = addPanel(0);
    click(gui.root, 50, 50);
    ASSERT_EQ(gui.engine->notifications.size(), 1u) << "the press only, not the release";
    const GuiEvent& n = gui.engine->notifications[0];
    EXPECT_EQ(n.code, GuiNotify::ImageClicked);
    EXPECT_EQ(n.param, 7u);
    EXPECT_EQ(n.value, 0u);
    EXPECT_EQ(n.source, panel);
}
