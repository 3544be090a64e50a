#include "gui/ScrollBar.h"

#include <gtest/gtest.h>

#include <array>

namespace {

ScrollBar bar(int trackLen, int content, int view, int position)
{
    ScrollBar b;
    b.orientation = ScrollBar::Vertical;
    scrollBarUpdate(b, 50, 10, 14, trackLen, content, view, position, -1);
    return b;
}

std::array<int, 4> rect(SDL_Rect r) { return {r.x, r.y, r.w, r.h}; }

} // namespace

TEST(ScrollBar, ThumbGeometryRoundsHalvesAwayFromZeroAndStaysOnTheTrack)
{
    // {track, content, view, position, thumb y, thumb h}; 33.33 -> 33, offset 100/200 * 67 = 33.5 -> 34.
    const std::array<int, 6> cases[] = {
        {100, 300, 100, 100, 44, 33}, {100, 300, 100, 200, 77, 33}, {100, 300, 100, 5000, 77, 33},
        {100, 300, 100, -50, 10, 33}, {100, 100000, 100, 0, 10, 16}, {100, 0, 100, 0, 10, 100},
        {10, 300, 100, 100, 10, 10},
    };
    for (auto [track, content, view, position, y, h] : cases)
        EXPECT_EQ(rect(bar(track, content, view, position).thumb), (std::array{50, y, 14, h})) << track << " "
                                                                                               << position;
    ScrollBar sideways;
    sideways.orientation = ScrollBar::Horizontal;
    scrollBarUpdate(sideways, 0, 86, 200, 14, 400, 200, 100, -1);
    EXPECT_EQ(rect(sideways.thumb), (std::array{50, 86, 100, 14}));
}

TEST(ScrollBar, HitsDragAndPageSteps)
{
    ScrollBar b = bar(100, 300, 100, 0);  // thumb y 10..42, 67 pixels of room
    EXPECT_EQ((std::array{scrollBarThumbHit(b, 50, 10), scrollBarThumbHit(b, 64, 10), scrollBarThumbHit(b, 50, 43),
                          scrollBarTrackHit(b, 63, 109), scrollBarTrackHit(b, 63, 110)}),
              (std::array{true, false, false, true, false}));
    scrollBarBeginDrag(b, 20);
    // Pointer 44 pixels down the room of 67: 44/67 * 200 = 131.3; the ends clamp.
    for (auto [pointer, position] : {std::pair{20, 0}, {64, 131}, {1000, 200}, {-1000, 0}})
        EXPECT_EQ(scrollBarDragPosition(b, pointer, 300, 100), position) << pointer;
    EXPECT_EQ(scrollBarDragPosition(b, 64, 50, 100), 0) << "content that fits never scrolls";

    b = bar(100, 300, 100, 100);  // thumb y 44..76; the pixel just past it still counts as on it
    for (auto [pointer, from, to] : {std::tuple{43, 100, 20}, {43, 30, 0}, {44, 100, 100}, {77, 100, 100},
                                     {78, 100, 180}})
        EXPECT_EQ(scrollBarPageStep(b, pointer, from, 80), to) << pointer;
}

TEST(ScrollArea, BarsAppearAtTheExactThresholds)
{
    // 201 x 100: the horizontal bar eats 14 rows of pixels, so the vertical one is needed too.
    const std::tuple<int, int, bool, bool> cases[] = {
        {200, 100, false, false}, {201, 86, false, true}, {186, 101, true, false}, {201, 100, true, true}};
    ScrollBar v, h;
    for (auto [contentW, contentH, showV, showH] : cases) {
        int sx = 0, sy = 0;
        const SDL_Rect view = layoutScrollArea(v, h, SDL_Rect{0, 0, 200, 100}, contentW, contentH, sx, sy);
        EXPECT_EQ((std::array{v.visible, h.visible}), (std::array{showV, showH})) << contentW << " x " << contentH;
        EXPECT_EQ((std::array{view.w, view.h}), (std::array{showV ? 186 : 200, showH ? 86 : 100}));
    }
    EXPECT_EQ(rect(v.track), (std::array{186, 0, 14, 86}));
    EXPECT_EQ(rect(h.track), (std::array{0, 86, 186, 14}));
}

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
