#include "gui/GuiListCtrl.h"
#include "gui/ScrollBar.h"
#include "support/GuiTestSupport.h"

using namespace guitest;

namespace {

struct ListCtrlTest : ::testing::Test {
    // A white list at (10, 10), filled with "item 0", "item 1", ... under ids 100, 101, ...
    GuiListCtrl* addList(int w, int h, int count)
    {
        auto* list = gui.root->add(new GuiListCtrl(nullptr, 7, 10, 10, w, h, 0xFFFFFFFF, uiFont));
        for (int i = 0; i < count; ++i)
            list->addItem(100 + i, "item " + std::to_string(i));
        list->layoutList();
        return list;
    }
    std::array<int, 3> at(int x, int y) const { return rgb(gui.renderer, x, y); }

    GuiFixtureState gui;
    const int ih = TTF_FontLineSkip(uiFont) + 4;
    const std::array<int, 3> white{255, 255, 255}, selection{0, 120, 215};
};

} // namespace

TEST_F(ListCtrlTest, ClickSelectsRowsSilentlyAndIgnoresSpaceBelowTheLast)
{
    GuiListCtrl* list = addList(200, 200, 3);
    click(gui.root, 50, 10 + ih + ih / 2);
    EXPECT_EQ((std::pair{list->selectedId(), list->focused}), (std::pair{101, true}));
    click(gui.root, 50, 10 + 3 * ih + 2);
    EXPECT_EQ(list->selectedIndex, 1);
    EXPECT_EQ((std::array{list->itemAt(50, 10 + 3 * ih + 2), list->itemAt(10 + 200, 12), list->itemAt(10, 10)}),
              (std::array{-1, -1, 0}));
    EXPECT_TRUE(gui.engine->notifications.empty());

    std::string value = "stale";
    EXPECT_TRUE(list->getValue(value) && value == "item 1");
    EXPECT_TRUE(list->setValue("item 2") && !list->setValue("item"));
    EXPECT_EQ(list->selectedIndex, 2);
    EXPECT_TRUE(list->setValue("") && list->selectedId() == -1);
    list->clear();
    EXPECT_FALSE(list->setValue("item 0"));
}

TEST_F(ListCtrlTest, WheelAndTrackScrollAndTheSelectionIsScrolledIntoView)
{
    GuiListCtrl* list = addList(200, 100, 40);
    std::string wide;
    for (int tw = 0, th = 0; measureText(uiFont, wide, tw, th), tw <= 400;)
        wide += "wide ";
    list->addItem(0, wide);
    list->layoutList();
    wheel(gui.root, 50, 50, -2);
    EXPECT_EQ((std::array{list->scrollX, list->scrollY}), (std::array{0, 2 * ih}));
    SDL_SetModState(KMOD_LSHIFT);
    wheel(gui.root, 50, 50, -1);
    SDL_SetModState(KMOD_NONE);
    EXPECT_EQ((std::array{list->scrollX, list->scrollY}), (std::array{40, 2 * ih})) << "Shift turns it sideways";
    wheel(gui.root, 50, 50, 0, 1);
    wheel(gui.root, 50, 50, 100);
    EXPECT_EQ((std::array{list->scrollX, list->scrollY}), (std::array{0, 0}));
    // The track pages by the view less one row.
    const int trackX = list->vScrollBar.track.x + 5, page = list->vScrollBar.track.h - ih;
    for (auto [y, scrolled] : {std::pair{10 + 80, page}, {10 + 80, 2 * page}, {11, page}}) {
        click(gui.root, trackX, y);
        EXPECT_EQ(list->scrollY, scrolled);
    }
    EXPECT_EQ(list->selectedIndex, -1) << "the bars select nothing";

    list->select(40);
    EXPECT_EQ(list->scrollY, list->contentHeight - list->viewHeight());
    list->select(2);
    EXPECT_EQ(list->scrollY, 2 * ih);
    list->select(41);
    EXPECT_EQ((std::array{list->selectedIndex, list->scrollY}), (std::array{-1, 2 * ih}));
    list->clear();
    EXPECT_EQ((std::pair{list->scrollY, list->vScrollBar.visible}), (std::pair{0, false}));
}

// The wheel as the list, the tree and the text field all take it.
TEST(ScrollArea, WheelStepsGoTheUsersWayAndShiftTurnsThemSideways)
{
    // {wheel x, wheel y, flipped, Shift, row height, scroll x, scroll y} after each step.
    const std::array<int, 7> steps[] = {
        {0, -2, 0, 0, 21, 100, 142}, {0, 2, 1, 0, 21, 100, 184}, {0, -1, 0, 1, 21, 140, 184},
        {0, 1, 1, 1, 21, 180, 184},  {1, 0, 0, 0, 21, 140, 184}, {0, 1, 0, 0, 0, 140, 168},
    };
    int sx = 100, sy = 100;
    for (auto [wx, wy, flipped, shift, rowHeight, x, y] : steps) {
        SDL_MouseWheelEvent wheel{};
        wheel.x = wx, wheel.y = wy;
        wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
        applyWheel(wheel, shift, rowHeight, sx, sy);
        EXPECT_EQ((std::array{sx, sy}), (std::array{x, y}));
    }
}
