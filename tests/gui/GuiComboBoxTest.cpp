#include "gui/DropDownArrow.h"
#include "gui/GuiComboBox.h"
#include "gui/GuiComboBoxDropDown.h"
#include "support/GuiTestSupport.h"

using namespace guitest;

namespace {

struct ComboTest : ::testing::Test {
    // A white combo box at (10, 10), 120 x 24, with items "one".. under ids 1..n.
    void SetUp() override
    {
        combo = gui.root->add(new GuiComboBox(nullptr, 106, 10, 10, 120, 24, 0xFFFFFFFF, 0xFF141414, uiFont, 150));
        for (const char* name : {"one", "two", "three"})
            combo->addItem(int(combo->items.size()) + 1, name);
    }
    // The item id of every notification (0 for any other kind).
    std::vector<Uint64> values() const
    {
        std::vector<Uint64> out;
        for (const GuiEvent& e : gui.engine->notifications)
            out.push_back(e.code == GuiNotify::ComboChanged && e.param == 106u ? e.value : 0);
        return out;
    }
    bool isChild(const GuiObject* widget) const
    {
        return std::find(gui.root->children.begin(), gui.root->children.end(), widget) != gui.root->children.end();
    }
    void clickRow(int row)
    {
        const GuiComboBoxDropDown* list = combo->dropDownList();
        click(gui.root, list->x + 20, list->y + row * list->itemHeight + list->itemHeight / 2);
    }

    GuiFixtureState gui;
    GuiComboBox* combo = nullptr;
};

} // namespace

TEST_F(ComboTest, SelectionNotifiesWithTheItemIdOnlyWhenAsked)
{
    EXPECT_EQ(combo->selectedId(), 1) << "the first item is selected on arrival";
    combo->select(1, true);
    combo->select(1, true);
    combo->select(0, false);
    combo->select(3, true);  // no such row: nothing selected, nothing said
    EXPECT_EQ(combo->selectedId(), -1);
    combo->selectById(3, false);
    combo->selectById(99, true);
    EXPECT_EQ(combo->selectedText(), "three") << "an unknown id changes nothing";
    EXPECT_EQ(values(), (std::vector<Uint64>{2, 2}));

    std::string value;
    EXPECT_TRUE(combo->setValue("one") && combo->getValue(value) && value == "one");
    EXPECT_EQ(values().back(), 1u);
    EXPECT_FALSE(combo->setValue("eleven"));
    EXPECT_TRUE(combo->setValue("") && combo->selectedIndex == -1);
    combo->clear();
    EXPECT_FALSE(combo->setValue("one"));
    combo->addItem(7, "seven");
    combo->select(combo->addItem(8, "eight"), false);
    EXPECT_EQ(combo->selectedId(), 8) << "an added item's index selects it";
}

TEST_F(ComboTest, ClickOpensTheListBelowWhereARowNotifiesButTheChosenRowAndTheBarKeepItOpen)
{
    for (const char* name : {"four", "five", "six"})
        combo->addItem(int(combo->items.size()) + 1, name);
    combo->dropHeight = 60;  // too short for six rows: a scroll bar shows
    combo->select(1, false);
    click(gui.root, 50, 20);
    GuiComboBoxDropDown* list = combo->dropDownList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ((std::array{list->x, list->y, list->w, list->h}), (std::array{10, 10 + 24, 120, 60}));
    EXPECT_EQ(gui.root->popupGrab, list);
    list->layoutList();
    ASSERT_TRUE(list->vScrollBar.visible);
    clickRow(1);
    const SDL_Rect track = list->vScrollBar.track;
    click(gui.root, track.x + 3, track.y + track.h - 2);
    EXPECT_TRUE(combo->dropOpen);
    EXPECT_GT(list->scrollY, 0);
    EXPECT_TRUE(gui.engine->notifications.empty());

    clickRow(2);
    EXPECT_EQ(values(), (std::vector<Uint64>{Uint64(combo->selectedId())}));
    EXPECT_GT(combo->selectedIndex, 2);
    click(gui.root, 50, 20);
    click(gui.root, 50, 20);
    EXPECT_FALSE(combo->dropOpen) << "a click on the box while open closes the list";
}

TEST_F(ComboTest, KeyboardOpensPicksAndCancels)
{
    gui.root->setFocus(combo);
    key(gui.root, SDLK_UP);
    EXPECT_EQ(combo->selectedIndex, 0) << "Up on the first item does nothing";
    key(gui.root, SDLK_DOWN);
    ASSERT_TRUE(combo->dropOpen) << "Down opens rather than moves";
    key(gui.root, SDLK_DOWN);
    key(gui.root, SDLK_UP);
    EXPECT_EQ(combo->dropDownList()->selectedIndex, 0) << "arrow keys move nothing in the open list";
    key(gui.root, SDLK_ESCAPE);
    EXPECT_TRUE(!combo->dropOpen && gui.engine->notifications.empty());

    key(gui.root, SDLK_SPACE);
    ASSERT_TRUE(combo->dropOpen);
    key(gui.root, SDLK_RETURN);
    combo->select(2, false);
    key(gui.root, SDLK_UP);
    EXPECT_EQ(values(), (std::vector<Uint64>{1, 2})) << "Return confirms the current row again";
    combo->select(3, false);  // no row selected: Return opens, Enter closes silently
    key(gui.root, SDLK_RETURN);
    ASSERT_TRUE(combo->dropOpen);
    key(gui.root, SDLK_KP_ENTER);
    EXPECT_EQ((std::pair{combo->dropOpen, values().size()}), (std::pair{false, size_t(2)}));
    combo->focused = false;
    key(gui.root, SDLK_RETURN);
    EXPECT_FALSE(combo->dropOpen) << "keys count only while focused";
}

TEST_F(ComboTest, TypingWorksAgainHoweverTheListClosesAndOtherPopupsStay)
{
    SDL_Event focusLost{};
    focusLost.type = SDL_WINDOWEVENT;
    focusLost.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    const std::pair<const char*, std::function<void()>> closers[] = {
        {"row picked", [&] { clickRow(2); }},
        {"Return", [&] { key(gui.root, SDLK_RETURN); }},
        {"Escape", [&] { key(gui.root, SDLK_ESCAPE); }},
        {"press outside", [&] { press(gui.root, 350, 250); }},
        {"focus lost", [&] { send(gui.root, focusLost); }},
    };
    for (const auto& [how, close] : closers) {
        SCOPED_TRACE(how);
        combo->openDropDown();
        ASSERT_FALSE(SDL_IsTextInputActive());
        close();
        EXPECT_TRUE(gui.root->popups.empty() && !combo->dropOpen);
        EXPECT_EQ(combo->dropDownList(), nullptr) << "no pointer to the deleted list is kept";
        EXPECT_TRUE(SDL_IsTextInputActive());
    }

    combo->openDropDown();
    GuiComboBoxDropDown* list = combo->dropDownList();
    // The window closes the list behind the combo box's back and something else pops up.
    gui.root->closeTopPopup();
    auto* other = new GuiListCtrl(nullptr, 1, 200, 200, 50, 50, 0xFFFFFFFF, uiFont);
    gui.root->openPopup(other);
    combo->closeDropDown();
    gui.root->flushPendingDeletes();
    EXPECT_FALSE(isChild(list));
    EXPECT_EQ(gui.root->popups, (std::vector<GuiObject*>{other}));
}
