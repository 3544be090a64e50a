#include "gui/GuiText.h"
#include "gui/GuiTreeListCtrl.h"
#include "support/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using guitest::GuiFixtureState;

namespace {

constexpr int TreeId = 42;
constexpr int TX = 10, TY = 10;
using Rgb = std::array<int, 3>;
constexpr Rgb Back{250, 250, 250}, Selection{0, 120, 215}, Expander{90, 90, 90}, Header{225, 225, 225};

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
    void addRows(int count)
    {
        for (int i = 0; i < count; ++i)
            tree->addNode(-1, 100 + i, {"row"});
    }
    Rgb at(int x, int y) const
    {
        const SDL_Color c = guitest::readPixel(gui.renderer, x, y);
        return {c.r, c.g, c.b};
    }
    int rowTop(int row) const { return TY + rh + row * rh - tree->scrollY; }
    // Top-left of the plus/minus box of a node shown in `row`.
    SDL_Point box(int row, int depth) const { return SDL_Point{TX + 4 + depth * 16, rowTop(row) + (rh - 8) / 2}; }
    // (code, node id) of every notification.
    std::vector<std::pair<Uint32, Uint64>> told() const
    {
        std::vector<std::pair<Uint32, Uint64>> out;
        for (const GuiEvent& e : gui.engine->notifications)
            out.emplace_back(e.code, e.param == Uint32(TreeId) ? e.value : 0);
        return out;
    }

    GuiFixtureState gui;
    GuiTreeListCtrl* tree = nullptr;
    int speed = -1, kmh = -1, ab = -1, time = -1;
    int rh = 0;
};

using Told = std::vector<std::pair<Uint32, Uint64>>;
constexpr Uint32 Expanded = GuiNotify::TreeExpanded, Selected = GuiNotify::TreeSelected;

} // namespace

TEST_F(GuiTreeList, CollapsingHidesTheWholeSubtreeAndHiddenNodesDoNotScroll)
{
    EXPECT_EQ(tree->visibleRows, (std::vector<int>{speed, kmh, ab, time}));
    tree->setExpanded(speed, false, false);
    EXPECT_EQ(tree->visibleRows, (std::vector<int>{speed, time}));
    EXPECT_TRUE(tree->isExpanded(kmh)) << "children keep their own state";
    tree->setExpanded(speed, true, false);
    EXPECT_EQ(tree->visibleRows, (std::vector<int>{speed, kmh, ab, time}));
    EXPECT_TRUE(gui.engine->notifications.empty());

    tree->resize(gui.renderer, 300, 3 * rh);  // header plus two rows, so the tree scrolls
    addRows(5);
    tree->setExpanded(time, false, false);
    const int late = tree->addNode(time, 5, {"late"});
    EXPECT_EQ(std::count(tree->visibleRows.begin(), tree->visibleRows.end(), late), 0);
    tree->scrollY = 2 * rh;
    tree->layoutTree();
    tree->select(late, false);
    EXPECT_EQ(tree->selectedIndex, late);
    EXPECT_EQ(tree->scrollY, 2 * rh);
    tree->setExpanded(time, true, true);
    EXPECT_EQ(tree->visibleRows[4], late);
    EXPECT_EQ(told(), (Told{{Expanded, 4}}));
}

TEST_F(GuiTreeList, PathsEscapeSeparatorsAndSetValueOpensAncestorsTopDown)
{
    const int blank = tree->addNode(time, 6, {});
    const std::pair<int, std::string> paths[] = {
        {kmh, "Speed/km\\/h"}, {ab, "Speed/km\\/h/a\\\\b"}, {time, "Time"}, {99, ""}, {blank, "Time/"}};
    for (const auto& [node, path] : paths)
        EXPECT_EQ(tree->pathOf(node), path) << node;

    tree->setExpanded(kmh, false, false);
    tree->setExpanded(speed, false, false);
    EXPECT_FALSE(tree->setValue("Speed/km/h/a\\b")) << "unescaped texts do not match";
    EXPECT_FALSE(tree->setValue("Speed/km\\/h/a\\b"));
    EXPECT_TRUE(tree->setValue("Speed/km\\/h/a\\\\b"));
    EXPECT_EQ(told(), (Told{{Expanded, 1}, {Expanded, 2}, {Selected, 3}}));
    std::string value;
    EXPECT_TRUE(tree->getValue(value));
    EXPECT_EQ(value, "Speed/km\\/h/a\\\\b");

    gui.engine->notifications.clear();
    EXPECT_TRUE(tree->setValue("Time"));
    EXPECT_EQ(told(), (Told{{Selected, 4}})) << "no ancestors to open";
    EXPECT_TRUE(tree->setValue(""));
    EXPECT_EQ(tree->selectedIndex, -1);
    tree->clear();
    EXPECT_FALSE(tree->setValue("Time"));
    EXPECT_EQ(tree->columns.size(), 2u) << "columns survive clear";
}

TEST_F(GuiTreeList, ClickOnTheBoxTogglesAndElsewhereSelects)
{
    const SDL_Point speedBox = box(0, 0);
    guitest::click(gui.root, speedBox.x + 7, speedBox.y + 4);
    EXPECT_FALSE(tree->isExpanded(speed));
    EXPECT_EQ(tree->selectedIndex, -1);
    guitest::click(gui.root, speedBox.x + 8, speedBox.y + 4);  // just right of the box
    EXPECT_FALSE(tree->isExpanded(speed));
    guitest::click(gui.root, TX + 200, rowTop(0) + 2);
    EXPECT_EQ(told(), (Told{{Expanded, 1}, {Selected, 1}, {Selected, 1}})) << "selecting again reports again";

    guitest::click(gui.root, speedBox.x, rowTop(1) + 3);  // Time has no children: the box area selects
    EXPECT_EQ(tree->selectedIndex, time);
    gui.engine->notifications.clear();
    guitest::click(gui.root, TX + 50, TY + 5);         // header
    guitest::click(gui.root, TX + 50, rowTop(2) + 3);  // below the last row
    EXPECT_TRUE(gui.engine->notifications.empty());
    EXPECT_EQ(tree->selectedIndex, time);

    // Without columns rows start at the top and the box is never hit, though drawn.
    auto* bare = gui.root->add(new GuiTreeListCtrl(nullptr, 7, 10, 220, 200, 60, 0xFFFAFAFA, uiFont));
    const int parent = bare->addNode(-1, 1, {"parent"});
    bare->addNode(parent, 2, {"child"});
    guitest::click(gui.root, 10 + 5, 220 + 5);
    EXPECT_TRUE(bare->isExpanded(parent));
    EXPECT_EQ(bare->selectedIndex, parent);
    bare->draw(gui.renderer);
    const int by = 220 + (bare->rowHeight - 8) / 2;
    EXPECT_EQ(at(10 + 4 + 2, by + 4), Expander);
    EXPECT_EQ(at(10 + 4 + 4, by + 3), Selection);
}

TEST_F(GuiTreeList, LayoutKeepsBarsBelowTheHeaderAndClampsAfterShrinking)
{
    addRows(20);
    tree->setColumnWidth(1, 400);
    ASSERT_TRUE(tree->vScrollBar.visible && tree->hScrollBar.visible);
    EXPECT_EQ((std::array{tree->vScrollBar.track.y, tree->vScrollBar.track.h}), (std::array{TY + rh, 200 - rh - 14}));
    EXPECT_EQ((std::array{tree->hScrollBar.track.y, tree->hScrollBar.track.w}), (std::array{TY + 200 - 14, 300 - 14}));
    tree->scrollY = 100000;
    tree->layoutTree();
    EXPECT_EQ(tree->scrollY, 24 * rh - (200 - rh - 14));
    tree->setExpanded(speed, false, false);
    EXPECT_EQ(tree->scrollY, 22 * rh - (200 - rh - 14));
}

TEST_F(GuiTreeList, DrawsSelectionExpanderSignsAndTheRowsScrolledTo)
{
    tree->setExpanded(kmh, false, false);
    tree->select(kmh, false);
    gui.root->draw(gui.renderer);
    EXPECT_EQ(at(TX + 100, TY + 3), Header);
    EXPECT_EQ(at(TX + 100, rowTop(1) + 1), Selection);
    EXPECT_EQ(at(TX + 100, rowTop(0) + 1), Back);
    const SDL_Point minus = box(0, 0), plus = box(1, 1);  // Speed expanded; km/h collapsed, selected
    EXPECT_EQ(at(minus.x, minus.y), Expander);
    EXPECT_EQ(at(minus.x + 3, minus.y + 4), Expander);
    EXPECT_EQ(at(minus.x + 4, minus.y + 3), Back);
    EXPECT_EQ(at(plus.x + 3, plus.y + 4), Expander);
    EXPECT_EQ(at(plus.x + 4, plus.y + 3), Expander);

    // The wheel moves whole rows: km/h becomes the top row.
    addRows(20);
    guitest::wheel(gui.root, TX + 50, TY + 50, -1);
    ASSERT_EQ(tree->scrollY, rh);
    gui.root->draw(gui.renderer);
    EXPECT_EQ(at(TX + 100, TY + rh + 1), Selection);
    EXPECT_EQ(at(TX + 100, TY + 2 * rh + 1), Back);
    // Half a row further the box of km/h reaches up under the header; it must not paint there.
    tree->scrollY += rh / 2;
    tree->layoutTree();
    gui.root->draw(gui.renderer);
    const SDL_Point cut = box(1, 1);
    ASSERT_LT(cut.y, TY + rh - 1);
    EXPECT_EQ(at(cut.x + 3, cut.y), Header);
    EXPECT_EQ(at(TX + 100, TY + rh), Selection);
}

