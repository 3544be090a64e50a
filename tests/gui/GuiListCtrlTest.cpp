#include "gui/GuiListCtrl.h"
#include "gui/GuiText.h"
#include "support/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

using guitest::GuiFixtureState;

namespace {

constexpr SDL_Color White{255, 255, 255, 255};
constexpr SDL_Color Selection{0, 120, 215, 255};

int fontRowHeight() { return TTF_FontLineSkip(uiFont) + 4; }

std::array<int, 3> rgb(SDL_Color c) { return {c.r, c.g, c.b}; }

// A white list at (10, 10) in the fixture's window, filled with "item 0", "item 1", ...
GuiListCtrl* addList(GuiFixtureState& gui, int w, int h, int count)
{
    auto* list = gui.root->add(new GuiListCtrl(nullptr, 7, 10, 10, w, h, 0xFFFFFFFF, uiFont));
    for (int i = 0; i < count; ++i)
        list->addItem(100 + i, "item " + std::to_string(i));
    list->layoutList();
    return list;
}

std::string wideText(int atLeast)
{
    std::string text;
    int tw = 0, th = 0;
    while (measureText(uiFont, text, tw, th), tw <= atLeast)
        text += "wide ";
    return text;
}

struct ListCtrlTest : ::testing::Test {
    GuiFixtureState gui;
    const int ih = fontRowHeight();
};

} // namespace

TEST_F(ListCtrlTest, ContentSizeFollowsItemsAndFont)
{
    ASSERT_NE(uiFont, nullptr);
    GuiListCtrl* list = addList(gui, 200, 100, 3);
    EXPECT_EQ(list->itemHeight, fontRowHeight());
    EXPECT_EQ(list->contentHeight, 3 * fontRowHeight());
    int tw = 0, th = 0;
    measureText(uiFont, "item 2", tw, th);
    EXPECT_GE(list->contentWidth, tw);

    GuiListCtrl fontless(nullptr, 1, 0, 0, 100, 100, 0, nullptr);
    EXPECT_EQ(fontless.itemHeight, 20);
    fontless.addItem(1, "x");
    EXPECT_EQ(fontless.contentWidth, 0);
}

TEST_F(ListCtrlTest, ExactFitPlusOneWideItemShowsBothBars)
{
    GuiListCtrl* list = addList(gui, 200, 5 * ih, 5);
    EXPECT_FALSE(list->vScrollBar.visible);
    EXPECT_FALSE(list->hScrollBar.visible);

    list->items[4].text = wideText(200);
    list->needsLayout = true;
    list->layoutList();
    EXPECT_TRUE(list->hScrollBar.visible);
    EXPECT_TRUE(list->vScrollBar.visible) << "the horizontal bar pushes the last row out of view";

    GuiListCtrl* roomy = addList(gui, 200, 5 * ih + 14, 4);
    roomy->addItem(1, wideText(200));
    roomy->layoutList();
    EXPECT_TRUE(roomy->hScrollBar.visible);
    EXPECT_FALSE(roomy->vScrollBar.visible);
}

TEST_F(ListCtrlTest, ClickSelectsRowsSilentlyAndIgnoresSpaceBelowTheLast)
{
    GuiListCtrl* list = addList(gui, 200, 200, 3);

    guitest::click(gui.root, 50, 10 + ih + ih / 2);
    EXPECT_EQ(list->selectedIndex, 1);
    EXPECT_EQ(list->selectedId(), 101);
    EXPECT_TRUE(list->focused);

    guitest::click(gui.root, 50, 10 + 3 * ih + 2);
    EXPECT_EQ(list->selectedIndex, 1);
    EXPECT_EQ(list->itemAt(50, 10 + 3 * ih + 2), -1);
    EXPECT_EQ(list->itemAt(10 + 200, 12), -1);
    EXPECT_EQ(list->itemAt(10, 10), 0);
    EXPECT_TRUE(gui.engine->notifications.empty());
}

TEST_F(ListCtrlTest, WheelScrollsRowsAndWithShiftSideways)
{
    GuiListCtrl* list = addList(gui, 200, 100, 20);
    list->addItem(0, wideText(400));
    list->layoutList();

    guitest::wheel(gui.root, 50, 50, -2);
    EXPECT_EQ(list->scrollY, 2 * ih);
    EXPECT_EQ(list->scrollX, 0);

    SDL_SetModState(KMOD_LSHIFT);
    guitest::wheel(gui.root, 50, 50, -1);
    SDL_SetModState(KMOD_NONE);
    EXPECT_EQ(list->scrollY, 2 * ih);
    EXPECT_EQ(list->scrollX, 40);

    guitest::wheel(gui.root, 50, 50, 0, 1);
    EXPECT_EQ(list->scrollX, 0);
    guitest::wheel(gui.root, 50, 50, 100);
    EXPECT_EQ(list->scrollY, 0) << "scrolling stops at the top";
}

TEST_F(ListCtrlTest, DraggingTheThumbScrollsUntilRelease)
{
    GuiListCtrl* list = addList(gui, 200, 100, 40);
    ASSERT_TRUE(list->vScrollBar.visible);
    const SDL_Rect thumb = list->vScrollBar.thumb;
    const int grabX = thumb.x + 2, grabY = thumb.y + 2;

    guitest::press(gui.root, grabX, grabY);
    EXPECT_TRUE(list->vScrollBar.dragging);
    EXPECT_EQ(list->selectedIndex, -1);
    guitest::motion(gui.root, grabX, grabY + 1000, SDL_BUTTON_LMASK);
    EXPECT_EQ(list->scrollY, list->contentHeight - list->viewHeight());
    EXPECT_EQ(list->vScrollBar.thumb.y + list->vScrollBar.thumb.h, 10 + list->viewHeight());
    guitest::motion(gui.root, grabX, grabY, SDL_BUTTON_LMASK);
    EXPECT_EQ(list->scrollY, 0);
    guitest::release(gui.root, grabX, grabY);
    EXPECT_FALSE(list->vScrollBar.dragging);

    guitest::motion(gui.root, grabX, grabY + 50);
    EXPECT_EQ(list->scrollY, 0);
}

TEST_F(ListCtrlTest, ClickOnTheTrackPagesByTheViewLessOneRow)
{
    GuiListCtrl* list = addList(gui, 200, 100, 40);
    const int trackX = list->vScrollBar.track.x + 5;
    const int page = list->vScrollBar.track.h - ih;

    guitest::click(gui.root, trackX, 10 + 95);
    EXPECT_EQ(list->scrollY, page);
    guitest::click(gui.root, trackX, 10 + 95);
    EXPECT_EQ(list->scrollY, 2 * page);
    guitest::click(gui.root, trackX, 11);
    EXPECT_EQ(list->scrollY, page);
    EXPECT_EQ(list->selectedIndex, -1);
}

TEST_F(ListCtrlTest, SelectionIsScrolledIntoViewAndOffsetsClampedAfterShrinking)
{
    GuiListCtrl* list = addList(gui, 200, 100, 40);
    list->select(39);
    EXPECT_EQ(list->scrollY, 40 * ih - 100);
    list->select(2);
    EXPECT_EQ(list->scrollY, 2 * ih);
    list->select(40);
    EXPECT_EQ(list->selectedIndex, -1);
    EXPECT_EQ(list->scrollY, 2 * ih);

    list->scrollY = 100000;
    list->layoutList();
    EXPECT_EQ(list->scrollY, list->contentHeight - list->viewHeight());
    list->clear();
    EXPECT_EQ(list->scrollY, 0);
    list->scrollY = 50;
    list->layoutList();
    EXPECT_EQ(list->scrollY, 0);
    EXPECT_FALSE(list->vScrollBar.visible);
}

TEST_F(ListCtrlTest, ValueIsTheSelectedText)
{
    GuiListCtrl* list = addList(gui, 200, 100, 3);
    std::string value = "stale";
    EXPECT_TRUE(list->getValue(value));
    EXPECT_EQ(value, "");
    EXPECT_TRUE(list->setValue("item 2"));
    EXPECT_EQ(list->selectedIndex, 2);
    EXPECT_FALSE(list->setValue("item"));
    EXPECT_EQ(list->selectedIndex, 2);
    EXPECT_TRUE(list->setValue(""));
    EXPECT_EQ(list->selectedIndex, -1);
    EXPECT_TRUE(gui.engine->notifications.empty());

    list->clear();
    EXPECT_FALSE(list->setValue("item 0"));
}

TEST_F(ListCtrlTest, DrawsSelectionAndTheRowsScrolledTo)
{
    GuiListCtrl* list = addList(gui, 200, 100, 20);
    list->select(3);
    gui.root->draw(gui.renderer);
    EXPECT_EQ(rgb(guitest::readPixel(gui.renderer, 11, 10 + 3 * ih + 1)), rgb(Selection));
    EXPECT_EQ(rgb(guitest::readPixel(gui.renderer, 11, 10 + 2 * ih + 1)), rgb(White));
    // The vertical bar's track sits at the right edge.
    EXPECT_EQ(rgb(guitest::readPixel(gui.renderer, 10 + 200 - 2, 10 + 99)), rgb(SDL_Color{230, 230, 230, 255}));

    guitest::wheel(gui.root, 50, 50, -3);
    gui.root->draw(gui.renderer);
    EXPECT_EQ(rgb(guitest::readPixel(gui.renderer, 11, 11)), rgb(Selection)) << "row 3 is now on top";
    EXPECT_EQ(rgb(guitest::readPixel(gui.renderer, 11, 10 + 3 * ih + 1)), rgb(White));

    // Half a row further the selected row is cut at the top edge, not drawn above it.
    list->scrollY += ih / 2;
    list->layoutList();
    gui.root->draw(gui.renderer);
    EXPECT_EQ(rgb(guitest::readPixel(gui.renderer, 11, 9)), rgb(SDL_Color{200, 200, 200, 255}));
    EXPECT_EQ(rgb(guitest::readPixel(gui.renderer, 11, 10)), rgb(Selection));
}
