#pragma once
// A plain widget for the toolkit's tests that records what reaches it.

#include "gui/GuiObject.h"
#include "gui/IEditable.h"

#include <array>
#include <functional>
#include <vector>

struct Probe : GuiObject {
    Probe(int x, int y, int w, int h) : GuiObject(nullptr, 1, x, y, w, h, 0xFF808080) {}
    ~Probe() override
    {
        if (destroyed)
            *destroyed = true;
    }
    void handleEvent(GuiEvent& event) override
    {
        if (!event.sdlEvent)
            return;
        types.push_back(event.sdlEvent->type);
        local = {event.localX, event.localY};
        if (onEvent)
            onEvent(*event.sdlEvent);
    }
    void mouseEnter(int, int) override { ++enters; }
    void mouseLeave() override { ++leaves; }
    void focusLost(GuiObject* next) override { lostTo = next; }
    bool isCacheable() override { return true; }
    void draw(SDL_Renderer* renderer) override { ++draws, GuiObject::draw(renderer); }

    std::vector<Uint32> types;
    std::array<int, 2> local{-999, -999};
    int enters = 0, leaves = 0, draws = 0;
    GuiObject* lostTo = nullptr;
    std::function<void(const SDL_Event&)> onEvent;
    bool* destroyed = nullptr;
};

// Stands in for a text field: a widget the engine remembers as focused editable.
struct EditableProbe : Probe, IEditable {
    using Probe::Probe;
};
