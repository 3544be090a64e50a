// ScrollBar: geometry, hit tests, dragging and paging; the two-bar scroll area.
//
// [SECTION] One bar
// [SECTION] Two-bar scroll area

#include "gui/ScrollBar.h"

#include <algorithm>
#include <cmath>

namespace {

// Nearest integer, halves away from zero (lroundf rounds exactly so).
int roundToInt(float v)
{
    return int(std::lround(v));
}

bool horizontal(const ScrollBar& bar)
{
    return bar.orientation == ScrollBar::Horizontal;
}

int trackStart(const ScrollBar& bar) { return horizontal(bar) ? bar.track.x : bar.track.y; }
int trackLength(const ScrollBar& bar) { return horizontal(bar) ? bar.track.w : bar.track.h; }
int thumbStart(const ScrollBar& bar) { return horizontal(bar) ? bar.thumb.x : bar.thumb.y; }
int thumbLength(const ScrollBar& bar) { return horizontal(bar) ? bar.thumb.w : bar.thumb.h; }

bool inRect(const SDL_Rect& r, int x, int y)
{
    return x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
}

} // namespace

// [SECTION] One bar

void scrollBarUpdate(ScrollBar& bar, int x, int y, int w, int h, int content, int view, int position,
                     int maxPosition)
{
    bar.track = SDL_Rect{x, y, w, h};
    const int trackLen = horizontal(bar) ? w : h;
    const float share = content < 1 ? 1.0f : float(view) / float(content);
    const int thumbLen = std::max(roundToInt(float(trackLen) * share), bar.minThumb);
    bar.thumb = bar.track;
    if (trackLen <= thumbLen)
        return;
    const int maxPos = maxPosition < 0 ? content - view : maxPosition;
    const int room = trackLen - thumbLen;
    // A position past the end (callers that do not clamp) still keeps the thumb on the track.
    const int offset = std::clamp(roundToInt(float(position) / float(std::max(maxPos, 1)) * float(room)), 0, room);
    if (horizontal(bar)) {
        bar.thumb.x += offset;
        bar.thumb.w = thumbLen;
    } else {
        bar.thumb.y += offset;
        bar.thumb.h = thumbLen;
    }
}

void scrollBarDraw(const ScrollBar& bar, SDL_Renderer* renderer, SDL_Color trackColour, SDL_Color thumbColour)
{
    SDL_SetRenderDrawColor(renderer, trackColour.r, trackColour.g, trackColour.b, trackColour.a);
    SDL_RenderFillRect(renderer, &bar.track);
    SDL_SetRenderDrawColor(renderer, thumbColour.r, thumbColour.g, thumbColour.b, thumbColour.a);
    SDL_RenderFillRect(renderer, &bar.thumb);
}

bool scrollBarThumbHit(const ScrollBar& bar, int x, int y) { return inRect(bar.thumb, x, y); }

bool scrollBarTrackHit(const ScrollBar& bar, int x, int y) { return inRect(bar.track, x, y); }

void scrollBarBeginDrag(ScrollBar& bar, int coordinate)
{
    bar.dragging = true;
    bar.dragStartMouse = coordinate;
    bar.dragStartThumb = thumbStart(bar);
}

int scrollBarDragPosition(const ScrollBar& bar, int coordinate, int content, int view)
{
    const int start = trackStart(bar);
    const int room = trackLength(bar) - thumbLength(bar);
    const int t = std::clamp(coordinate - bar.dragStartMouse + bar.dragStartThumb, start, start + std::max(room, 0));
    return roundToInt(float(t - start) / float(std::max(room, 1)) * float(std::max(content - view, 0)));
}

int scrollBarPageStep(const ScrollBar& bar, int coordinate, int position, int page)
{
    if (coordinate < thumbStart(bar))
        return std::max(position - page, 0);
    if (thumbStart(bar) + thumbLength(bar) < coordinate)
        return position + page;  // the owner's layout clamps it
    return position;
}

// [SECTION] Two-bar scroll area

SDL_Rect showScrollBars(ScrollBar& vBar, ScrollBar& hBar, SDL_Rect area, int contentW, int contentH)
{
    constexpr int t = ScrollBarThickness;
    const int W = area.w, H = area.h;
    bool showV = false, showH = false;
    if (contentH <= H && contentW <= W) {
        // everything fits
    } else if (contentW > W && contentH <= H - t) {
        showH = true;
    } else if (contentH > H && contentW <= W - t) {
        showV = true;
    } else {
        // One bar takes room the other direction needed, so both show.
        showV = showH = true;
    }
    vBar.orientation = ScrollBar::Vertical;
    hBar.orientation = ScrollBar::Horizontal;
    vBar.visible = showV;
    hBar.visible = showH;
    if (!showV)
        vBar.dragging = false;
    if (!showH)
        hBar.dragging = false;
    return SDL_Rect{area.x, area.y, showV ? W - t : W, showH ? H - t : H};
}

void placeScrollBars(ScrollBar& vBar, ScrollBar& hBar, SDL_Rect area, int contentW, int contentH, int scrollX,
                     int scrollY)
{
    constexpr int t = ScrollBarThickness;
    const int viewW = vBar.visible ? area.w - t : area.w;
    const int viewH = hBar.visible ? area.h - t : area.h;
    scrollBarUpdate(vBar, area.x + area.w - t, area.y, t, viewH, contentH, viewH, scrollY, -1);
    scrollBarUpdate(hBar, area.x, area.y + area.h - t, viewW, t, contentW, viewW, scrollX, -1);
}

SDL_Rect layoutScrollArea(ScrollBar& vBar, ScrollBar& hBar, SDL_Rect area, int contentW, int contentH,
                          int& scrollX, int& scrollY)
{
    const SDL_Rect view = showScrollBars(vBar, hBar, area, contentW, contentH);
    scrollY = std::clamp(scrollY, 0, std::max(contentH - view.h, 0));
    scrollX = std::clamp(scrollX, 0, std::max(contentW - view.w, 0));
    placeScrollBars(vBar, hBar, area, contentW, contentH, scrollX, scrollY);
    return view;
}

void drawScrollBars(SDL_Renderer* renderer, const ScrollBar& vBar, const ScrollBar& hBar)
{
    if (vBar.visible)
        scrollBarDraw(vBar, renderer, ScrollTrackColour, ScrollThumbColour);
    if (hBar.visible)
        scrollBarDraw(hBar, renderer, ScrollTrackColour, ScrollThumbColour);
    if (vBar.visible && hBar.visible) {
        SDL_Rect corner{vBar.track.x, hBar.track.y, ScrollBarThickness, ScrollBarThickness};
        SDL_SetRenderDrawColor(renderer, ScrollTrackColour.r, ScrollTrackColour.g, ScrollTrackColour.b,
                               ScrollTrackColour.a);
        SDL_RenderFillRect(renderer, &corner);
    }
}

int scrollToShow(int scroll, int top, int length, int view)
{
    if (scroll > top)
        return top;
    if (scroll + view < top + length)
        return top + length - view;
    return scroll;
}

bool dragScrollBars(const ScrollBar& vBar, const ScrollBar& hBar, const SDL_MouseMotionEvent& motion,
                    int contentWidth, int contentHeight, int& scrollX, int& scrollY)
{
    if (vBar.dragging)
        scrollY = scrollBarDragPosition(vBar, motion.y, contentHeight, vBar.track.h);
    else if (hBar.dragging)
        scrollX = scrollBarDragPosition(hBar, motion.x, contentWidth, hBar.track.w);
    else
        return false;
    return true;
}

bool pressScrollBars(ScrollBar& vBar, ScrollBar& hBar, int px, int py, int vPage, int hPage, int& scrollX,
                     int& scrollY)
{
    if (vBar.visible) {
        if (scrollBarThumbHit(vBar, px, py)) {
            scrollBarBeginDrag(vBar, py);
            return true;
        }
        if (scrollBarTrackHit(vBar, px, py)) {
            scrollY = scrollBarPageStep(vBar, py, scrollY, vPage);
            return true;
        }
    }
    if (hBar.visible) {
        if (scrollBarThumbHit(hBar, px, py)) {
            scrollBarBeginDrag(hBar, px);
            return true;
        }
        if (scrollBarTrackHit(hBar, px, py)) {
            scrollX = scrollBarPageStep(hBar, px, scrollX, hPage);
            return true;
        }
    }
    return false;
}

WheelSteps wheelSteps(const SDL_MouseWheelEvent& wheel, bool shiftHeld)
{
    WheelSteps steps{wheel.x, wheel.y};
    if (wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
        steps.x = -steps.x;
        steps.y = -steps.y;
    }
    if (shiftHeld && steps.x == 0) {
        steps.x = steps.y;
        steps.y = 0;
    }
    return steps;
}

void applyWheel(const SDL_MouseWheelEvent& wheel, bool shiftHeld, int lineStep, int& scrollX, int& scrollY)
{
    const WheelSteps steps = wheelSteps(wheel, shiftHeld);
    scrollY -= steps.y * (lineStep < 1 ? 16 : lineStep);
    scrollX -= steps.x * WheelSideStep;
}

bool scrollAreaInput(const SDL_Event& sdl, ScrollBar& vBar, ScrollBar& hBar, int contentWidth, int contentHeight,
                     int vPage, int rowStep, int& scrollX, int& scrollY)
{
    switch (sdl.type) {
    case SDL_MOUSEBUTTONUP:
        vBar.dragging = hBar.dragging = false;
        return false;
    case SDL_MOUSEMOTION:
        return dragScrollBars(vBar, hBar, sdl.motion, contentWidth, contentHeight, scrollX, scrollY);
    case SDL_MOUSEBUTTONDOWN:
        return pressScrollBars(vBar, hBar, sdl.button.x, sdl.button.y, vPage,
                               std::max(hBar.track.w - WheelSideStep, 1), scrollX, scrollY);
    case SDL_MOUSEWHEEL:
        applyWheel(sdl.wheel, (SDL_GetModState() & KMOD_SHIFT) != 0, rowStep, scrollX, scrollY);
        return true;
    default:
        return false;
    }
}
