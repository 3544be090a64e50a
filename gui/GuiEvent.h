#pragma once
// The record handed to every handleEvent: either a raw SDL input event or a
// notification a widget posts about a user action.

#include <SDL.h>

#include <cstdint>

class GuiObject;

// Notification codes carried in GuiEvent::code (kind 1).
namespace GuiNotify {
constexpr Uint32 ButtonPressed = 1000;  // also every auto-repeat
constexpr Uint32 ImageClicked = 1002;
constexpr Uint32 ComboChanged = 1003;   // value: the chosen item's id
constexpr Uint32 TreeSelected = 1016;
constexpr Uint32 TreeExpanded = 1017;
constexpr Uint32 DialogClosed = 9999;   // param: 1 accepted, 2 cancelled
} // namespace GuiNotify

struct GuiEvent {
    static constexpr Uint32 SdlInput = 0;
    static constexpr Uint32 Notification = 1;

    Uint32 kind = SdlInput;
    Uint32 windowId = 0;
    Uint32 code = 0;
    Uint32 param = 0;
    Uint64 value = 0;
    GuiObject* source = nullptr;
    SDL_Event* sdlEvent = nullptr;
    int localX = 0;
    int localY = 0;
    GuiObject* target = nullptr;
    int targetId = -1;
};
