#include "gui/ScrollBar.h"

#include <gtest/gtest.h>

#include <array>

TEST(ScrollArea, WheelStepsGoTheUsersWayAndShiftTurnsThemSideways)
{
    // {wheel x, wheel y, flipped, Shift, row height, scroll x, scroll y} after each step.
    const std::array<int, 7> steps[] = {
        {0, -2, 0, 0, 21, 100, 142}, {0, 2, 1, 0, 21, 100, 184}, {0, -1, 0, 1, 21, 140, 184},
        {0, 1, 1, 1, 21, 180, 184},  {1, 0, 0, 0, 21, 140, 184}, {0, 1, 0, 0, 0, 140, 168},
    };
    int sx = 100, sy = 100;
    for (auto [wx, wy, flipped, shift, rowHeight, x, y] : steps) {
        SDL_MouseWheelEvent wheel{};
        wheel.x = wx, wheel.y = wy;
        wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
        applyWheel(wheel, shift, rowHeight, sx, sy);
        EXPECT_EQ((std::array{sx, sy}), (std::array{x, y}));
    }
}
