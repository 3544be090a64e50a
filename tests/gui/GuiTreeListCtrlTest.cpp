#include "gui/GuiTreeListCtrl.h"
#include "support/GuiTestSupport.h"

using namespace guitest;

namespace {

constexpr int TX = 10, TY = 10;
using Rgb = std::array<int, 3>;
constexpr Rgb Back{250, 250, 250}, Selection{0, 120, 215}, Expander{90, 90, 90}, Header{225, 225, 225};
using Told = std::vector<std::pair<Uint32, Uint64>>;
constexpr Uint32 Expanded = GuiNotify::TreeExpanded, Selected = GuiNotify::TreeSelected;

struct GuiTreeList : ::testing::Test {
    // Speed (1) > km/h (2) > a\b (3); Time (4); columns 120 + 150 wide.
    void SetUp() override
    {
        tree = gui.root->add(new GuiTreeListCtrl(nullptr, 42, TX, TY, 300, 200, 0xFFFAFAFA, uiFont));
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
    Rgb at(int x, int y) const { return rgb(gui.renderer, x, y); }
    int rowTop(int row) const { return TY + rh + row * rh - tree->scrollY; }
    // Top-left of the plus/minus box of a node shown in `row`.
    SDL_Point box(int row, int depth) const { return SDL_Point{TX + 4 + depth * 16, rowTop(row) + (rh - 8) / 2}; }
    // (code, node id) of every notification.
    Told told() const
    {
        Told out;
        for (const GuiEvent& e : gui.engine->notifications)
            out.emplace_back(e.code, e.param == 42u ? e.value : 0);
        return out;
    }

    GuiFixtureState gui;
    GuiTreeListCtrl* tree = nullptr;
    int speed = -1, kmh = -1, ab = -1, time = -1, rh = 0;
};

} // namespace

TEST_F(GuiTreeList, CollapsingHidesTheWholeSubtreeAndHiddenNodesDoNotScroll)
{
    tree->setExpanded(speed, false, false);
    EXPECT_EQ(tree->visibleRows, (std::vector<int>{speed, time}));
    EXPECT_EQ((std::array{tree->visibleRowNode(1), tree->visibleRowNode(2)}), (std::array{time, -1}));
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
    EXPECT_EQ((std::array{tree->selectedIndex, tree->scrollY}), (std::array{late, 2 * rh}));
    tree->setExpanded(time, true, true);
    EXPECT_EQ(tree->visibleRows[4], late);
    EXPECT_EQ(told(), (Told{{Expanded, 4}}));
}

TEST_F(GuiTreeList, ScrollClampsAfterShrinkingAndDrawsSelectionSignsAndTheRowsScrolledTo)
{
    tree->setExpanded(kmh, false, false);
    tree->select(kmh, false);
    gui.root->draw(gui.renderer);
    EXPECT_EQ((std::vector<Rgb>{at(TX + 100, TY + 3), at(TX + 100, rowTop(1) + 1), at(TX + 100, rowTop(0) + 1)}),
              (std::vector<Rgb>{Header, Selection, Back}));
    const SDL_Point minus = box(0, 0), plus = box(1, 1);  // Speed expanded; km/h collapsed, selected
    EXPECT_EQ((std::vector<Rgb>{at(minus.x, minus.y), at(minus.x + 3, minus.y + 4), at(minus.x + 4, minus.y + 3),
                                at(plus.x + 3, plus.y + 4), at(plus.x + 4, plus.y + 3)}),
              (std::vector<Rgb>{Expander, Expander, Back, Expander, Expander}));

    // The wheel moves whole rows: km/h becomes the top row.
    addRows(20);
    wheel(gui.root, TX + 50, TY + 50, -1);
    ASSERT_EQ(tree->scrollY, rh);
    gui.root->draw(gui.renderer);
    EXPECT_EQ((std::vector<Rgb>{at(TX + 100, TY + rh + 1), at(TX + 100, TY + 2 * rh + 1)}),
              (std::vector<Rgb>{Selection, Back}));
    // Half a row further the box of km/h reaches up under the header; it must not paint there.
    tree->scrollY += rh / 2;
    tree->layoutTree();
    gui.root->draw(gui.renderer);
    const SDL_Point cut = box(1, 1);
    ASSERT_LT(cut.y, TY + rh - 1);
    EXPECT_EQ((std::vector<Rgb>{at(cut.x + 3, cut.y), at(TX + 100, TY + rh)}), (std::vector<Rgb>{Header, Selection}));

    tree->setColumnWidth(1, 400);
    ASSERT_TRUE(tree->vScrollBar.visible && tree->hScrollBar.visible);
    EXPECT_EQ((std::array{tree->vScrollBar.track.y, tree->hScrollBar.track.y}), (std::array{TY + rh, TY + 200 - 14}));
    tree->scrollY = 100000;
    tree->layoutTree();
    EXPECT_EQ(tree->scrollY, 23 * rh - (200 - rh - 14)) << "clamped to the last row";
    tree->setExpanded(speed, false, false);
    EXPECT_EQ(tree->scrollY, 22 * rh - (200 - rh - 14));
}
