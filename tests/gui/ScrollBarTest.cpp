#include "gui/ScrollBar.h"

#include "gui/GuiListCtrl.h"
#include "gui/GuiText.h"
#include "gui/GuiTextCtrl.h"
#include "gui/GuiTreeListCtrl.h"
#include "support/GuiTestSupport.h"

#include <gtest/gtest.h>


namespace {

ScrollBar verticalBar(int trackLen, int content, int view, int position)
{
    ScrollBar bar;
    bar.orientation = ScrollBar::Vertical;
    scrollBarUpdate(bar, 50, 10, 14, trackLen, content, view, position, -1);
    return bar;
}

std::array<int, 4> rect(SDL_Rect r) { return {r.x, r.y, r.w, r.h}; }

} // namespace

TEST(ScrollBar, ThumbGeometryRoundsHalvesAwayFromZeroAndStaysOnTheTrack)
{
    struct Case {
        int track, content, view, position, thumbY, thumbH;
    };
    const Case cases[] = {
        {100, 300, 100, 100, 10 + 34, 33},   // thumb 33.33 -> 33; offset 100/200 * 67 = 33.5 -> 34
        {100, 300, 100, 200, 10 + 67, 33},   // at the end the thumb touches the track's end
        {100, 300, 100, 5000, 10 + 67, 33},  // past the end
        {100, 300, 100, -50, 10, 33},
        {100, 100000, 100, 0, 10, 16},       // never shorter than the minimum
        {100, 0, 100, 0, 10, 100},           // nothing to scroll: the whole track
        {10, 300, 100, 100, 10, 10},         // track shorter than the minimum thumb
    };
    for (const Case& c : cases) {
        const ScrollBar bar = verticalBar(c.track, c.content, c.view, c.position);
        EXPECT_EQ(rect(bar.thumb), (std::array{50, c.thumbY, 14, c.thumbH}))
            << c.track << " " << c.content << " " << c.view << " " << c.position;
    }

    ScrollBar bar;
    bar.orientation = ScrollBar::Horizontal;
    scrollBarUpdate(bar, 0, 86, 200, 14, 400, 200, 100, -1);
    EXPECT_EQ(rect(bar.thumb), (std::array{50, 86, 100, 14}));
}

TEST(ScrollBar, HitsDragAndPageSteps)
{
    ScrollBar bar = verticalBar(100, 300, 100, 0);  // thumb y 10..42, 67 pixels of room
    EXPECT_TRUE(scrollBarThumbHit(bar, 50, 10)) << "left and top edges hit, right and bottom do not";
    EXPECT_FALSE(scrollBarThumbHit(bar, 64, 10));
    EXPECT_FALSE(scrollBarThumbHit(bar, 50, 43));
    EXPECT_TRUE(scrollBarTrackHit(bar, 63, 109));
    EXPECT_FALSE(scrollBarTrackHit(bar, 63, 110));

    scrollBarBeginDrag(bar, 20);
    EXPECT_TRUE(bar.dragging);
    // Pointer 44 pixels down the room of 67: 44/67 * 200 = 131.3; the ends clamp.
    for (auto [pointer, position] : {std::pair{20, 0}, {64, 131}, {1000, 200}, {-1000, 0}})
        EXPECT_EQ(scrollBarDragPosition(bar, pointer, 300, 100), position) << pointer;
    EXPECT_EQ(scrollBarDragPosition(bar, 64, 50, 100), 0) << "content that fits never scrolls";

    bar = verticalBar(100, 300, 100, 100);  // thumb y 44..76; the pixel just past it still counts as on it
    for (auto [pointer, from, to] : {std::tuple{43, 100, 20}, {43, 30, 0}, {44, 100, 100}, {77, 100, 100},
                                     {78, 100, 180}})
        EXPECT_EQ(scrollBarPageStep(bar, pointer, from, 80), to) << pointer;
}

TEST(ScrollArea, BarsAppearAtTheExactThresholds)
{
    struct Case {
        int contentW, contentH;
        bool v, h;
    };
    // 201 x 100: the horizontal bar eats 14 rows of pixels, so the vertical one is needed too.
    const Case cases[] = {{200, 100, false, false}, {201, 86, false, true}, {186, 101, true, false}, {201, 100, true, true}};
    ScrollBar v, h;
    for (const Case& c : cases) {
        int sx = 0, sy = 0;
        const SDL_Rect view = layoutScrollArea(v, h, SDL_Rect{0, 0, 200, 100}, c.contentW, c.contentH, sx, sy);
        EXPECT_EQ((std::array{v.visible, h.visible}), (std::array{c.v, c.h})) << c.contentW << " x " << c.contentH;
        EXPECT_EQ((std::array{view.w, view.h}), (std::array{c.v ? 186 : 200, c.h ? 86 : 100}));
    }
    EXPECT_EQ(rect(v.track), (std::array{186, 0, 14, 86}));
    EXPECT_EQ(rect(h.track), (std::array{0, 86, 186, 14}));
}

TEST(ScrollArea, WheelStepsGoTheUsersWayAndShiftTurnsThemSideways)
{
    struct Step {
        int wheelX, wheelY;
        bool flipped, shift;
        int rowHeight, sx, sy;
    };
    const Step steps[] = {
        {0, -2, false, false, 21, 100, 142},
        {0, 2, true, false, 21, 100, 184},  // natural scrolling means the same as the line above
        {0, -1, false, true, 21, 140, 184},  // Shift: sideways instead
        {0, 1, true, true, 21, 180, 184},
        {1, 0, false, false, 21, 140, 184},
        {0, 1, false, false, 0, 140, 168},  // rows without a height step by 16
    };
    int sx = 100, sy = 100;
    for (const Step& s : steps) {
        SDL_MouseWheelEvent wheel{};
        wheel.x = s.wheelX;
        wheel.y = s.wheelY;
        wheel.direction = s.flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
        applyWheel(wheel, s.shift, s.rowHeight, sx, sy);
        EXPECT_EQ((std::array{sx, sy}), (std::array{s.sx, s.sy}));
    }
}


TEST(ScrollArea, EveryScrollingControlTakesAFlippedWheelAlike)
{
    guitest::GuiFixtureState gui;
    auto* list = gui.root->add(new GuiListCtrl(nullptr, 1, 0, 0, 100, 100, 0xFFFFFFFF, uiFont));
    auto* tree = gui.root->add(new GuiTreeListCtrl(nullptr, 2, 100, 0, 100, 100, 0xFFFFFFFF, uiFont));
    auto* text = gui.root->add(new GuiTextCtrl(nullptr, 3, 200, 0, 100, 100, 0xFFFFFFFF, ftFace, TextStyle::MultiLine));
    std::string lines;
    for (int i = 0; i < 40; ++i) {
        list->addItem(i, "row");
        tree->addNode(-1, i + 1, {"row"});
        lines += "line\n";
    }
    list->layoutList();
    tree->layoutTree();
    text->setText(lines);
    for (auto [x, scrollY] : {std::pair{0, &list->scrollY}, {100, &tree->scrollY}, {200, &text->scrollY}}) {
        guitest::wheel(gui.root, x + 10, 50, 100);
        guitest::wheel(gui.root, x + 10, 50, -2);
        const int plain = *scrollY;
        EXPECT_GT(plain, 0) << x;
        guitest::wheel(gui.root, x + 10, 50, 100);
        guitest::wheel(gui.root, x + 10, 50, 2, 0, SDL_MOUSEWHEEL_FLIPPED);
        EXPECT_EQ(*scrollY, plain) << x;
    }
}
