#include "gui/GuiLabel.h"

#include <algorithm>

#include "gui/GuiText.h"

namespace {
const std::string Ellipsis = "\xE2\x80\xA6";  // U+2026

bool fits(TTF_Font* font, const std::string& text, int width)
{
    int tw = 0, th = 0;
    return measureText(font, text, tw, th) && tw <= width;
}
} // namespace

std::string shortenFromLeft(TTF_Font* font, const std::string& text, int width)
{
    if (fits(font, text, width))
        return text;
    // Try ever shorter tails, starting only where a UTF-8 character starts.
    size_t start = 0;
    for (size_t i = 1; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80 && byte <= 0xBF)
            continue;
        if (fits(font, Ellipsis + text.substr(i), width)) {
            start = i;
            break;
        }
    }
    if (start == 0)
        return Ellipsis;
    // Cut at the next path separator, so the reader sees whole directory names.
    // A separator as the very last character would leave nothing after it.
    for (size_t p = start; p + 1 < text.size(); ++p)
        if (text[p] == '/' || text[p] == '\\')
            return Ellipsis + text.substr(p);
    return Ellipsis + text.substr(start);
}

GuiLabel::GuiLabel(GuiObject* parent_, int id_, int x_, int y_, int w_, int h_, Uint32 colour_,
                   const std::string& text_, TTF_Font* font_, Uint32 flags_)
    : GuiObject(parent_, id_, x_, y_, w_, h_, colour_), text(text_), font(font_), flags(flags_)
{
}

bool GuiLabel::getValue(std::string& out)
{
    out = text;
    return true;
}

bool GuiLabel::setValue(const std::string& value)
{
    setText(value);
    return true;
}

void GuiLabel::setText(const std::string& value)
{
    text = value;
    markDirty();
}

bool GuiLabel::isCacheable() { return false; }

const char* GuiLabel::className() { return "GuiLabel"; }

void GuiLabel::handleEvent(GuiEvent&) {}

const std::string& GuiLabel::displayText()
{
    // A label is one line: a line break or tab would show as a missing-glyph box.
    const std::string* source = &text;
    if (text.find_first_of("\r\n\t") != std::string::npos) {
        oneLine = text;
        std::replace_if(oneLine.begin(), oneLine.end(), [](char c) { return c == '\r' || c == '\n' || c == '\t'; }, ' ');
        source = &oneLine;
    }
    if (!(flags & ShortenLeft) || !font)
        return *source;
    if (shortenedWidth == w && shortenedFor == *source)
        return shortened;
    shortenedFor = *source;
    shortenedWidth = w;
    shortened = shortenFromLeft(font, *source, w);
    return shortened;
}

void GuiLabel::draw(SDL_Renderer* renderer)
{
    const std::string& shown = displayText();
    int tw = 0, th = 0;
    if (!measureText(font, shown, tw, th))
        return;
    const int tx = (flags & LeftAligned) ? x : x + (w - tw) / 2;
    // Labels are drawn straight to the window every frame, never into a cache.
    drawText(renderer, font, shown, SDL_Color{0, 0, 0, 255}, tx, y + (h - th) / 2, TextRelease::Immediate);
}
