// GuiButton: press and release, auto-repeat, the frame with its bevel.
//
// [SECTION] Construction and value
// [SECTION] Events and auto-repeat
// [SECTION] Drawing

#include "gui/GuiButton.h"

#include "gui/GuiMessages.h"
#include "gui/GuiText.h"
#include "gui/GuiWindow.h"

#include <algorithm>

// [SECTION] Construction and value

GuiButton::GuiButton(GuiObject* parent_, int id_, int x_, int y_, int w_, int h_, Uint32 colour_,
                     const std::string& text_, TTF_Font* font_, Uint32 flags_)
    : GuiObject(parent_, id_, x_, y_, w_, h_, colour_ & 0x00FFFFFFu), text(text_), flags(flags_), font(font_)
{
}

bool GuiButton::getValue(std::string& out)
{
    if (!isToggle())
        return false;
    out.assign(1, pressed ? '1' : '0');
    return true;
}

bool GuiButton::setValue(const std::string& value)
{
    return isToggle() && setToggleValue(value);
}

bool GuiButton::setToggleValue(const std::string& value)
{
    bool on = false;
    if (value == "1" || value == "true")
        on = true;
    else if (value != "0" && value != "false")
        return false;
    if (on != pressed) {
        pressed = on;
        markDirty();
        runCallbacks();
    }
    return true;
}

bool GuiButton::isCacheable() { return true; }

const char* GuiButton::className() { return "GuiButton"; }

void GuiButton::addCallback(Callback callback)
{
    callbacks.push_back(std::move(callback));
}

void GuiButton::setColour(Uint32 value)
{
    colour = colourFromValue(value);
    markDirty();
}

void GuiButton::setText(const std::string& caption)
{
    text = caption;
    markDirty();
}

void GuiButton::runCallbacks()
{
    // Index loop: a callback may add further callbacks.
    for (size_t i = 0; i < callbacks.size(); ++i)
        callbacks[i](this, pressed);
}

void GuiButton::postNotification(Uint32 code, Uint32 param, Uint64 value)
{
    if (window)
        window->postNotification(code, param, value, this);
}

// [SECTION] Events and auto-repeat

void GuiButton::handleEvent(GuiEvent& event)
{
    if (event.kind != GuiEvent::SdlInput || !event.sdlEvent)
        return;
    const SDL_Event& sdl = *event.sdlEvent;
    if (sdl.type == SDL_MOUSEBUTTONDOWN) {
        guiDebug("BUTTON DOWN\n");
        if (isToggle()) {
            pressed = !pressed;
        } else {
            pressed = true;
            repeated = false;
            pressTime = lastRepeatTime = SDL_GetTicks();
        }
        markDirty();
        runCallbacks();
    } else if (sdl.type == SDL_MOUSEBUTTONUP && !isToggle()) {
        // Only a press that began here counts: the window hands a stray
        // release (the press fell on bare background) to the focused widget.
        const bool wasPressed = pressed;
        pressed = false;
        markDirty();
        // Strictly inside: a release on the frame's first row or column does not count,
        // and neither does the synthetic release (x = -1) of releaseCapture.
        const int px = sdl.button.x, py = sdl.button.y;
        const bool inside = px > x && px < x + w && py > y && py < y + h;
        // Once the button has repeated, letting go must not add one more step.
        if (wasPressed && !repeated && inside)
            postNotification(GuiNotify::ButtonPressed, Uint32(id), 0);
    }
}

void GuiButton::tick(Uint32 now)
{
    if (!isAutoRepeat() || isToggle() || !pressed)
        return;
    if (Sint64(now) - Sint64(pressTime) < repeatDelay || Sint64(now) - Sint64(lastRepeatTime) < repeatInterval)
        return;
    lastRepeatTime = now;
    repeated = true;
    postNotification(GuiNotify::ButtonPressed, Uint32(id), 0);
}

Uint32 GuiButton::msUntilWakeUp(Uint32 now)
{
    if (!isAutoRepeat() || isToggle() || !pressed)
        return NoWakeUp;
    // tick fires once both the first delay and the interval have passed.
    const Uint32 first = pressTime + Uint32(repeatDelay);
    const Uint32 next = lastRepeatTime + Uint32(repeatInterval);
    return std::max(msUntil(first, now), msUntil(next, now));
}

// [SECTION] Drawing

namespace {
void line(SDL_Renderer* r, int x1, int y1, int x2, int y2)
{
    SDL_RenderDrawLine(r, x1, y1, x2, y2);
}
} // namespace

void GuiButton::drawFrame(SDL_Renderer* r)
{
    // A two-pixel black frame with clipped corners. Its outer lines reach x+w
    // and y+h, one pixel past the widget, which a cached texture cuts off.
    SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
    line(r, x + 1, y, x + w - 1, y);
    line(r, x, y + 1, x + w, y + 1);
    line(r, x, y + h - 1, x + w, y + h - 1);
    line(r, x + 1, y + h, x + w - 1, y + h);
    line(r, x, y + 1, x, y + h - 1);
    line(r, x + 1, y + 1, x + 1, y + h - 1);
    line(r, x + w, y + 1, x + w, y + h - 1);
    line(r, x + w - 1, y + 1, x + w - 1, y + h - 1);

    if (colour.a != 0) {
        SDL_SetRenderDrawColor(r, colour.r, colour.g, colour.b, colour.a);
        SDL_Rect inner{x + 2, y + 2, w - 3, h - 3};
        SDL_RenderFillRect(r, &inner);
        return;
    }
    // A pressed bevel is flat grey on both sides: the button looks pushed in.
    const Uint8 light = pressed ? 192 : 255;
    SDL_SetRenderDrawColor(r, light, light, light, 255);
    line(r, x + 2, y + 2, x + w - 3, y + 2);
    line(r, x + 2, y + 3, x + w - 4, y + 3);
    line(r, x + 2, y + 2, x + 2, y + h - 3);
    line(r, x + 3, y + 2, x + 3, y + h - 4);
    const Uint8 dark = pressed ? 192 : 128;
    SDL_SetRenderDrawColor(r, dark, dark, dark, 255);
    line(r, x + 2, y + h - 2, x + w - 3, y + h - 2);
    line(r, x + 3, y + h - 3, x + w - 3, y + h - 3);
    line(r, x + w - 2, y + 2, x + w - 2, y + h - 2);
    line(r, x + w - 3, y + 3, x + w - 3, y + h - 2);
}

void GuiButton::draw(SDL_Renderer* renderer)
{
    drawFrame(renderer);
    int tw = 0, th = 0;
    if (!measureText(font, text, tw, th))
        return;
    drawText(renderer, font, text, SDL_Color{0, 0, 0, 255}, x + (w - tw) / 2, y + (h - th) / 2 + (pressed ? 1 : 0));
}
