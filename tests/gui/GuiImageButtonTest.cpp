#include "support/GuiTestSupport.h"

#include "gui/GuiImageButton.h"

#include <SDL_image.h>

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
    EXPECT_FALSE(button->loadIcon(gui.renderer, Images + "no_such_picture.png"));
    EXPECT_EQ((std::tuple{button->icon, button->iconPath, button->iconRect().w, button->iconRect().h}),
              (std::tuple{(SDL_Texture*)nullptr, std::string(), 0, 0}));
    EXPECT_TRUE(button->loadDefaultIcon(gui.renderer)) << "the built-in picture can be put back";
    EXPECT_NE(button->icon, nullptr);

    GuiImageButton* bare = gui.root->add(new GuiImageButton(nullptr, 1, 0, 0, 32, 30, 0, nullptr, 0));
    EXPECT_EQ(bare->icon, nullptr);
    bare->draw(nullptr);
}

TEST_F(GuiImageButtonTest, PictureIsScaledIntoTheFrameCentredAndDrawnThere)
{
    // 24x32 into a 68x24 button: the inner area is 60x16, so the scale is 1/2.
    const SDL_Color red{255, 0, 0, 255};
    GuiImageButton* wide = addButton(100, 50, 68, 24);
    ASSERT_TRUE(wide->loadIcon(gui.renderer, solidPicture("tall.bmp", 24, 32, red)));
    const SDL_Rect r = wide->iconRect();
    EXPECT_EQ(rect(r), (std::array{100 + 4 + (60 - 12) / 2, 50 + 4, 12, 16}));
    gui.root->draw(gui.renderer);
    for (auto [x, y, colour] : {std::tuple{r.x + 1, r.y + 1, red}, {r.x + r.w - 1, r.y + r.h - 1, red},
                                {r.x - 2, r.y + 8, SDL_Color{200, 200, 200, 255}}, {100, 60, SDL_Color{0, 0, 0, 255}},
                                {102, 60, SDL_Color{255, 255, 255, 255}}})
        EXPECT_TRUE(near(readPixel(gui.renderer, x, y), colour)) << x << "," << y;

    GuiImageButton* exact = addButton(10, 10, 32, 30, GuiButton::AutoRepeat);
    ASSERT_TRUE(exact->loadIcon(gui.renderer, Images + "cursor_next.png"));
    EXPECT_EQ(rect(exact->iconRect()), (std::array{14, 14, 24, 22})) << "a picture made for the inner area is shown 1:1";
    press(gui.root, 20, 20);
    EXPECT_EQ(exact->iconRect().y, 15) << "the picture drops one pixel while pressed";
    exact->tick(exact->pressTime + 400);
    ASSERT_EQ(gui.engine->notifications.size(), 1u) << "auto-repeat as for text buttons";
    EXPECT_EQ(gui.engine->notifications[0].param, 108u);
}

// The main window loads these by name; the renderer anchors the flags at their bottom middle.
TEST(DataImages, EveryPictureTheMainWindowNamesLoadsAtItsButtonsSize)
{
    const std::pair<std::vector<const char*>, std::array<int, 2>> groups[] = {
        {{"cursor_prev", "cursor_next", "signpost", "mini_finish", "zoom_in", "zoom_out"}, {24, 22}},
        {{"angle_x_left", "angle_x_right", "angle_y_left", "angle_y_right", "angle_z_left", "angle_z_right"}, {24, 16}},
        {{"flag_start", "flag_finish", "flag_mark_a", "flag_mark_b"}, {32, 24}},
        {{"logo"}, {190, 47}},
    };
    for (const auto& [names, size] : groups)
        for (const char* name : names) {
            SDL_Surface* s = IMG_Load((Images + name + ".png").c_str());
            ASSERT_NE(s, nullptr) << name << ": " << IMG_GetError();
            EXPECT_EQ((std::array{s->w, s->h}), size) << name;
            EXPECT_TRUE(s->format->Amask != 0) << name << " has a transparent background";
            SDL_FreeSurface(s);
        }
}
