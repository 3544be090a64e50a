// GuiComboBox: items and selection, the pop-up list, drawing, events.
//
// [SECTION] Items and selection
// [SECTION] Pop-up list
// [SECTION] Drawing
// [SECTION] Events

#include "gui/GuiComboBox.h"

#include "gui/DropDownArrow.h"
#include "gui/GuiComboBoxDropDown.h"
#include "gui/GuiEngine.h"
#include "gui/GuiWindow.h"

#include <algorithm>

GuiComboBox::GuiComboBox(GuiObject* parent_, int id_, int x_, int y_, int w_, int h_, Uint32 colour_,
                         Uint32 textColour_, TTF_Font* font_, int dropHeight_)
    : GuiObject(parent_, id_, x_, y_, w_, h_, colour_), font(font_), textColour(colourFromValue(textColour_)),
      dropHeight(dropHeight_)
{
}

GuiComboBox::~GuiComboBox()
{
    if (!dropDown)
        return;
    // A list left open without its owner could never report or close itself.
    if (window && !window->popups.empty() && window->popups.back() == dropDown)
        window->closeTopPopup();
    dropDown->ownerCombo = nullptr;
    dropDown = nullptr;
}

bool GuiComboBox::isCacheable() { return true; }
const char* GuiComboBox::className() { return "GuiComboBox"; }

// [SECTION] Items and selection

int GuiComboBox::addItem(int itemId, const std::string& text)
{
    items.push_back(ListItem{itemId, text});
    if (selectedIndex < 0)
        selectedIndex = 0;
    markDirty();
    return int(items.size()) - 1;
}

void GuiComboBox::clear()
{
    items.clear();
    selectedIndex = -1;
    markDirty();
}

int GuiComboBox::selectedId() const
{
    return selectedIndex >= 0 && selectedIndex < int(items.size()) ? items[size_t(selectedIndex)].id : -1;
}

std::string GuiComboBox::selectedText() const
{
    return selectedIndex >= 0 && selectedIndex < int(items.size()) ? items[size_t(selectedIndex)].text
                                                                     : std::string();
}

void GuiComboBox::select(int index, bool notify)
{
    if (index < 0 || index >= int(items.size())) {
        selectedIndex = -1;
        markDirty();
        return;
    }
    selectedIndex = index;
    markDirty();
    // The same choice made again is reported again: applications treat it as a command.
    if (notify && window)
        window->postNotification(GuiNotify::ComboChanged, Uint32(id), Uint64(Sint64(items[size_t(index)].id)),
                                 this);
}

void GuiComboBox::selectById(int itemId, bool notify)
{
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].id == itemId) {
            select(int(i), notify);
            return;
        }
    }
}

bool GuiComboBox::getValue(std::string& out)
{
    out = selectedText();
    return true;
}

bool GuiComboBox::setValue(const std::string& value)
{
    if (value.empty()) {
        selectedIndex = -1;
        markDirty();
        return true;
    }
    const int index = findItemByText(items, value);
    if (index >= 0)
        select(index, true);
    return index >= 0;
}

// [SECTION] Pop-up list

void GuiComboBox::openDropDown()
{
    if (dropOpen || !window || items.empty())
        return;
    // Constructed relative to the window, as every widget is; add() places it.
    auto* list = new GuiComboBoxDropDown(parent, id, x - window->x, y + h - window->y, w, dropHeight,
                                         colourValue(colour), font);
    list->ownerCombo = this;
    for (const ListItem& item : items)
        list->addItem(item.id, item.text);
    window->add(list);
    if (selectedIndex >= 0)
        list->select(selectedIndex);
    window->openPopup(list);
    list->focused = true;
    dropDown = list;
    dropOpen = true;
    markDirty();
}

void GuiComboBox::closeDropDown()
{
    if (!dropOpen || !window)
        return;
    // The window may have closed the list already (a click outside it); then
    // the top popup, if any, belongs to someone else and must stay.
    if (dropDown && !window->popups.empty() && window->popups.back() == dropDown)
        window->closeTopPopup();
    dropOpen = false;
    dropDown = nullptr;
    markDirty();
}

void GuiComboBox::dropDownPicked(int index)
{
    select(index, true);
    closeDropDown();
}

void GuiComboBox::dropDownGone(GuiComboBoxDropDown* list)
{
    if (dropDown != list)
        return;
    dropDown = nullptr;
    dropOpen = false;
    markDirty();
}

void GuiComboBox::focusLost(GuiObject*)
{
    if (dropOpen)
        closeDropDown();
}

// [SECTION] Drawing

namespace {

// Text centred vertically in a box of boxH rows, cut on the right to maxWidth
// so the left part stays readable.
void drawClippedText(SDL_Renderer* renderer, TTF_Font* font, const std::string& text, SDL_Color colour, int x,
                     int boxY, int boxH, int maxWidth)
{
    if (!font || text.empty() || maxWidth < 1)
        return;
    SDL_Surface* surface = TTF_RenderUTF8_Blended(font, text.c_str(), colour);
    if (!surface)
        return;
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    if (texture) {
        SDL_Rect source{0, 0, std::min(surface->w, maxWidth), surface->h};
        SDL_Rect target{x, boxY + (boxH - surface->h) / 2, source.w, source.h};
        SDL_RenderCopy(renderer, texture, &source, &target);
        GuiEngine::releaseTexture(renderer, texture);
    }
    SDL_FreeSurface(surface);
}

Uint8 darken(Uint8 channel)
{
    return channel < 15 ? 0 : Uint8(channel - 15);
}

} // namespace

void GuiComboBox::draw(SDL_Renderer* renderer)
{
    SDL_Rect box = rect();
    SDL_SetRenderDrawColor(renderer, colour.r, colour.g, colour.b, colour.a);
    SDL_RenderFillRect(renderer, &box);
    SDL_SetRenderDrawColor(renderer, borderColour.r, borderColour.g, borderColour.b, borderColour.a);
    SDL_RenderDrawRect(renderer, &box);

    if (font && selectedIndex >= 0 && selectedIndex < int(items.size()))
        drawClippedText(renderer, font, items[size_t(selectedIndex)].text, textColour, x + 3, y, h,
                        w - buttonWidth - 6);

    const int bx = x + w - buttonWidth;
    SDL_Rect button{bx, y, buttonWidth, h};
    SDL_SetRenderDrawColor(renderer, darken(colour.r), darken(colour.g), darken(colour.b), colour.a);
    SDL_RenderFillRect(renderer, &button);
    SDL_SetRenderDrawColor(renderer, borderColour.r, borderColour.g, borderColour.b, borderColour.a);
    SDL_RenderDrawLine(renderer, bx, y, bx, y + h - 1);

    const DropArrow& arrow = dropArrowFor(renderer);
    const int roomW = buttonWidth - 4, roomH = h - 4;
    if (!arrow.texture || arrow.width < 1 || arrow.height < 1 || roomW < 1 || roomH < 1)
        return;
    // Shrunk to fit a small button, never enlarged.
    const float scale = std::min({float(roomW) / float(arrow.width), 1.0f, float(roomH) / float(arrow.height)});
    const int dw = int(float(arrow.width) * scale + 0.5f);
    const int dh = int(float(arrow.height) * scale + 0.5f);
    SDL_Rect where{bx + buttonWidth / 2 - dw / 2, y + h / 2 - dh / 2, dw, dh};
    SDL_RenderCopy(renderer, arrow.texture, nullptr, &where);
}

// [SECTION] Events

void GuiComboBox::handleEvent(GuiEvent& event)
{
    const SDL_Event* sdl = event.sdlEvent;
    if (event.kind != GuiEvent::SdlInput || !sdl)
        return;
    if (sdl->type == SDL_KEYDOWN) {
        if (!focused || dropOpen)
            return;
        const SDL_Keycode sym = sdl->key.keysym.sym;
        if (sym == SDLK_RETURN || sym == SDLK_SPACE || sym == SDLK_DOWN)
            openDropDown();
        else if (sym == SDLK_UP && selectedIndex > 0)
            select(selectedIndex - 1, true);
    } else if (sdl->type == SDL_MOUSEBUTTONDOWN && sdl->button.button == SDL_BUTTON_LEFT) {
        if (contains(sdl->button.x, sdl->button.y)) {
            focused = true;
            if (dropOpen)
                closeDropDown();
            else
                openDropDown();
        } else {
            focused = false;
        }
    }
}
