#include "gui/ScrollBar.h"

#include <gtest/gtest.h>

namespace {

ScrollBar verticalBar(int trackLen, int content, int view, int position)
{
    ScrollBar bar;
    bar.orientation = ScrollBar::Vertical;
    scrollBarUpdate(bar, 50, 10, 14, trackLen, content, view, position, -1);
    return bar;
}

} // namespace

TEST(ScrollBar, ThumbShareAndOffsetRoundHalvesAwayFromZero)
{
    // 100 of 300 pixels shown: thumb 33.33 -> 33; offset 100/200 * 67 = 33.5 -> 34.
    ScrollBar bar = verticalBar(100, 300, 100, 100);
    EXPECT_EQ(bar.thumb.h, 33);
    EXPECT_EQ(bar.thumb.y, 10 + 34);
    EXPECT_EQ(bar.thumb.x, 50);
    EXPECT_EQ(bar.thumb.w, 14);

    bar = verticalBar(100, 300, 100, 200);
    EXPECT_EQ(bar.thumb.y + bar.thumb.h, 10 + 100) << "at the end the thumb touches the track's end";
}

TEST(ScrollBar, ThumbNeverShorterThanMinimumNorLongerThanTrack)
{
    ScrollBar bar = verticalBar(100, 100000, 100, 0);
    EXPECT_EQ(bar.thumb.h, 16);

    bar = verticalBar(100, 0, 100, 0);
    EXPECT_EQ(bar.thumb.y, bar.track.y);
    EXPECT_EQ(bar.thumb.h, bar.track.h);

    bar = verticalBar(10, 300, 100, 100);  // track shorter than the minimum thumb
    EXPECT_EQ(bar.thumb.h, 10);
}

TEST(ScrollBar, PositionPastTheEndKeepsTheThumbOnTheTrack)
{
    ScrollBar bar = verticalBar(100, 300, 100, 5000);
    EXPECT_EQ(bar.thumb.y + bar.thumb.h, bar.track.y + bar.track.h);
    bar = verticalBar(100, 300, 100, -50);
    EXPECT_EQ(bar.thumb.y, bar.track.y);
}

TEST(ScrollBar, HorizontalBarMovesAlongX)
{
    ScrollBar bar;
    bar.orientation = ScrollBar::Horizontal;
    scrollBarUpdate(bar, 0, 86, 200, 14, 400, 200, 100, -1);
    EXPECT_EQ(bar.thumb.w, 100);
    EXPECT_EQ(bar.thumb.x, 50);  // 100/200 * 100
    EXPECT_EQ(bar.thumb.y, 86);
    EXPECT_EQ(bar.thumb.h, 14);
}

TEST(ScrollBar, HitTestsIncludeLeftAndTopEdgesOnly)
{
    ScrollBar bar = verticalBar(100, 300, 100, 0);  // thumb y 10..42
    EXPECT_TRUE(scrollBarThumbHit(bar, 50, 10));
    EXPECT_FALSE(scrollBarThumbHit(bar, 64, 10));
    EXPECT_FALSE(scrollBarThumbHit(bar, 50, 43));
    EXPECT_TRUE(scrollBarTrackHit(bar, 63, 109));
    EXPECT_FALSE(scrollBarTrackHit(bar, 63, 110));
}

TEST(ScrollBar, DragFollowsPointerAndClampsToTheEnds)
{
    ScrollBar bar = verticalBar(100, 300, 100, 0);  // thumb 33 long, 67 pixels of room
    scrollBarBeginDrag(bar, 20);
    EXPECT_TRUE(bar.dragging);
    EXPECT_EQ(bar.dragStartMouse, 20);
    EXPECT_EQ(bar.dragStartThumb, 10);

    EXPECT_EQ(scrollBarDragPosition(bar, 20, 300, 100), 0);
    // Thumb 44 pixels down the room of 67: 44/67 * 200 = 131.3.
    EXPECT_EQ(scrollBarDragPosition(bar, 64, 300, 100), 131);
    EXPECT_EQ(scrollBarDragPosition(bar, 1000, 300, 100), 200);
    EXPECT_EQ(scrollBarDragPosition(bar, -1000, 300, 100), 0);
    EXPECT_EQ(scrollBarDragPosition(bar, 64, 50, 100), 0) << "content that fits never scrolls";
}

TEST(ScrollBar, PageStepMovesTowardsTheClick)
{
    ScrollBar bar = verticalBar(100, 300, 100, 100);  // thumb y 44..76
    EXPECT_EQ(scrollBarPageStep(bar, 43, 100, 80), 20);
    EXPECT_EQ(scrollBarPageStep(bar, 43, 30, 80), 0);
    EXPECT_EQ(scrollBarPageStep(bar, 44, 100, 80), 100);
    EXPECT_EQ(scrollBarPageStep(bar, 77, 100, 80), 100) << "the pixel just past the thumb still counts as on it";
    EXPECT_EQ(scrollBarPageStep(bar, 78, 100, 80), 180);
}

TEST(ScrollArea, BarsAppearAtTheExactThresholds)
{
    ScrollBar v, h;
    int sx = 0, sy = 0;
    const SDL_Rect area{0, 0, 200, 100};

    SDL_Rect view = layoutScrollArea(v, h, area, 200, 100, sx, sy);
    EXPECT_FALSE(v.visible);
    EXPECT_FALSE(h.visible);
    EXPECT_EQ(view.w, 200);
    EXPECT_EQ(view.h, 100);

    layoutScrollArea(v, h, area, 201, 86, sx, sy);
    EXPECT_TRUE(h.visible);
    EXPECT_FALSE(v.visible);

    layoutScrollArea(v, h, area, 186, 101, sx, sy);
    EXPECT_TRUE(v.visible);
    EXPECT_FALSE(h.visible);

    // Content exactly as tall as the area but too wide: the horizontal bar
    // eats 14 rows of pixels, so the vertical one is needed too.
    view = layoutScrollArea(v, h, area, 201, 100, sx, sy);
    EXPECT_TRUE(v.visible);
    EXPECT_TRUE(h.visible);
    EXPECT_EQ(view.w, 186);
    EXPECT_EQ(view.h, 86);
    EXPECT_EQ(v.track.x, 186);
    EXPECT_EQ(v.track.h, 86);
    EXPECT_EQ(h.track.y, 86);
    EXPECT_EQ(h.track.w, 186);
}

TEST(ScrollArea, OffsetsAreClampedAndHiddenBarsStopDragging)
{
    ScrollBar v, h;
    int sx = 500, sy = 500;
    layoutScrollArea(v, h, SDL_Rect{0, 0, 200, 100}, 300, 400, sx, sy);
    EXPECT_EQ(sy, 400 - 86);
    EXPECT_EQ(sx, 300 - 186);

    v.dragging = h.dragging = true;
    sx = sy = -5;
    layoutScrollArea(v, h, SDL_Rect{0, 0, 200, 100}, 10, 10, sx, sy);
    EXPECT_EQ(sx, 0);
    EXPECT_EQ(sy, 0);
    EXPECT_FALSE(v.dragging);
    EXPECT_FALSE(h.dragging);
}

TEST(ScrollArea, WheelScrollsRowsAndShiftAddsSideways)
{
    SDL_MouseWheelEvent wheel{};
    int sx = 100, sy = 100;
    wheel.y = -2;
    applyWheel(wheel, false, 21, sx, sy);
    EXPECT_EQ(sy, 142);
    EXPECT_EQ(sx, 100);

    applyWheel(wheel, true, 21, sx, sy);
    EXPECT_EQ(sy, 184);
    EXPECT_EQ(sx, 180);

    wheel.y = 0;
    wheel.x = 1;
    applyWheel(wheel, false, 21, sx, sy);
    EXPECT_EQ(sx, 140);
    EXPECT_EQ(sy, 184);

    wheel.x = 0;
    wheel.y = 1;
    applyWheel(wheel, false, 0, sx, sy);
    EXPECT_EQ(sy, 168) << "rows without a height step by 16";
}
