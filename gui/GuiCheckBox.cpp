#include "gui/GuiCheckBox.h"

#include "gui/GuiMessages.h"
#include "gui/GuiText.h"

GuiCheckBox::GuiCheckBox(GuiObject* parent_, int id_, int x_, int y_, int w_, int h_, Uint32 colour_,
                         const std::string& text_, TTF_Font* font_, Uint32 flags_)
    : GuiButton(parent_, id_, x_, y_, w_, h_, colour_, text_, font_, flags_ | Toggle)
{
}

bool GuiCheckBox::getValue(std::string& out)
{
    out.assign(1, pressed ? '1' : '0');
    return true;
}

bool GuiCheckBox::setValue(const std::string& value) { return setToggleValue(value); }

bool GuiCheckBox::isCacheable() { return true; }

const char* GuiCheckBox::className() { return "GuiCheckBox"; }

void GuiCheckBox::handleEvent(GuiEvent& event)
{
    // A check box only toggles; it never posts a notification, its callbacks are the channel.
    if (event.kind != GuiEvent::SdlInput || !event.sdlEvent || event.sdlEvent->type != SDL_MOUSEBUTTONDOWN)
        return;
    guiDebug("BUTTON DOWN\n");
    pressed = !pressed;
    markDirty();
    runCallbacks();
}

void GuiCheckBox::draw(SDL_Renderer* r)
{
    SDL_SetRenderDrawColor(r, 255, 255, 255, 255);
    SDL_Rect box{x + 2, y + 2, 12, 12};
    SDL_RenderFillRect(r, &box);
    SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
    SDL_Rect outer{x, y, 16, 16};
    SDL_Rect inner{x + 1, y + 1, 14, 14};
    SDL_RenderDrawRect(r, &outer);
    SDL_RenderDrawRect(r, &inner);
    if (pressed) {
        for (int i = 0; i < 3; ++i) {
            SDL_RenderDrawLine(r, x + 1, y + i, x + 14, y + 13 + i);
            SDL_RenderDrawLine(r, x + 1, y + 15 - i, x + 14, y + 2 - i);
        }
    }
    drawText(r, font, text, SDL_Color{0, 0, 0, 255}, x + 25, y);
}
