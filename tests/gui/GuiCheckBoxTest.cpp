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
    GuiCheckBox* addBox(Uint32 flags = 0)
    {
        auto* box = gui.root->add(new GuiCheckBox(nullptr, 113, CX, CY, 220, 24, 0xFFF0F0F0, "", uiFont, flags));
        box->addCallback([this](GuiButton* sender, bool state) {
            EXPECT_EQ(sender->id, 113);
            states.push_back(state);
        });
        return box;
    }

    GuiFixtureState gui;
    std::vector<bool> states;
};

bool isColour(SDL_Color c, Uint8 grey)
{
    return std::abs(c.r - grey) <= 2 && std::abs(c.g - grey) <= 2 && std::abs(c.b - grey) <= 2;
}

} // namespace

TEST_F(GuiCheckBoxTest, IsAlwaysAToggle)
{
    GuiCheckBox* box = addBox(0);
    EXPECT_TRUE(box->isToggle());
    EXPECT_STREQ(box->className(), "GuiCheckBox");
    EXPECT_TRUE(box->isCacheable());
}

TEST_F(GuiCheckBoxTest, PressTogglesAndCallsBackButNeverNotifies)
{
    GuiCheckBox* box = addBox();
    click(gui.root, CX + 5, CY + 5);
    EXPECT_TRUE(box->pressed);
    click(gui.root, CX + 100, CY + 5);  // the caption area counts too
    EXPECT_FALSE(box->pressed);
    EXPECT_EQ(states, (std::vector<bool>{true, false}));
    EXPECT_TRUE(gui.engine->notifications.empty());
}

TEST_F(GuiCheckBoxTest, SetValueAcceptsOnlyTheFourWordsAndCallsBackOnChange)
{
    GuiCheckBox* box = addBox();
    EXPECT_FALSE(box->setValue("yes"));
    EXPECT_FALSE(box->setValue("TRUE"));
    EXPECT_FALSE(box->setValue(""));
    EXPECT_FALSE(box->pressed);
    EXPECT_TRUE(states.empty());

    EXPECT_TRUE(box->setValue("true"));
    EXPECT_TRUE(box->pressed);
    EXPECT_EQ(states, (std::vector<bool>{true}));

    EXPECT_TRUE(box->setValue("true")) << "already on: accepted";
    EXPECT_TRUE(box->setValue("1"));
    EXPECT_EQ(states.size(), 1u) << "no change, no callback";

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
    GuiCheckBox* box = addBox();
    gui.root->draw(gui.renderer);
    EXPECT_TRUE(isColour(readPixel(gui.renderer, CX, CY + 8), 0)) << "outer outline";
    EXPECT_TRUE(isColour(readPixel(gui.renderer, CX + 1, CY + 8), 0)) << "inner outline";
    EXPECT_TRUE(isColour(readPixel(gui.renderer, CX + 15, CY + 8), 0)) << "outer outline, right";
    EXPECT_TRUE(isColour(readPixel(gui.renderer, CX + 7, CY + 7), 255)) << "empty box";
    EXPECT_TRUE(isColour(readPixel(gui.renderer, CX + 30, CY + 20), 200)) << "no background fill";

    box->setValue("1");
    gui.root->draw(gui.renderer);
    // Both diagonals, three pixels thick: the centre and points along each.
    EXPECT_TRUE(isColour(readPixel(gui.renderer, CX + 7, CY + 7), 0));
    EXPECT_TRUE(isColour(readPixel(gui.renderer, CX + 4, CY + 4), 0)) << "falling diagonal";
    EXPECT_TRUE(isColour(readPixel(gui.renderer, CX + 4, CY + 11), 0)) << "rising diagonal";
    EXPECT_TRUE(isColour(readPixel(gui.renderer, CX + 11, CY + 4), 0)) << "rising diagonal";
    EXPECT_TRUE(isColour(readPixel(gui.renderer, CX + 3, CY + 8), 255)) << "between the arms stays white";
    EXPECT_TRUE(isColour(readPixel(gui.renderer, CX + 12, CY + 7), 255));
}
