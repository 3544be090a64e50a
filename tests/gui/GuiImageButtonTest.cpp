#include "support/GuiTestSupport.h"

#include "gui/GuiImageButton.h"

using namespace guitest;

namespace {

const std::string Images = std::string(PATHLARK_SOURCE_DIR) + "/data/images/";

class GuiImageButtonTest : public ::testing::Test {
protected:
    GuiImageButton* addButton(int x, int y, int w, int h, Uint32 flags = 0)
    {
        return gui.root->add(new GuiImageButton(nullptr, 108, x, y, w, h, 0xFFF0F0F0, gui.renderer, flags));
    }
    GuiFixtureState gui;
};

} // namespace

TEST_F(GuiImageButtonTest, BuiltInPictureUnreadableFilesAndNoRenderer)
{
    GuiImageButton* button = addButton(10, 10, 32, 30);
    EXPECT_NE(button->icon, nullptr) << "starts with the built-in picture";
    EXPECT_FALSE(button->loadIcon(gui.renderer, Images + "no_such_picture.png"));
    EXPECT_EQ((std::tuple{button->icon, button->iconPath, button->iconRect().w, button->iconRect().h}),
              (std::tuple{(SDL_Texture*)nullptr, std::string(), 0, 0}));
    EXPECT_TRUE(button->loadDefaultIcon(gui.renderer)) << "the built-in picture can be put back";
    EXPECT_NE(button->icon, nullptr);

    GuiImageButton* bare = gui.root->add(new GuiImageButton(nullptr, 1, 0, 0, 32, 30, 0, nullptr, 0));
    EXPECT_EQ(bare->icon, nullptr);
    bare->draw(nullptr);
}
