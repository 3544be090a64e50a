// Push, toggle and auto-repeat buttons: where a press and a release count,
// callbacks against notifications, repeat timing by explicit tick times, and
// the frame and bevel as drawn.

#include "support/GuiTestSupport.h"

#include "gui/GuiButton.h"
#include "gui/GuiText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

using namespace guitest;

namespace {

constexpr int BX = 50, BY = 40, BW = 80, BH = 26;

class GuiButtonTest : public ::testing::Test {
protected:
    GuiButton* addButton(Uint32 flags, int id = 100, const std::string& caption = "")
    {
        auto* button = gui.root->add(
            new GuiButton(nullptr, id, BX, BY, BW, BH, 0xFFF0F0F0, caption, uiFont, flags));
        button->addCallback([this](GuiButton* sender, bool state) { calls.emplace_back(sender, state); });
        return button;
    }
    int buttonNotifications() const
    {
        int n = 0;
        for (const GuiEvent& e : gui.engine->notifications)
            n += e.code == GuiNotify::ButtonPressed;
        return n;
    }

    GuiFixtureState gui;
    std::vector<std::pair<GuiButton*, bool>> calls;
};

bool near(SDL_Color a, SDL_Color b, int tolerance = 2)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

constexpr SDL_Color Black{0, 0, 0, 255};
constexpr SDL_Color White{255, 255, 255, 255};
constexpr SDL_Color Dark{128, 128, 128, 255};
constexpr SDL_Color Flat{192, 192, 192, 255};
constexpr SDL_Color WindowGrey{200, 200, 200, 255};

} // namespace

TEST_F(GuiButtonTest, PressCallsBackAndReleaseInsidePostsOneNotification)
{
    GuiButton* button = addButton(0, 100);
    press(gui.root, BX + 10, BY + 10);
    EXPECT_TRUE(button->pressed);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], std::make_pair(button, true));
    EXPECT_TRUE(gui.engine->notifications.empty()) << "a press alone posts nothing";

    release(gui.root, BX + 10, BY + 10);
    EXPECT_FALSE(button->pressed);
    EXPECT_EQ(calls.size(), 1u) << "callbacks are not called on release";
    ASSERT_EQ(gui.engine->notifications.size(), 1u);
    const GuiEvent& n = gui.engine->notifications[0];
    EXPECT_EQ(n.code, GuiNotify::ButtonPressed);
    EXPECT_EQ(n.param, 100u);
    EXPECT_EQ(n.value, 0u);
    EXPECT_EQ(n.source, button);
    EXPECT_EQ(n.windowId, gui.window->windowId);
}

TEST_F(GuiButtonTest, ReleaseOutsideCallsBackButPostsNothing)
{
    GuiButton* button = addButton(0);
    press(gui.root, BX + 10, BY + 10);
    release(gui.root, BX + BW + 30, BY + 10);
    EXPECT_FALSE(button->pressed);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].second);
    EXPECT_EQ(buttonNotifications(), 0);
}

TEST_F(GuiButtonTest, ReleaseMustBeStrictlyInsideTheFrame)
{
    addButton(0);
    const std::pair<int, int> onEdges[] = {{BX, BY + 10}, {BX + 10, BY}, {BX + BW, BY + 10}, {BX + 10, BY + BH}};
    for (auto [x, y] : onEdges) {
        press(gui.root, BX + 10, BY + 10);
        release(gui.root, x, y);
    }
    EXPECT_EQ(buttonNotifications(), 0) << "left, top, right and bottom edge pixels do not count";

    press(gui.root, BX + 10, BY + 10);
    release(gui.root, BX + 1, BY + 1);
    press(gui.root, BX + 10, BY + 10);
    release(gui.root, BX + BW - 1, BY + BH - 1);
    EXPECT_EQ(buttonNotifications(), 2) << "one pixel in from every edge counts";
}

TEST_F(GuiButtonTest, ToggleButtonFlipsOnEachPressAndNeverNotifies)
{
    GuiButton* button = addButton(GuiButton::Toggle);
    std::string value;
    ASSERT_TRUE(button->getValue(value));
    EXPECT_EQ(value, "0");

    click(gui.root, BX + 10, BY + 10);
    EXPECT_TRUE(button->pressed) << "release leaves a toggle button alone";
    click(gui.root, BX + 10, BY + 10);
    EXPECT_FALSE(button->pressed);
    EXPECT_EQ(calls, (std::vector<std::pair<GuiButton*, bool>>{{button, true}, {button, false}}));
    EXPECT_EQ(buttonNotifications(), 0);

    EXPECT_TRUE(button->setValue("true"));
    EXPECT_TRUE(button->getValue(value));
    EXPECT_EQ(value, "1");
}

TEST_F(GuiButtonTest, PushButtonHasNoValue)
{
    GuiButton* button = addButton(0);
    std::string value = "unchanged";
    EXPECT_FALSE(button->getValue(value));
    EXPECT_EQ(value, "unchanged");
    EXPECT_FALSE(button->setValue("1"));
    EXPECT_FALSE(button->pressed);
    EXPECT_TRUE(calls.empty());
}

TEST_F(GuiButtonTest, AutoRepeatStartsAfterTheDelayThenKeepsTheInterval)
{
    GuiButton* button = addButton(GuiButton::AutoRepeat);
    press(gui.root, BX + 10, BY + 10);
    const Uint32 t0 = button->pressTime;

    button->tick(t0 + Uint32(button->repeatDelay) - 1);
    EXPECT_EQ(buttonNotifications(), 0);
    button->tick(t0 + Uint32(button->repeatDelay));
    EXPECT_EQ(buttonNotifications(), 1);
    button->tick(t0 + Uint32(button->repeatDelay + button->repeatInterval) - 1);
    EXPECT_EQ(buttonNotifications(), 1);
    button->tick(t0 + Uint32(button->repeatDelay + button->repeatInterval));
    EXPECT_EQ(buttonNotifications(), 2);
}

TEST_F(GuiButtonTest, HoldingForOneSecondRepeatsAtFrameGranularityAndReleaseAddsNothing)
{
    GuiButton* button = addButton(GuiButton::AutoRepeat, 107);
    press(gui.root, BX + 10, BY + 10);
    const Uint32 t0 = button->pressTime;

    std::vector<Uint32> firedAt;
    for (Uint32 t = t0; t <= t0 + 1000; t += 16) {
        const size_t before = gui.engine->notifications.size();
        button->tick(t);
        if (gui.engine->notifications.size() > before)
            firedAt.push_back(t - t0);
    }
    ASSERT_FALSE(firedAt.empty());
    EXPECT_GE(firedAt.front(), 400u);
    EXPECT_LT(firedAt.front(), 400u + 16);
    for (size_t i = 1; i < firedAt.size(); ++i) {
        EXPECT_GE(firedAt[i] - firedAt[i - 1], 60u);
        EXPECT_LT(firedAt[i] - firedAt[i - 1], 60u + 16) << "one repeat per interval, at the first frame after it";
    }
    for (const GuiEvent& e : gui.engine->notifications)
        EXPECT_EQ(e.param, 107u);

    const size_t held = gui.engine->notifications.size();
    release(gui.root, BX + 10, BY + 10);
    EXPECT_EQ(gui.engine->notifications.size(), held) << "no extra step on release after repeating";
    button->tick(t0 + 2000);
    EXPECT_EQ(gui.engine->notifications.size(), held) << "released buttons do not repeat";
}

TEST_F(GuiButtonTest, ShortAutoRepeatPressIsAnOrdinaryClick)
{
    GuiButton* button = addButton(GuiButton::AutoRepeat);
    button->repeatDelay = 350;
    button->repeatInterval = 80;
    press(gui.root, BX + 10, BY + 10);
    button->tick(button->pressTime + 349);
    release(gui.root, BX + 10, BY + 10);
    EXPECT_EQ(buttonNotifications(), 1);
}

TEST_F(GuiButtonTest, ToggleBitDisablesAutoRepeat)
{
    GuiButton* button = addButton(GuiButton::AutoRepeat | GuiButton::Toggle);
    press(gui.root, BX + 10, BY + 10);
    button->tick(SDL_GetTicks() + 5000);
    EXPECT_EQ(buttonNotifications(), 0);
}

TEST_F(GuiButtonTest, CaptureReleasedByTheWindowPostsNothing)
{
    GuiButton* button = addButton(GuiButton::AutoRepeat);
    press(gui.root, BX + 10, BY + 10);
    gui.root->releaseCapture();
    EXPECT_FALSE(button->pressed);
    button->tick(button->pressTime + 1000);
    EXPECT_EQ(buttonNotifications(), 0);
}

TEST_F(GuiButtonTest, BevelIsWhiteAndGreyUpAndFlatGreyWhenPressed)
{
    GuiButton* button = addButton(0);
    EXPECT_EQ(button->colour.a, 0) << "the constructor clears the alpha, so the bevel shows";
    gui.root->draw(gui.renderer);
    EXPECT_TRUE(near(readPixel(gui.renderer, BX, BY + 10), Black)) << "outer frame, left";
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + 1, BY + 10), Black)) << "inner frame, left";
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + 10, BY), Black)) << "outer frame, top";
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + BW - 1, BY + 10), Black)) << "frame, right";
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + 10, BY + BH - 1), Black)) << "frame, bottom";
    EXPECT_TRUE(near(readPixel(gui.renderer, BX, BY), WindowGrey)) << "the frame's corners are cut";
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + 2, BY + 10), White));
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + 3, BY + 10), White));
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + 10, BY + 2), White));
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + 10, BY + 3), White));
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + BW - 2, BY + 10), Dark));
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + BW - 3, BY + 10), Dark));
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + 10, BY + BH - 2), Dark));
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + 10, BY + BH - 3), Dark));
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + BW / 2, BY + BH / 2), WindowGrey)) << "no fill without a colour";

    press(gui.root, BX + 10, BY + 10);
    gui.root->draw(gui.renderer);
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + 2, BY + 10), Flat));
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + 10, BY + 2), Flat));
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + BW - 2, BY + 10), Flat));
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + 10, BY + BH - 2), Flat));
}

TEST_F(GuiButtonTest, ColouredButtonFillsInsideTheFrameInsteadOfTheBevel)
{
    GuiButton* button = addButton(0);
    button->setColour(0xFF3060C0);  // r=0xC0, g=0x60, b=0x30
    const SDL_Color fill{0xC0, 0x60, 0x30, 255};
    gui.root->draw(gui.renderer);
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + 2, BY + 2), fill));
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + BW - 2, BY + BH - 2), fill)) << "fill is w-3 by h-3 from (x+2, y+2)";
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + BW / 2, BY + BH / 2), fill));
    EXPECT_TRUE(near(readPixel(gui.renderer, BX + 1, BY + 10), Black));
}

TEST_F(GuiButtonTest, CaptionIsCentredAndDropsOnePixelWhilePressed)
{
    addButton(0, 100, "Open GPX");
    auto darkRows = [this] {
        int top = -1;
        for (int y = BY + 4; y < BY + BH - 4 && top < 0; ++y)
            for (int x = BX + 4; x < BX + BW - 4; ++x)
                if (readPixel(gui.renderer, x, y).r < 100) {
                    top = y;
                    break;
                }
        return top;
    };
    gui.root->draw(gui.renderer);
    const int upTop = darkRows();
    ASSERT_GE(upTop, 0) << "the caption was drawn";
    press(gui.root, BX + 10, BY + 10);
    gui.root->draw(gui.renderer);
    EXPECT_EQ(darkRows(), upTop + 1);
}
