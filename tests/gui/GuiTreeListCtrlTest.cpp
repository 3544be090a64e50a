#include "gui/GuiText.h"
#include "gui/GuiTreeListCtrl.h"
#include "support/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

using guitest::GuiFixtureState;

namespace {

constexpr int TreeId = 42;
constexpr int TX = 10, TY = 10;
constexpr SDL_Color Back{250, 250, 250, 255};
constexpr SDL_Color Selection{0, 120, 215, 255};
constexpr SDL_Color Expander{90, 90, 90, 255};
constexpr SDL_Color Header{225, 225, 225, 255};

std::array<int, 3> rgb(SDL_Color c) { return {c.r, c.g, c.b}; }

struct GuiTreeList : ::testing::Test {
    // Speed (1) > km/h (2) > a\b (3); Time (4); columns 120 + 150 wide.
    void SetUp() override
    {
        tree = gui.root->add(new GuiTreeListCtrl(nullptr, TreeId, TX, TY, 300, 200, 0xFFFAFAFA, uiFont));
        tree->addColumn("Parameter", 120);
        tree->addColumn("Value", 150);
        speed = tree->addNode(-1, 1, {"Speed", "12"});
        kmh = tree->addNode(speed, 2, {"km/h"});
        ab = tree->addNode(kmh, 3, {"a\\b", "x"});
        time = tree->addNode(-1, 4, {"Time"});
        rh = tree->rowHeight;
    }

    std::array<int, 3> at(int x, int y) const { return rgb(guitest::readPixel(gui.renderer, x, y)); }
    int rowTop(int row) const { return TY + rh + row * rh - tree->scrollY; }
    // Top-left of the plus/minus box of a node shown in `row`.
    SDL_Point box(int row, int depth) const { return SDL_Point{TX + 4 + depth * 16, rowTop(row) + (rh - 8) / 2}; }

    std::vector<Uint32> codes() const
    {
        std::vector<Uint32> out;
        for (const GuiEvent& e : gui.engine->notifications)
            out.push_back(e.code);
        return out;
    }
    std::vector<Uint64> values() const
    {
        std::vector<Uint64> out;
        for (const GuiEvent& e : gui.engine->notifications)
            out.push_back(e.param == Uint32(TreeId) ? e.value : 0);
        return out;
    }

    GuiFixtureState gui;
    GuiTreeListCtrl* tree = nullptr;
    int speed = -1, kmh = -1, ab = -1, time = -1;
    int rh = 0;
};

} // namespace

TEST_F(GuiTreeList, CollapsingHidesTheWholeSubtree)
{
    EXPECT_EQ(rh, TTF_FontLineSkip(uiFont) + 4);
    EXPECT_EQ(tree->visibleRows, (std::vector<int>{speed, kmh, ab, time}));
    EXPECT_EQ(tree->nodeAt(ab)->depth, 2);

    tree->setExpanded(speed, false, false);
    EXPECT_EQ(tree->visibleRows, (std::vector<int>{speed, time}));
    EXPECT_TRUE(tree->isExpanded(kmh)) << "children keep their own state";
    tree->setExpanded(speed, true, false);
    EXPECT_EQ(tree->visibleRows, (std::vector<int>{speed, kmh, ab, time}));
    EXPECT_TRUE(gui.engine->notifications.empty());
}

TEST_F(GuiTreeList, NodeUnderCollapsedParentIsHiddenAndSelectingItDoesNotScroll)
{
    tree->resize(gui.renderer, 300, 3 * rh);  // header plus two rows, so the tree scrolls
    for (int i = 0; i < 5; ++i)
        tree->addNode(-1, 10 + i, {"filler"});
    tree->setExpanded(time, false, false);
    const int late = tree->addNode(time, 5, {"late"});
    EXPECT_EQ(std::find(tree->visibleRows.begin(), tree->visibleRows.end(), late), tree->visibleRows.end());

    tree->scrollY = 2 * rh;
    tree->layoutTree();
    tree->select(late, false);
    EXPECT_EQ(tree->selectedIndex, late);
    EXPECT_EQ(tree->scrollY, 2 * rh);

    tree->setExpanded(time, true, true);
    EXPECT_EQ(tree->visibleRows[4], late);
    EXPECT_EQ(values(), (std::vector<Uint64>{4}));
}

TEST_F(GuiTreeList, PathsEscapeSlashesAndBackslashes)
{
    const int blank = tree->addNode(time, 6, {});
    const std::pair<int, std::string> paths[] = {
        {kmh, "Speed/km\\/h"}, {ab, "Speed/km\\/h/a\\\\b"}, {time, "Time"}, {99, ""}, {blank, "Time/"}};
    for (const auto& [node, path] : paths)
        EXPECT_EQ(tree->pathOf(node), path) << node;
}

TEST_F(GuiTreeList, SetValueExpandsAncestorsTopDownThenSelects)
{
    tree->setExpanded(kmh, false, false);
    tree->setExpanded(speed, false, false);
    ASSERT_EQ(tree->visibleRows.size(), 2u);

    EXPECT_FALSE(tree->setValue("Speed/km/h/a\\b")) << "unescaped texts do not match";
    EXPECT_FALSE(tree->setValue("Speed/km\\/h/a\\b"));
    EXPECT_TRUE(gui.engine->notifications.empty());

    EXPECT_TRUE(tree->setValue("Speed/km\\/h/a\\\\b"));
    EXPECT_EQ(tree->selectedIndex, ab);
    EXPECT_EQ(codes(), (std::vector<Uint32>{GuiNotify::TreeExpanded, GuiNotify::TreeExpanded,
                                            GuiNotify::TreeSelected}));
    EXPECT_EQ(values(), (std::vector<Uint64>{1, 2, 3}));

    std::string value;
    EXPECT_TRUE(tree->getValue(value));
    EXPECT_EQ(value, "Speed/km\\/h/a\\\\b");

    gui.engine->notifications.clear();
    EXPECT_TRUE(tree->setValue("Time"));
    EXPECT_EQ(codes(), (std::vector<Uint32>{GuiNotify::TreeSelected})) << "no ancestors to open";

    EXPECT_TRUE(tree->setValue(""));
    EXPECT_EQ(tree->selectedIndex, -1);
    EXPECT_TRUE(tree->getValue(value));
    EXPECT_EQ(value, "");
    tree->clear();
    EXPECT_FALSE(tree->setValue("Time"));
}

TEST_F(GuiTreeList, ClickOnTheBoxTogglesAndElsewhereSelects)
{
    const SDL_Point speedBox = box(0, 0);
    guitest::click(gui.root, speedBox.x + 7, speedBox.y + 4);
    EXPECT_FALSE(tree->isExpanded(speed));
    EXPECT_EQ(tree->selectedIndex, -1);
    EXPECT_EQ(codes(), (std::vector<Uint32>{GuiNotify::TreeExpanded}));

    guitest::click(gui.root, speedBox.x + 8, speedBox.y + 4);
    EXPECT_FALSE(tree->isExpanded(speed)) << "just right of the box selects";
    EXPECT_EQ(tree->selectedIndex, speed);
    guitest::click(gui.root, TX + 200, rowTop(0) + 2);
    EXPECT_EQ(codes(), (std::vector<Uint32>{GuiNotify::TreeExpanded, GuiNotify::TreeSelected,
                                            GuiNotify::TreeSelected}))
        << "selecting the selected row reports again";
    EXPECT_EQ(values(), (std::vector<Uint64>{1, 1, 1}));

    guitest::click(gui.root, speedBox.x, rowTop(1) + 3);  // Time has no children: the box area selects
    EXPECT_EQ(tree->selectedIndex, time);

    gui.engine->notifications.clear();
    guitest::click(gui.root, TX + 50, TY + 5);           // header
    guitest::click(gui.root, TX + 50, rowTop(2) + 3);    // below the last row
    EXPECT_TRUE(gui.engine->notifications.empty());
    EXPECT_EQ(tree->selectedIndex, time);
}

TEST_F(GuiTreeList, WithoutColumnsRowsStartAtTheTopAndTheBoxIsNeverHit)
{
    auto* bare = gui.root->add(new GuiTreeListCtrl(nullptr, 7, 10, 220, 200, 60, 0xFFFAFAFA, uiFont));
    const int parent = bare->addNode(-1, 1, {"parent"});
    bare->addNode(parent, 2, {"child"});
    EXPECT_EQ(bare->headerHeight(), 0);
    EXPECT_EQ(bare->rowAt(20, 220), 0);
    EXPECT_FALSE(bare->expanderHit(10 + 4, parent));

    guitest::click(gui.root, 10 + 5, 220 + 5);
    EXPECT_TRUE(bare->isExpanded(parent));
    EXPECT_EQ(bare->selectedIndex, parent);

    bare->draw(gui.renderer);
    const int by = 220 + (bare->rowHeight - 8) / 2;
    EXPECT_EQ(at(10 + 4 + 2, by + 4), rgb(Expander)) << "the box is drawn even so";
    EXPECT_EQ(at(10 + 4 + 4, by + 3), rgb(Selection));
}

TEST_F(GuiTreeList, LayoutKeepsBarsBelowTheHeaderAndClampsAfterShrinking)
{
    for (int i = 0; i < 20; ++i)
        tree->addNode(-1, 100 + i, {"row"});
    ASSERT_TRUE(tree->vScrollBar.visible);
    EXPECT_FALSE(tree->hScrollBar.visible);
    EXPECT_EQ((std::array{tree->vScrollBar.track.y, tree->vScrollBar.track.h}), (std::array{TY + rh, 200 - rh}));

    tree->setColumnWidth(1, 400);
    ASSERT_TRUE(tree->hScrollBar.visible);
    EXPECT_EQ((std::array{tree->hScrollBar.track.y, tree->hScrollBar.track.w}), (std::array{TY + 200 - 14, 300 - 14}));

    tree->scrollY = 100000;
    tree->layoutTree();
    EXPECT_EQ(tree->scrollY, 24 * rh - (200 - rh - 14));
    tree->setExpanded(speed, false, false);
    tree->clear();
    EXPECT_EQ(tree->scrollY, 0);
    EXPECT_EQ(tree->columns.size(), 2u) << "columns survive clear";
}

TEST_F(GuiTreeList, DrawsSelectionExpanderSignsAndTheRowsScrolledTo)
{
    tree->setExpanded(kmh, false, false);
    tree->select(kmh, false);
    gui.root->draw(gui.renderer);

    EXPECT_EQ(at(TX + 100, TY + 3), rgb(Header));
    EXPECT_EQ(at(TX + 100, rowTop(1) + 1), rgb(Selection));
    EXPECT_EQ(at(TX + 100, rowTop(0) + 1), rgb(Back));

    const SDL_Point minus = box(0, 0);  // Speed: expanded
    EXPECT_EQ(at(minus.x, minus.y), rgb(Expander));
    EXPECT_EQ(at(minus.x + 3, minus.y + 4), rgb(Expander));
    EXPECT_EQ(at(minus.x + 4, minus.y + 3), rgb(Back));
    const SDL_Point plus = box(1, 1);  // km/h: collapsed, on the selected row
    EXPECT_EQ(at(plus.x + 3, plus.y + 4), rgb(Expander));
    EXPECT_EQ(at(plus.x + 4, plus.y + 3), rgb(Expander));
    EXPECT_EQ(at(plus.x + 4, plus.y - 2), rgb(Selection));

    // Scroll so km/h is the top row: the wheel moves whole rows.
    for (int i = 0; i < 20; ++i)
        tree->addNode(-1, 100 + i, {"row"});
    guitest::wheel(gui.root, TX + 50, TY + 50, -1);
    ASSERT_EQ(tree->scrollY, rh);
    gui.root->draw(gui.renderer);
    EXPECT_EQ(at(TX + 100, rowTop(1) + 1), rgb(Selection));
    EXPECT_EQ(rowTop(1), TY + rh);
    EXPECT_EQ(at(TX + 100, rowTop(2) + 1), rgb(Back));

    // Half a row further the box of km/h reaches up under the header; it must not paint there.
    tree->scrollY += rh / 2;
    tree->layoutTree();
    gui.root->draw(gui.renderer);
    const SDL_Point cut = box(1, 1);
    ASSERT_LT(cut.y, TY + rh - 1);
    EXPECT_EQ(at(cut.x + 3, cut.y), rgb(Header));
    EXPECT_EQ(at(TX + 100, TY + rh), rgb(Selection));
}

TEST_F(GuiTreeList, HeaderAndRowsScrollSideways)
{
    tree->setColumnWidth(1, 400);
    gui.root->draw(gui.renderer);
    // Grid line at the right edge of the first column, in header and rows.
    const SDL_Color grid{210, 210, 210, 255};
    EXPECT_EQ(at(TX + 119, TY + 3), rgb(grid));
    EXPECT_EQ(at(TX + 119, rowTop(3) + 3), rgb(grid));

    SDL_SetModState(KMOD_LSHIFT);
    guitest::wheel(gui.root, TX + 50, TY + 50, -1);
    SDL_SetModState(KMOD_NONE);
    EXPECT_EQ(tree->scrollX, 40);
    gui.root->draw(gui.renderer);
    EXPECT_EQ(at(TX + 79, TY + 3), rgb(grid));
    EXPECT_EQ(at(TX + 79, rowTop(3) + 3), rgb(grid));
    EXPECT_EQ(at(TX + 119, rowTop(3) + 3), rgb(Back));
}
