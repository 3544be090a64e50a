#pragma once
// A plain widget for the toolkit's tests that runs a hook on each event and tells when it is deleted.

#include "gui/GuiObject.h"
#include "gui/IEditable.h"

#include <functional>

struct Probe : GuiObject {
    Probe(int x, int y, int w, int h) : GuiObject(nullptr, 1, x, y, w, h, 0xFF808080) {}
    ~Probe() override
    {
        if (destroyed)
            *destroyed = true;
    }
    void handleEvent(GuiEvent& event) override
    {
        if (event.sdlEvent && onEvent)
            onEvent(*event.sdlEvent);
    }

    std::function<void(const SDL_Event&)> onEvent;
    bool* destroyed = nullptr;
};

// Stands in for a text field: a widget the engine remembers as focused editable.
struct EditableProbe : Probe, IEditable {
    using Probe::Probe;
};
