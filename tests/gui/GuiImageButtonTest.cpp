// Image buttons: the built-in picture, loading icons, where the scaled icon
// lands, and the pictures the main window names under data/images.

#include "support/GuiTestSupport.h"

#include "gui/GuiImageButton.h"

#include <SDL_image.h>
#include <gtest/gtest.h>

#include <array>
#include <string>

using namespace guitest;

namespace {

const std::string Images = std::string(PATHLARK_SOURCE_DIR) + "/data/images/";

std::array<int, 4> rect(SDL_Rect r) { return {r.x, r.y, r.w, r.h}; }

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
    EXPECT_GT(button->iconWidth, 0);
    EXPECT_TRUE(button->iconPath.empty());

    EXPECT_FALSE(button->loadIcon(gui.renderer, Images + "no_such_picture.png"));
    EXPECT_EQ(button->icon, nullptr);
    EXPECT_EQ(button->iconWidth, 0);
    EXPECT_TRUE(button->iconPath.empty());
    EXPECT_EQ((std::array{button->iconRect().w, button->iconRect().h}), (std::array{0, 0}));
    EXPECT_TRUE(button->loadDefaultIcon(gui.renderer)) << "the built-in picture can be put back";
    EXPECT_NE(button->icon, nullptr);

    GuiImageButton* bare = gui.root->add(new GuiImageButton(nullptr, 1, 0, 0, 32, 30, 0, nullptr, 0));
    EXPECT_EQ(bare->icon, nullptr);
    bare->draw(nullptr);  // must not crash
}

TEST_F(GuiImageButtonTest, IconIsScaledToTheInnerAreaAndCentred)
{
    // 24x32 into a 68x24 button: the inner area is 60x16, so the scale is 1/2.
    GuiImageButton* wide = addButton(100, 50, 68, 24);
    ASSERT_TRUE(wide->loadIcon(gui.renderer, solidPicture("tall.bmp", 24, 32, {255, 0, 0, 255})));
    EXPECT_EQ(rect(wide->iconRect()), (std::array{100 + 4 + (60 - 12) / 2, 50 + 4, 12, 16}));

    // An icon made for the inner area is shown 1:1.
    GuiImageButton* exact = addButton(10, 10, 32, 30);
    ASSERT_TRUE(exact->loadIcon(gui.renderer, Images + "cursor_next.png"));
    EXPECT_EQ(rect(exact->iconRect()), (std::array{14, 14, 24, 22}));
    press(gui.root, 20, 20);
    EXPECT_EQ(exact->iconRect().y, 15) << "the picture drops one pixel while pressed";

    const SDL_Rect none = addButton(10, 100, 8, 30)->iconRect();
    EXPECT_EQ((std::array{none.w, none.h}), (std::array{0, 0})) << "no inner area, an empty copy";
}

TEST_F(GuiImageButtonTest, DrawsFrameThenThePictureWhereItBelongs)
{
    const SDL_Color red{255, 0, 0, 255};
    GuiImageButton* button = addButton(100, 50, 68, 24);
    ASSERT_TRUE(button->loadIcon(gui.renderer, solidPicture("tall.bmp", 24, 32, red)));
    gui.root->draw(gui.renderer);
    const SDL_Rect r = button->iconRect();
    EXPECT_TRUE(near(readPixel(gui.renderer, r.x + r.w / 2, r.y + r.h / 2), red));
    EXPECT_TRUE(near(readPixel(gui.renderer, r.x + 1, r.y + 1), red));
    EXPECT_TRUE(near(readPixel(gui.renderer, r.x - 2, r.y + r.h / 2), SDL_Color{200, 200, 200, 255}))
        << "left of the picture: the window shows through the unfilled button";
    EXPECT_TRUE(near(readPixel(gui.renderer, 100, 60), SDL_Color{0, 0, 0, 255})) << "frame";
    EXPECT_TRUE(near(readPixel(gui.renderer, 102, 60), SDL_Color{255, 255, 255, 255})) << "bevel";
}

TEST_F(GuiImageButtonTest, AutoRepeatWorksAsForTextButtons)
{
    GuiImageButton* button = addButton(10, 10, 32, 30, GuiButton::AutoRepeat);
    press(gui.root, 20, 20);
    button->tick(button->pressTime + 400);
    ASSERT_EQ(gui.engine->notifications.size(), 1u);
    EXPECT_EQ(gui.engine->notifications[0].param, 108u);
}

// The main window loads these by name; the renderer anchors the flags at their bottom middle.
TEST(DataImages, EveryPictureTheMainWindowNamesLoadsAtItsButtonsSize)
{
    struct Picture {
        const char* name;
        int w, h;
    };
    const Picture pictures[] = {
        {"cursor_prev.png", 24, 22},   {"cursor_next.png", 24, 22},   {"signpost.png", 24, 22},
        {"mini_finish.png", 24, 22},   {"zoom_in.png", 24, 22},       {"zoom_out.png", 24, 22},
        {"angle_x_left.png", 24, 16},  {"angle_x_right.png", 24, 16}, {"angle_y_left.png", 24, 16},
        {"angle_y_right.png", 24, 16}, {"angle_z_left.png", 24, 16},  {"angle_z_right.png", 24, 16},
        {"flag_start.png", 32, 24},    {"flag_finish.png", 32, 24},   {"flag_mark_a.png", 32, 24},
        {"flag_mark_b.png", 32, 24},   {"logo.png", 190, 47},
    };
    for (const Picture& p : pictures) {
        SDL_Surface* s = IMG_Load((Images + p.name).c_str());
        ASSERT_NE(s, nullptr) << p.name << ": " << IMG_GetError();
        EXPECT_EQ(s->w, p.w) << p.name;
        EXPECT_EQ(s->h, p.h) << p.name;
        EXPECT_TRUE(s->format->Amask != 0) << p.name << " has a transparent background";
        SDL_FreeSurface(s);
    }
}
