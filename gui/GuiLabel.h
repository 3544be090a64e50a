#pragma once
// One line of text without a background, centred or left-aligned, optionally
// shortened from the left with "…" so that the end of a long path stays visible.

#include "gui/GuiObject.h"

#include <SDL_ttf.h>

#include <string>

class GuiLabel : public GuiObject {
public:
    // Bits of `flags`.
    static constexpr Uint32 LeftAligned = 1u << 0;
    static constexpr Uint32 ShortenLeft = 1u << 1;

    GuiLabel(GuiObject* parent, int id, int x, int y, int w, int h, Uint32 colour, const std::string& text,
             TTF_Font* font, Uint32 flags);

    bool getValue(std::string& out) override;
    bool setValue(const std::string& value) override;
    bool isCacheable() override;
    const char* className() override;
    void draw(SDL_Renderer* renderer) override;
    void handleEvent(GuiEvent& event) override;

    void setText(const std::string& value);
    // The text draw shows: `text`, or its shortened form (cached per text and width).
    const std::string& displayText();

    std::string text;
    TTF_Font* font;  // not owned
    Uint32 flags;
    std::string shortenedFor;
    int shortenedWidth = -1;
    std::string shortened;
    std::string oneLine;  // `text` with line breaks and tabs as blanks, when it has any
};

// The longest tail of `text` that fits in `width` pixels behind "…", moved
// forward to begin at a path separator when one follows; "…" alone when not
// even one character fits. Measured with `font`.
std::string shortenFromLeft(TTF_Font* font, const std::string& text, int width);
