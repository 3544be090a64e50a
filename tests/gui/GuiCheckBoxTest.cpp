// Check boxes: toggled by a press only, setValue rules, and the box with its cross.

#include "support/GuiTestSupport.h"

#include "gui/GuiCheckBox.h"

using namespace guitest;

TEST(GuiCheckBox, PressOrAcceptedWordTogglesCallsBackOnChangeAndDrawsTheCross)
{
    GuiFixtureState gui;
    auto* box = gui.root->add(new GuiCheckBox(nullptr, 113, 30, 20, 220, 24, 0xFFF0F0F0, "", uiFont, 0));
    std::vector<bool> states;
    box->addCallback([&](GuiButton*, bool state) { states.push_back(state); });
    click(gui.root, 35, 25);
    click(gui.root, 130, 25);  // the caption area counts too
    EXPECT_TRUE(gui.engine->notifications.empty());
    for (const char* word : {"yes", "TRUE", ""})
        EXPECT_FALSE(box->setValue(word)) << word;
    std::string value;
    for (auto [word, shown] : {std::pair{"true", "1"}, {"1", "1"}, {"0", "0"}, {"false", "0"}}) {
        EXPECT_TRUE(box->setValue(word) && box->getValue(value)) << word;
        EXPECT_EQ(value, shown) << word;
    }
    EXPECT_EQ(states, (std::vector<bool>{true, false, true, false})) << "no change, no callback";

    // A white box in a double outline; when on, both diagonals three pixels thick.
    auto greys = [&](std::initializer_list<std::pair<int, int>> offsets) {
        gui.root->draw(gui.renderer);
        std::vector<int> out;
        for (auto [dx, dy] : offsets)
            out.push_back(readPixel(gui.renderer, 30 + dx, 20 + dy).g);
        return out;
    };
    const auto offsets = {std::pair{0, 8}, {1, 8}, {15, 8}, {7, 7}, {4, 4}, {4, 11}, {11, 4}, {4, 5}, {4, 6}, {3, 8},
                          {30, 20}};
    EXPECT_EQ(greys(offsets), (std::vector<int>{0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 200}));
    box->setValue("1");
    EXPECT_EQ(greys(offsets), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 200}));
}
