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
    void pressInside() { press(gui.root, BX + 10, BY + 10); }
    // Every listed pixel has the colour, within 2 per channel.
    void expectPixels(std::initializer_list<std::pair<int, int>> points, SDL_Color want, const char* what)
    {
        for (auto [x, y] : points) {
            const SDL_Color c = readPixel(gui.renderer, x, y);
            EXPECT_TRUE(std::abs(c.r - want.r) <= 2 && std::abs(c.g - want.g) <= 2 && std::abs(c.b - want.b) <= 2)
                << what << " at (" << x << ", " << y << ")";
        }
    }

    GuiFixtureState gui;
    std::vector<std::pair<GuiButton*, bool>> calls;
};

constexpr SDL_Color Black{0, 0, 0, 255}, White{255, 255, 255, 255}, Dark{128, 128, 128, 255};
constexpr SDL_Color Flat{192, 192, 192, 255}, WindowGrey{200, 200, 200, 255};

} // namespace

TEST_F(GuiButtonTest, PressCallsBackAndReleaseInsidePostsOneNotification)
{
    GuiButton* button = addButton(0, 100);
    pressInside();
    EXPECT_TRUE(button->pressed);
    EXPECT_EQ(calls, (std::vector<std::pair<GuiButton*, bool>>{{button, true}}));
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

TEST_F(GuiButtonTest, ReleaseCountsOnlyStrictlyInsideTheFrame)
{
    GuiButton* button = addButton(0);
    const std::pair<int, int> outside[] = {
        {BX + BW + 30, BY + 10}, {BX, BY + 10}, {BX + 10, BY}, {BX + BW, BY + 10}, {BX + 10, BY + BH}};
    for (auto [x, y] : outside) {
        pressInside();
        release(gui.root, x, y);
        EXPECT_FALSE(button->pressed);
    }
    EXPECT_EQ(calls.size(), 5u) << "every press still calls back";
    EXPECT_EQ(buttonNotifications(), 0) << "outside and on the edge pixels do not count";

    pressInside();
    release(gui.root, BX + 1, BY + 1);
    pressInside();
    release(gui.root, BX + BW - 1, BY + BH - 1);
    EXPECT_EQ(buttonNotifications(), 2) << "one pixel in from every edge counts";
}

TEST_F(GuiButtonTest, ReleaseFiresOnlyAfterAPressOnTheButton)
{
    addButton(0);
    click(gui.root, BX + 10, BY + 10);  // leaves the button with the focus
    // Pressed on bare background, dragged onto the button, let go there.
    press(gui.root, BX + BW + 100, BY + 100);
    release(gui.root, BX + 10, BY + 10);
    EXPECT_EQ(buttonNotifications(), 1);
}

TEST_F(GuiButtonTest, ToggleFlipsOnEachPressAndOnlyItHasAValue)
{
    GuiButton* push = addButton(0);
    std::string value = "unchanged";
    EXPECT_FALSE(push->getValue(value));
    EXPECT_EQ(value, "unchanged");
    EXPECT_FALSE(push->setValue("1"));
    EXPECT_FALSE(push->pressed);

    GuiButton* button = addButton(GuiButton::Toggle);
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

TEST_F(GuiButtonTest, AutoRepeatAfterTheDelayThenOncePerIntervalAndNothingOnRelease)
{
    GuiButton* button = addButton(GuiButton::AutoRepeat, 107);
    pressInside();
    const Uint32 t0 = button->pressTime;
    button->tick(t0 + 399);
    EXPECT_EQ(buttonNotifications(), 0);
    button->tick(t0 + 400);
    EXPECT_EQ(buttonNotifications(), 1);
    button->tick(t0 + 459);
    EXPECT_EQ(buttonNotifications(), 1);
    button->tick(t0 + 460);
    EXPECT_EQ(buttonNotifications(), 2);

    // Frames of 16 ms: one repeat per interval, at the first frame after it, never a burst.
    std::vector<Uint32> firedAt;
    for (Uint32 t = t0 + 1000; t <= t0 + 2000; t += 16) {
        const size_t before = gui.engine->notifications.size();
        button->tick(t);
        if (gui.engine->notifications.size() > before)
            firedAt.push_back(t);
    }
    ASSERT_GT(firedAt.size(), 10u);
    for (size_t i = 1; i < firedAt.size(); ++i) {
        EXPECT_GE(firedAt[i] - firedAt[i - 1], 60u);
        EXPECT_LT(firedAt[i] - firedAt[i - 1], 60u + 16);
    }
    for (const GuiEvent& e : gui.engine->notifications)
        EXPECT_EQ(e.param, 107u);

    const size_t held = gui.engine->notifications.size();
    release(gui.root, BX + 10, BY + 10);
    EXPECT_EQ(gui.engine->notifications.size(), held) << "no extra step on release after repeating";
    button->tick(t0 + 5000);
    EXPECT_EQ(gui.engine->notifications.size(), held) << "released buttons do not repeat";
}

TEST_F(GuiButtonTest, AutoRepeatEdgeCases)
{
    // Each new button lies on top of the last, so it takes the next press.
    GuiButton* shortPress = addButton(GuiButton::AutoRepeat);
    shortPress->repeatDelay = 350;
    pressInside();
    shortPress->tick(shortPress->pressTime + 349);
    release(gui.root, BX + 10, BY + 10);
    EXPECT_EQ(buttonNotifications(), 1) << "a short press is an ordinary click";

    GuiButton* dropped = addButton(GuiButton::AutoRepeat);
    pressInside();
    gui.root->releaseCapture();
    EXPECT_FALSE(dropped->pressed);
    dropped->tick(dropped->pressTime + 1000);
    EXPECT_EQ(buttonNotifications(), 1) << "capture taken away by the window posts nothing";

    GuiButton* toggle = addButton(GuiButton::AutoRepeat | GuiButton::Toggle);
    pressInside();
    toggle->tick(SDL_GetTicks() + 5000);
    EXPECT_EQ(buttonNotifications(), 1) << "the toggle bit disables auto-repeat";
}

TEST_F(GuiButtonTest, BevelIsWhiteAndGreyUpAndFlatGreyWhenPressed)
{
    GuiButton* button = addButton(0);
    EXPECT_EQ(button->colour.a, 0) << "the constructor clears the alpha, so the bevel shows";
    gui.root->draw(gui.renderer);
    expectPixels({{BX, BY + 10}, {BX + 1, BY + 10}, {BX + 10, BY}, {BX + BW - 1, BY + 10}, {BX + 10, BY + BH - 1}},
                 Black, "double frame");
    expectPixels({{BX, BY}, {BX + BW / 2, BY + BH / 2}}, WindowGrey, "cut corner and unfilled inside");
    expectPixels({{BX + 2, BY + 10}, {BX + 3, BY + 10}, {BX + 10, BY + 2}, {BX + 10, BY + 3}}, White, "light bevel");
    expectPixels({{BX + BW - 2, BY + 10}, {BX + BW - 3, BY + 10}, {BX + 10, BY + BH - 2}, {BX + 10, BY + BH - 3}},
                 Dark, "dark bevel");

    pressInside();
    gui.root->draw(gui.renderer);
    expectPixels({{BX + 2, BY + 10}, {BX + 10, BY + 2}, {BX + BW - 2, BY + 10}, {BX + 10, BY + BH - 2}}, Flat,
                 "pressed bevel");
}

TEST_F(GuiButtonTest, ColouredButtonFillsInsideTheFrameInsteadOfTheBevel)
{
    GuiButton* button = addButton(0);
    button->setColour(0xFF3060C0);
    gui.root->draw(gui.renderer);
    // The fill is w-3 by h-3 from (x+2, y+2).
    expectPixels({{BX + 2, BY + 2}, {BX + BW - 2, BY + BH - 2}, {BX + BW / 2, BY + BH / 2}}, {0xC0, 0x60, 0x30, 255},
                 "fill");
    expectPixels({{BX + 1, BY + 10}}, Black, "frame");
}

TEST_F(GuiButtonTest, CaptionIsDrawnAndDropsOnePixelWhilePressed)
{
    addButton(0, 100, "Open GPX");
    auto firstInkRow = [this] {
        for (int y = BY + 4; y < BY + BH - 4; ++y)
            for (int x = BX + 4; x < BX + BW - 4; ++x)
                if (readPixel(gui.renderer, x, y).r < 100)
                    return y;
        return -1;
    };
    gui.root->draw(gui.renderer);
    const int upTop = firstInkRow();
    ASSERT_GE(upTop, 0) << "the caption was drawn";
    pressInside();
    gui.root->draw(gui.renderer);
    EXPECT_EQ(firstInkRow(), upTop + 1);
}
