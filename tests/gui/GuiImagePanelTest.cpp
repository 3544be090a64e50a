#include "support/GuiTestSupport.h"

#include "gui/GuiImagePanel.h"

using namespace guitest;

TEST(GuiImagePanel, WidePictureFitsTheWidthUnreadableFilesLeaveNoneAndAPressIsReported)
{
    constexpr SDL_Color Green{0, 160, 0, 255}, WindowGrey{200, 200, 200, 255};
    GuiFixtureState gui;
    auto* panel = gui.root->add(new GuiImagePanel(nullptr, 7, 10, 20, 100, 100, 0xFF00A000));
    ASSERT_TRUE(panel->loadImage(gui.renderer, solidPicture("wide.bmp", 400, 100, Green)));
    const SDL_Rect r = panel->imageRect();
    EXPECT_EQ((std::array{r.x, r.y, r.w, r.h}), (std::array{10, 20 + 37, 100, 25}));
    panel->w = 0;
    EXPECT_EQ(panel->imageRect().w, 0) << "a panel squeezed to nothing shows nothing";
    panel->w = 100;
    gui.root->draw(gui.renderer);
    EXPECT_TRUE(near(readPixel(gui.renderer, 60, 20 + 37 + 12), Green));
    EXPECT_TRUE(near(readPixel(gui.renderer, 60, 20 + 30), WindowGrey)) << "the colour's alpha is cleared";

    EXPECT_FALSE(panel->loadImage(gui.renderer, "/nonexistent/logo.png"));
    EXPECT_EQ((std::pair{panel->image, panel->imagePath}), (std::pair{(SDL_Texture*)nullptr, std::string()}));
    panel->colour.a = 255;
    gui.root->draw(gui.renderer);
    EXPECT_TRUE(near(readPixel(gui.renderer, 60, 70), Green)) << "an opaque colour given later fills the panel";

    click(gui.root, 50, 50);
    ASSERT_EQ(gui.engine->notifications.size(), 1u) << "the press only, not the release";
    const GuiEvent& n = gui.engine->notifications[0];
    EXPECT_EQ((std::tuple{n.code, n.param, n.value, n.source}), (std::tuple{GuiNotify::ImageClicked, 7u, 0u, panel}));
}
