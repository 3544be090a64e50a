#pragma once
// A scrollable single-selection list of text rows with both scroll bars. Used
// by the file dialogs and, as GuiComboBoxDropDown, as a combo box's pop-up.
// Selecting with the mouse sends no notification; owners read selectedIndex.

#include "gui/GuiObject.h"
#include "gui/ScrollBar.h"

#include <SDL_ttf.h>

#include <string>
#include <vector>

struct ListItem {
    int id = -1;  // chosen by the application; need not be unique
    std::string text;
};

// Index of the first item with this text, or -1.
int findItemByText(const std::vector<ListItem>& items, const std::string& text);

// Row height for a font: line skip + 4, else font height + 4, else 24.
int rowHeightForFont(TTF_Font* font, int fallback);

class GuiListCtrl : public GuiObject {
public:
    GuiListCtrl(GuiObject* parent, int id, int x, int y, int w, int h, Uint32 colour, TTF_Font* font);

    bool getValue(std::string& out) override;
    bool setValue(const std::string& value) override;  // selects by text, silently
    bool wantsWheel() override;
    bool isCacheable() override;
    const char* className() override;
    void draw(SDL_Renderer* renderer) override;
    void resize(SDL_Renderer* renderer, int newW, int newH) override;
    void handleEvent(GuiEvent& event) override;
    void layout() override;

    int addItem(int itemId, const std::string& text);
    void clear();
    void select(int index);
    void ensureSelectionVisible();
    void scrollToTop();
    const ListItem* item(int index) const;
    const ListItem* selectedItem() const;
    int selectedId() const;
    // Index of the row under a window point, or -1 (outside the rows, below the last).
    int itemAt(int px, int py);

    // The rows' area, without the visible bars.
    int viewWidth() const { return vScrollBar.visible ? w - ScrollBarThickness : w; }
    int viewHeight() const { return hScrollBar.visible ? h - ScrollBarThickness : h; }
    // Item height, content size, bars and clamping; run after any change.
    void layoutList();

    int contentWidth = 0;
    int contentHeight = 0;
    bool needsLayout = true;
    std::vector<ListItem> items;
    SDL_Color backColour;
    SDL_Color textColour{0, 0, 0, 255};
    SDL_Color selectionColour{0, 120, 215, 255};
    SDL_Color selectedTextColour{255, 255, 255, 255};
    TTF_Font* font;  // not owned; may be null
    int itemHeight = 20;
    int scrollX = 0;
    int scrollY = 0;
    ScrollBar vScrollBar;
    ScrollBar hScrollBar;
    int selectedIndex = -1;

private:
    // Flushes a layout the items changed since; queries need current bars.
    void layoutIfNeeded();
    int widestText() const;

    TTF_Font* measuredFont = nullptr;  // font contentWidth was measured with
};
