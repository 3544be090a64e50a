#pragma once
// A toggle button drawn as a 16-pixel box with a cross and a caption beside it.

#include "gui/GuiButton.h"

class GuiCheckBox : public GuiButton {
public:
    // Always a toggle, whatever `flags` says.
    GuiCheckBox(GuiObject* parent, int id, int x, int y, int w, int h, Uint32 colour, const std::string& text,
                TTF_Font* font, Uint32 flags);

    bool getValue(std::string& out) override;
    bool setValue(const std::string& value) override;
    bool isCacheable() override;
    const char* className() override;
    void draw(SDL_Renderer* renderer) override;
    void handleEvent(GuiEvent& event) override;
};
