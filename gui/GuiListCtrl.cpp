// GuiListCtrl: items and selection, layout, drawing, events.
//
// [SECTION] Items and selection
// [SECTION] Layout
// [SECTION] Drawing
// [SECTION] Events

#include "gui/GuiListCtrl.h"

#include "gui/GuiText.h"

#include <algorithm>

int findItemByText(const std::vector<ListItem>& items, const std::string& text)
{
    const auto found = std::find_if(items.begin(), items.end(), [&](const ListItem& it) { return it.text == text; });
    return found == items.end() ? -1 : int(found - items.begin());
}

int rowHeightForFont(TTF_Font* font, int fallback)
{
    if (!font)
        return fallback;
    int height = TTF_FontLineSkip(font) + 4;
    if (height < 1)
        height = TTF_FontHeight(font) + 4;
    return height < 1 ? 24 : height;
}

GuiListCtrl::GuiListCtrl(GuiObject* parent_, int id_, int x_, int y_, int w_, int h_, Uint32 colour_,
                         TTF_Font* font_)
    : GuiObject(parent_, id_, x_, y_, w_, h_, colour_), backColour(colour), font(font_)
{
    vScrollBar.orientation = ScrollBar::Vertical;
    hScrollBar.orientation = ScrollBar::Horizontal;
    itemHeight = rowHeightForFont(font, itemHeight);
    layoutList();
}

bool GuiListCtrl::wantsWheel() { return true; }
bool GuiListCtrl::isCacheable() { return true; }
const char* GuiListCtrl::className() { return "GuiListCtrl"; }

// [SECTION] Items and selection

int GuiListCtrl::addItem(int itemId, const std::string& text)
{
    items.push_back(ListItem{itemId, text});
    contentHeight = int(items.size()) * itemHeight;
    int tw = 0, th = 0;
    if (font && measureText(font, text, tw, th))
        contentWidth = std::max(contentWidth, tw);
    needsLayout = true;
    markDirty();
    return int(items.size()) - 1;
}

void GuiListCtrl::clear()
{
    items.clear();
    selectedIndex = -1;
    scrollX = scrollY = 0;
    contentWidth = contentHeight = 0;
    needsLayout = true;
    layoutList();
    markDirty();
}

void GuiListCtrl::select(int index)
{
    if (index < 0 || index >= int(items.size())) {
        selectedIndex = -1;
    } else {
        selectedIndex = index;
        ensureSelectionVisible();
    }
    markDirty();
}

void GuiListCtrl::ensureSelectionVisible()
{
    layoutIfNeeded();
    if (selectedIndex < 0 || selectedIndex >= int(items.size()))
        return;
    const int viewH = viewHeight();
    if (viewH < 1)
        return;
    scrollY = scrollToShow(scrollY, selectedIndex * itemHeight, itemHeight, viewH);
    layoutList();
    markDirty();
}

void GuiListCtrl::scrollToTop()
{
    scrollY = 0;
    layoutList();
    markDirty();
}

const ListItem* GuiListCtrl::item(int index) const
{
    return index >= 0 && index < int(items.size()) ? &items[size_t(index)] : nullptr;
}

const ListItem* GuiListCtrl::selectedItem() const { return item(selectedIndex); }

int GuiListCtrl::selectedId() const
{
    const ListItem* selected = selectedItem();
    return selected ? selected->id : -1;
}

int GuiListCtrl::itemAt(int px, int py)
{
    layoutIfNeeded();
    if (px < x || px >= x + viewWidth() || py < y || py >= y + viewHeight() || itemHeight < 1)
        return -1;
    const int row = (py - y + scrollY) / itemHeight;
    return row < int(items.size()) ? row : -1;
}

bool GuiListCtrl::getValue(std::string& out)
{
    const ListItem* selected = selectedItem();
    out = selected ? selected->text : std::string();
    return true;
}

bool GuiListCtrl::setValue(const std::string& value)
{
    if (value.empty()) {
        selectedIndex = -1;
        markDirty();
        return true;
    }
    const int index = findItemByText(items, value);
    if (index < 0)
        return false;
    selectedIndex = index;
    ensureSelectionVisible();
    markDirty();
    return true;
}

// [SECTION] Layout

int GuiListCtrl::widestText() const
{
    int widest = 0;
    for (const ListItem& it : items) {
        int tw = 0, th = 0;
        if (measureText(font, it.text, tw, th))
            widest = std::max(widest, tw);
    }
    return widest;
}

void GuiListCtrl::layout()
{
    itemHeight = rowHeightForFont(font, itemHeight);
    needsLayout = true;
    layoutList();
}

void GuiListCtrl::layoutList()
{
    itemHeight = rowHeightForFont(font, itemHeight);
    contentHeight = int(items.size()) * itemHeight;
    // Measuring every item on each scroll step would make long lists sluggish;
    // widths only change with the items or the font.
    if (needsLayout || font != measuredFont) {
        contentWidth = widestText();
        measuredFont = font;
    }
    layoutScrollArea(vScrollBar, hScrollBar, rect(), contentWidth, contentHeight, scrollX, scrollY);
    needsLayout = false;
}

void GuiListCtrl::layoutIfNeeded()
{
    if (needsLayout)
        layoutList();
}

void GuiListCtrl::resize(SDL_Renderer* renderer, int newW, int newH)
{
    GuiObject::resize(renderer, newW, newH);
    layoutList();
    markDirty();
}

// [SECTION] Drawing

void GuiListCtrl::draw(SDL_Renderer* renderer)
{
    SDL_SetRenderDrawColor(renderer, backColour.r, backColour.g, backColour.b, backColour.a);
    SDL_Rect whole = rect();
    SDL_RenderFillRect(renderer, &whole);
    layoutIfNeeded();

    const int viewW = viewWidth(), viewH = viewHeight();
    if (font && !items.empty() && itemHeight > 0 && viewW > 0 && viewH > 0) {
        SDL_Rect clip{x, y, viewW, viewH};
        SDL_RenderSetClipRect(renderer, &clip);
        const int count = int(items.size());
        const int first = scrollY / itemHeight;
        const int last = std::min(count - 1, (scrollY + viewH) / itemHeight);
        for (int index = first, k = 0; index <= last; ++index, ++k) {
            const int rowY = y - scrollY % itemHeight + k * itemHeight;
            const bool selected = index == selectedIndex;
            const SDL_Color fill = selected ? selectionColour : backColour;
            SDL_Rect row{x, rowY, viewW, itemHeight};
            SDL_SetRenderDrawColor(renderer, fill.r, fill.g, fill.b, fill.a);
            SDL_RenderFillRect(renderer, &row);
            const std::string& text = items[size_t(index)].text;
            int tw = 0, th = 0;
            if (!measureText(font, text, tw, th))
                continue;
            drawText(renderer, font, text, selected ? selectedTextColour : textColour, x + 4 - scrollX,
                     rowY + (itemHeight - th) / 2);
        }
        SDL_RenderSetClipRect(renderer, nullptr);
    }
    drawScrollBars(renderer, vScrollBar, hScrollBar);
}

// [SECTION] Events

void GuiListCtrl::handleEvent(GuiEvent& event)
{
    const SDL_Event* sdl = event.sdlEvent;
    if (event.kind != GuiEvent::SdlInput || !sdl)
        return;
    if (sdl->type == SDL_MOUSEBUTTONDOWN) {
        focused = true;
        layoutIfNeeded();
    }
    if (scrollAreaInput(*sdl, vScrollBar, hScrollBar, contentWidth, contentHeight,
                        std::max(vScrollBar.track.h - itemHeight, 1), itemHeight, scrollX, scrollY)) {
        layoutList();
        markDirty();
        return;
    }
    // Keys are for the owner (a combo box's pop-up handles its own).
    if (sdl->type != SDL_MOUSEBUTTONDOWN)
        return;
    const int index = itemAt(sdl->button.x, sdl->button.y);
    if (index >= 0) {
        selectedIndex = index;
        ensureSelectionVisible();
        markDirty();
    }
}
