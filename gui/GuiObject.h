#pragma once
// Base of every widget and window: common fields, the virtual interface, and
// how a change reaches the screen (dirty flag plus the engine's redraw request).

#include "gui/GuiEvent.h"

#include <SDL.h>

#include <string>

class GuiWindow;

// Colours travel as one 32-bit value, red in the lowest byte, alpha highest.
SDL_Color colourFromValue(Uint32 value);
Uint32 colourValue(SDL_Color colour);

// A widget's answer to "when do you next change on your own?" when nothing
// but input can change it.
inline constexpr Uint32 NoWakeUp = 0xFFFFFFFF;

// Milliseconds from `now` until the tick time `due`; 0 once it has passed.
inline Uint32 msUntil(Uint32 due, Uint32 now)
{
    const Sint32 left = Sint32(due - now);
    return left > 0 ? Uint32(left) : 0;
}

class GuiObject {
public:
    GuiObject(GuiObject* parent, int id, int x, int y, int w, int h, Uint32 colour);
    GuiObject(const GuiObject&) = delete;
    GuiObject& operator=(const GuiObject&) = delete;

    // Slot order matters to nobody at run time, but keeping it makes the
    // overrides in every widget line up with this list.
    virtual GuiObject* hoverTarget(Uint32 now);
    virtual GuiObject* findByName(const std::string& wanted);
    virtual bool locatePart(const std::string& partName, SDL_Rect& rect);
    virtual bool findPart(const std::string& partName, GuiObject*& owner, SDL_Rect& rect);
    virtual bool getValue(std::string& out);
    virtual bool setValue(const std::string& value);
    virtual bool getValue(const std::string& key, std::string& out);
    virtual bool setValue(const std::string& key, const std::string& value);
    virtual GuiObject* hitTest(int px, int py);
    virtual bool wantsWheel();
    virtual GuiObject* wheelTarget(int px, int py);
    virtual bool isCacheable();
    virtual const char* className();
    virtual void tick(Uint32 now);
    // How long until `tick` would change what the widget shows (caret blink,
    // auto-repeat, ...): 0 when due now, NoWakeUp while it waits for input.
    // The loop sleeps until the earliest answer when nothing else happens.
    virtual Uint32 msUntilWakeUp(Uint32 now);
    virtual void draw(SDL_Renderer* renderer);
    virtual void resize(SDL_Renderer* renderer, int newW, int newH);
    virtual void handleEvent(GuiEvent& event) = 0;
    virtual void mouseEnter(int localX, int localY);
    virtual void mouseLeave();
    virtual void focusLost(GuiObject* newFocus);
    virtual void layout();
    virtual ~GuiObject();

    // Marks the cached texture stale and asks the engine for a redraw.
    void markDirty();
    // Deletes the widget after the event being dispatched; no-op without a window.
    void deleteLater();

    bool contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
    SDL_Rect rect() const { return SDL_Rect{x, y, w, h}; }

    int x, y;
    int initialX, initialY;  // position relative to the window, as constructed
    int w, h;
    GuiObject* parent;       // not owning
    GuiWindow* window = nullptr;  // not owning; set by GuiWindow::add
    int id;
    SDL_Color colour;
    bool focused = false;
    std::string tooltip;
    std::string name;
    SDL_Texture* cacheTexture = nullptr;  // owned; created by the window when caching
    bool dirty = true;
};
