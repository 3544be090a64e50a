#pragma once
// Scroll-bar state and geometry, plus the two-bar scroll area that the list,
// the tree list and the multi-line text control build from it (which bars
// show, the view size, clamping, wheel and clicks).
//
// All coordinates are window pixels. Lengths are rounded in single precision
// with halves away from zero, so thumbs land on the same pixel everywhere.

#include <SDL.h>

struct ScrollBar {
    static constexpr int Horizontal = 1;
    static constexpr int Vertical = 0;

    bool visible = false;
    int orientation = Vertical;
    int minThumb = 16;
    SDL_Rect track{0, 0, 0, 0};
    SDL_Rect thumb{0, 0, 0, 0};
    bool dragging = false;
    int dragStartMouse = 0;  // pointer x (horizontal) or y (vertical) when the drag began
    int dragStartThumb = 0;  // thumb start along the bar when the drag began
};

// Sets track and thumb for a content of `content` pixels seen through `view`
// pixels at `position`; a negative maxPosition means content - view.
void scrollBarUpdate(ScrollBar& bar, int x, int y, int w, int h, int content, int view, int position,
                     int maxPosition);
void scrollBarDraw(const ScrollBar& bar, SDL_Renderer* renderer, SDL_Color trackColour, SDL_Color thumbColour);
bool scrollBarThumbHit(const ScrollBar& bar, int x, int y);
bool scrollBarTrackHit(const ScrollBar& bar, int x, int y);
void scrollBarBeginDrag(ScrollBar& bar, int coordinate);
// Scroll position for the thumb dragged to follow the pointer at `coordinate`.
int scrollBarDragPosition(const ScrollBar& bar, int coordinate, int content, int view);
// Position after a click on the track at `coordinate`: one page towards the click.
int scrollBarPageStep(const ScrollBar& bar, int coordinate, int position, int page);

// [SECTION] Two-bar scroll area

constexpr int ScrollBarThickness = 14;
constexpr SDL_Color ScrollTrackColour{230, 230, 230, 255};
constexpr SDL_Color ScrollThumbColour{160, 160, 160, 255};

// Chooses the bars for content of contentW x contentH in `area`, clamps the
// offsets and places both bars. Returns the part of the area left for content.
// Controls with their own clamping (whole text lines) use the two steps apart.
SDL_Rect showScrollBars(ScrollBar& vBar, ScrollBar& hBar, SDL_Rect area, int contentW, int contentH);
void placeScrollBars(ScrollBar& vBar, ScrollBar& hBar, SDL_Rect area, int contentW, int contentH, int scrollX,
                     int scrollY);
SDL_Rect layoutScrollArea(ScrollBar& vBar, ScrollBar& hBar, SDL_Rect area, int contentW, int contentH,
                          int& scrollX, int& scrollY);

// Both visible bars and, when both show, the corner square between them.
void drawScrollBars(SDL_Renderer* renderer, const ScrollBar& vBar, const ScrollBar& hBar);

// A press at (px, py): thumb starts a drag, track pages. True when a bar took it.
bool pressScrollBars(ScrollBar& vBar, ScrollBar& hBar, int px, int py, int vPage, int hPage, int& scrollX,
                     int& scrollY);

// Scroll offset that brings [top, top + length) into a view of `view` pixels,
// moving as little as it can.
int scrollToShow(int scroll, int top, int length, int view);

// Pointer motion while a thumb is dragged moves that bar's scroll offset.
// False when neither bar is being dragged.
bool dragScrollBars(const ScrollBar& vBar, const ScrollBar& hBar, const SDL_MouseMotionEvent& motion,
                    int contentWidth, int contentHeight, int& scrollX, int& scrollY);

// Wheel movement in steps as the user meant it: a flipped wheel (natural
// scrolling) is turned back, and with Shift a vertical wheel scrolls sideways.
// Every scrolling control goes through this, so they all move the same way.
struct WheelSteps {
    int x = 0;
    int y = 0;
};
WheelSteps wheelSteps(const SDL_MouseWheelEvent& wheel, bool shiftHeld);

constexpr int WheelSideStep = 40;  // pixels per sideways step

// Applies a wheel event: vertical steps move rows of `lineStep` pixels,
// sideways steps WheelSideStep pixels.
void applyWheel(const SDL_MouseWheelEvent& wheel, bool shiftHeld, int lineStep, int& scrollX, int& scrollY);

// The bars' and the wheel's share of a scrolling control's mouse input: a
// button release ends thumb drags, motion moves a dragged thumb, a press on a
// bar drags its thumb or pages (vPage pixels up or down, the view's width less
// one sideways step across), the wheel moves rows of `rowStep` pixels. True
// when the offsets may have moved (the owner lays out again); false for
// everything the control handles itself.
bool scrollAreaInput(const SDL_Event& sdl, ScrollBar& vBar, ScrollBar& hBar, int contentWidth, int contentHeight,
                     int vPage, int rowStep, int& scrollX, int& scrollY);
