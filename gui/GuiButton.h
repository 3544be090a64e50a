#pragma once
// Push, toggle and auto-repeat buttons. A button reports in two ways: its
// callbacks run on every change of `pressed` (press, toggle, setValue), and
// the window gets notification 1000 when a push button is released inside it
// or an auto-repeat fires.

#include "gui/GuiObject.h"

#include <SDL_ttf.h>

#include <functional>
#include <string>
#include <vector>

class GuiButton : public GuiObject {
public:
    // Bits of `flags`.
    static constexpr Uint32 Toggle = 1u << 0;
    static constexpr Uint32 AutoRepeat = 1u << 1;

    using Callback = std::function<void(GuiButton* sender, bool pressed)>;

    // The colour's alpha is cleared: a new button shows the bevel until setColour.
    GuiButton(GuiObject* parent, int id, int x, int y, int w, int h, Uint32 colour, const std::string& text,
              TTF_Font* font, Uint32 flags);

    bool getValue(std::string& out) override;
    bool setValue(const std::string& value) override;
    bool isCacheable() override;
    const char* className() override;
    void tick(Uint32 now) override;
    Uint32 msUntilWakeUp(Uint32 now) override;
    void draw(SDL_Renderer* renderer) override;
    void handleEvent(GuiEvent& event) override;

    void addCallback(Callback callback);
    void setColour(Uint32 colour);
    void setText(const std::string& caption);

    bool isToggle() const { return flags & Toggle; }
    bool isAutoRepeat() const { return flags & AutoRepeat; }

    std::string text;
    bool pressed = false;     // held down; for toggle buttons and check boxes the on state
    Uint32 flags;
    TTF_Font* font;           // not owned
    int repeatDelay = 400;    // ms from the press to the first auto-repeat
    int repeatInterval = 60;  // minimum ms between later repeats
    std::vector<Callback> callbacks;
    Uint32 pressTime = 0;
    Uint32 lastRepeatTime = 0;
    bool repeated = false;    // an auto-repeat fired during this press

protected:
    void runCallbacks();
    // Sets the toggle state from "1"/"true"/"0"/"false"; false for any other text.
    bool setToggleValue(const std::string& value);
    // The black frame and, without a colour, the bevel (shared with GuiImageButton).
    void drawFrame(SDL_Renderer* renderer);
    void postNotification(Uint32 code, Uint32 param, Uint64 value);
};
