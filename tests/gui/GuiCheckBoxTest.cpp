// Check boxes: toggled by a press only, setValue rules, and the box with its cross.

#include "support/GuiTestSupport.h"

#include "gui/GuiCheckBox.h"
#include "gui/GuiText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

using namespace guitest;

namespace {

constexpr int CX = 30, CY = 20;

class GuiCheckBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        box = gui.root->add(new GuiCheckBox(nullptr, 113, CX, CY, 220, 24, 0xFFF0F0F0, "", uiFont, 0));
        box->addCallback([this](GuiButton* sender, bool state) {
            EXPECT_EQ(sender->id, 113);
            states.push_back(state);
        });
    }
    // Every listed offset from the box's corner has this grey, within 2.
    void expectGrey(std::initializer_list<std::pair<int, int>> offsets, int grey)
    {
        for (auto [dx, dy] : offsets) {
            const SDL_Color c = readPixel(gui.renderer, CX + dx, CY + dy);
            EXPECT_TRUE(std::abs(c.r - grey) <= 2 && std::abs(c.g - grey) <= 2 && std::abs(c.b - grey) <= 2)
                << "(" << dx << ", " << dy << ") should be " << grey;
        }
    }

    GuiFixtureState gui;
    GuiCheckBox* box = nullptr;
    std::vector<bool> states;
};

} // namespace

TEST_F(GuiCheckBoxTest, PressTogglesAndCallsBackButNeverNotifies)
{
    EXPECT_TRUE(box->isToggle());
    click(gui.root, CX + 5, CY + 5);
    EXPECT_TRUE(box->pressed);
    click(gui.root, CX + 100, CY + 5);  // the caption area counts too
    EXPECT_FALSE(box->pressed);
    EXPECT_EQ(states, (std::vector<bool>{true, false}));
    EXPECT_TRUE(gui.engine->notifications.empty());
}

TEST_F(GuiCheckBoxTest, SetValueAcceptsOnlyTheFourWordsAndCallsBackOnChange)
{
    for (const char* word : {"yes", "TRUE", ""})
        EXPECT_FALSE(box->setValue(word)) << word;
    EXPECT_FALSE(box->pressed);
    EXPECT_TRUE(states.empty());

    EXPECT_TRUE(box->setValue("true"));
    EXPECT_TRUE(box->pressed);
    EXPECT_TRUE(box->setValue("true")) << "already on: accepted";
    EXPECT_TRUE(box->setValue("1"));
    EXPECT_EQ(states, (std::vector<bool>{true})) << "no change, no callback";

    EXPECT_TRUE(box->setValue("0"));
    EXPECT_TRUE(box->setValue("false"));
    EXPECT_EQ(states, (std::vector<bool>{true, false}));

    std::string value;
    EXPECT_TRUE(box->getValue(value));
    EXPECT_EQ(value, "0");
    box->setValue("1");
    EXPECT_TRUE(box->getValue(value));
    EXPECT_EQ(value, "1");
}

TEST_F(GuiCheckBoxTest, DrawsAWhiteBoxWithADoubleOutlineAndACrossWhenOn)
{
    gui.root->draw(gui.renderer);
    expectGrey({{0, 8}, {1, 8}, {15, 8}}, 0);  // double outline
    expectGrey({{7, 7}}, 255);                 // empty box
    expectGrey({{30, 20}}, 200);               // no background fill

    box->setValue("1");
    gui.root->draw(gui.renderer);
    // Both diagonals, three pixels thick; between the arms stays white.
    expectGrey({{7, 7}, {4, 4}, {4, 11}, {11, 4}}, 0);
    expectGrey({{3, 8}, {12, 7}}, 255);
}
