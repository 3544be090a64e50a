// Push and auto-repeat buttons: where a press and a release count,
// callbacks against notifications, repeat timing, and the frame as drawn.

#include "support/GuiTestSupport.h"

#include "gui/GuiButton.h"

using namespace guitest;

namespace {

constexpr int BX = 50, BY = 40, BW = 80, BH = 26;
using Calls = std::vector<std::pair<GuiButton*, bool>>;

struct GuiButtonTest : ::testing::Test {
    GuiButton* addButton(Uint32 flags)
    {
        auto* button = gui.root->add(new GuiButton(nullptr, 107, BX, BY, BW, BH, 0xFFF0F0F0, "", uiFont, flags));
        button->addCallback([this](GuiButton* sender, bool state) { calls.emplace_back(sender, state); });
        return button;
    }
    size_t notified() const { return gui.engine->notifications.size(); }
    void expectGrey(std::initializer_list<std::pair<int, int>> points, int grey)
    {
        for (auto [x, y] : points)
            EXPECT_TRUE(near(readPixel(gui.renderer, x, y), SDL_Color{Uint8(grey), Uint8(grey), Uint8(grey), 255}))
                << grey << " at (" << x << ", " << y << ")";
    }

    GuiFixtureState gui;
    Calls calls;
};

} // namespace

TEST_F(GuiButtonTest, PressCallsBackAndOnlyAReleaseStrictlyInsideNotifies)
{
    GuiButton* button = addButton(0);
    int second = 0;
    button->addCallback([&second](GuiButton*, bool) { ++second; }); // every callback runs, not just the first
    press(gui.root, BX + 10, BY + 10);
    EXPECT_EQ((std::tuple{button->pressed, second, notified()}), (std::tuple{true, 1, size_t(0)}))
        << "a press alone posts nothing";
    release(gui.root, BX + 10, BY + 10);
    EXPECT_FALSE(button->pressed);
    ASSERT_EQ(notified(), 1u);
    const GuiEvent& n = gui.engine->notifications[0];
    EXPECT_EQ((std::vector<Uint64>{n.code, n.param, n.value, n.windowId}),
              (std::vector<Uint64>{GuiNotify::ButtonPressed, 107, 0, gui.window->windowId}));
    EXPECT_EQ(n.source, button);

    for (auto [x, y] : {std::pair{BX + BW + 30, BY + 10}, {BX, BY + 10}, {BX + 10, BY}, {BX + BW, BY + 10},
                        {BX + 10, BY + BH}, {BX + 1, BY + 1}, {BX + BW - 1, BY + BH - 1}}) {
        press(gui.root, BX + 10, BY + 10);
        release(gui.root, x, y);
    }
    EXPECT_EQ(calls, Calls(8, {button, true})) << "every press calls back, releases never";
    EXPECT_EQ(notified(), 3u) << "outside and the edge pixels do not count, one pixel in does";
    press(gui.root, BX + BW + 100, BY + 100);  // dragged onto the button from the background
    release(gui.root, BX + 10, BY + 10);
    EXPECT_EQ(notified(), 3u);
}

TEST_F(GuiButtonTest, AutoRepeatsAfterTheDelayOnlyWhileHeld)
{
    GuiButton* button = addButton(GuiButton::AutoRepeat);
    press(gui.root, BX + 10, BY + 10);
    const Uint32 t0 = button->pressTime;
    EXPECT_EQ(button->msUntilWakeUp(t0 + 100), 300u) << "the loop wakes for the first repeat";
    // A late frame fires once, never a burst, and the interval counts from it.
    for (auto [t, count] : {std::pair{399u, 0u}, {400u, 1u}, {459u, 1u}, {460u, 2u}, {1000u, 3u}, {1060u, 4u}}) {
        button->tick(t0 + t);
        EXPECT_EQ(notified(), count) << t;
    }
    release(gui.root, BX + 10, BY + 10);
    button->tick(t0 + 5000);
    EXPECT_EQ(notified(), 4u) << "no extra step on release, no repeat after it";

    // Each new button lies on top of the last, so it takes the next press.
    GuiButton* shortPress = addButton(GuiButton::AutoRepeat);
    press(gui.root, BX + 10, BY + 10);
    shortPress->tick(shortPress->pressTime + 399);
    release(gui.root, BX + 10, BY + 10);
    EXPECT_EQ(notified(), 5u) << "a short press is an ordinary click";
    GuiButton* dropped = addButton(GuiButton::AutoRepeat);
    press(gui.root, BX + 10, BY + 10);
    gui.root->releaseCapture();
    dropped->tick(dropped->pressTime + 1000);
    GuiButton* toggle = addButton(GuiButton::AutoRepeat | GuiButton::Toggle);
    press(gui.root, BX + 10, BY + 10);
    toggle->tick(toggle->pressTime + 5000);
    EXPECT_EQ(notified(), 5u) << "neither a lost capture nor a toggle repeats";
    EXPECT_EQ(toggle->msUntilWakeUp(toggle->pressTime), NoWakeUp) << "nor wakes the loop";
}

TEST_F(GuiButtonTest, BevelFlattensWhenPressedAndAColourFillsInsideTheFrame)
{
    GuiButton* button = addButton(0);
    gui.root->draw(gui.renderer);
    expectGrey({{BX, BY + 10}, {BX + 1, BY + 10}, {BX + 10, BY}, {BX + 10, BY + 1}, {BX + BW - 1, BY + 10},
                {BX + 10, BY + BH - 1}}, 0);
    // Cut corners, nothing outside the frame, unfilled inside.
    expectGrey({{BX, BY}, {BX + 10, BY - 1}, {BX - 1, BY + BH}, {BX + BW, BY - 1}, {BX + BW / 2, BY + BH / 2}}, 200);
    expectGrey({{BX + 2, BY + 10}, {BX + 3, BY + 10}, {BX + 10, BY + 2}, {BX + 10, BY + 3}}, 255);
    expectGrey({{BX + BW - 2, BY + 10}, {BX + BW - 3, BY + 10}, {BX + 10, BY + BH - 2}, {BX + 10, BY + BH - 3}}, 128);
    press(gui.root, BX + 10, BY + 10);
    gui.root->draw(gui.renderer);
    expectGrey({{BX + 2, BY + 10}, {BX + 10, BY + 2}, {BX + BW - 2, BY + 10}, {BX + 10, BY + BH - 2}}, 192);

    release(gui.root, BX + 10, BY + 10);
    button->setColour(0xFF404040);
    gui.root->draw(gui.renderer);
    expectGrey({{BX + 2, BY + 2}, {BX + BW - 2, BY + BH - 2}, {BX + BW / 2, BY + BH / 2}}, 64);
}
