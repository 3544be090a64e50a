// Check boxes: toggled by a press only, setValue rules, and the box with its cross.

#include "support/GuiTestSupport.h"

#include "gui/GuiCheckBox.h"
#include "gui/GuiText.h"

#include <gtest/gtest.h>


using namespace guitest;

TEST(GuiCheckBox, PressOrAcceptedWordTogglesAndCallsBackOnChangeOnly)
{
    GuiFixtureState gui;
    auto* box = gui.root->add(new GuiCheckBox(nullptr, 113, 30, 20, 220, 24, 0xFFF0F0F0, "", uiFont, 0));
    std::vector<bool> states;
    box->addCallback([&](GuiButton*, bool state) { states.push_back(state); });
    click(gui.root, 35, 25);
    click(gui.root, 130, 25);  // the caption area counts too
    EXPECT_EQ(states, (std::vector<bool>{true, false}));
    EXPECT_TRUE(gui.engine->notifications.empty());

    for (const char* word : {"yes", "TRUE", ""})
        EXPECT_FALSE(box->setValue(word)) << word;
    std::string value;
    for (auto [word, shown] : {std::pair{"true", "1"}, {"1", "1"}, {"0", "0"}, {"false", "0"}, {"1", "1"}}) {
        EXPECT_TRUE(box->setValue(word)) << word;
        EXPECT_TRUE(box->getValue(value));
        EXPECT_EQ(value, shown) << word;
    }
    EXPECT_EQ(states, (std::vector<bool>{true, false, true, false, true})) << "no change, no callback";
}

TEST(GuiCheckBox, DrawsAWhiteBoxWithADoubleOutlineAndACrossWhenOn)
{
    GuiFixtureState gui;
    auto* box = gui.root->add(new GuiCheckBox(nullptr, 113, 30, 20, 220, 24, 0xFFF0F0F0, "", uiFont, 0));
    auto expectGrey = [&](std::initializer_list<std::pair<int, int>> offsets, int grey) {
        for (auto [dx, dy] : offsets) {
            const SDL_Color c = readPixel(gui.renderer, 30 + dx, 20 + dy);
            EXPECT_TRUE(std::abs(c.r - grey) <= 2 && std::abs(c.g - grey) <= 2 && std::abs(c.b - grey) <= 2)
                << "(" << dx << ", " << dy << ") should be " << grey;
        }
    };
    gui.root->draw(gui.renderer);
    expectGrey({{0, 8}, {1, 8}, {15, 8}}, 0);
    expectGrey({{7, 7}}, 255);
    expectGrey({{30, 20}}, 200);  // no background fill
    box->setValue("1");
    gui.root->draw(gui.renderer);
    // Both diagonals, three pixels thick; between the arms stays white.
    expectGrey({{7, 7}, {4, 4}, {4, 11}, {11, 4}}, 0);
    expectGrey({{3, 8}, {12, 7}}, 255);
}
