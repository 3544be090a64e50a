#pragma once
// A one-line box showing the selected item, with an arrow button that opens
// a pop-up list (GuiComboBoxDropDown). A choice posts GuiNotify::ComboChanged
// with the chosen item's id, not its index.

#include "gui/GuiListCtrl.h"
#include "gui/GuiObject.h"

#include <SDL_ttf.h>

#include <string>
#include <vector>

class GuiComboBoxDropDown;

class GuiComboBox : public GuiObject {
public:
    GuiComboBox(GuiObject* parent, int id, int x, int y, int w, int h, Uint32 colour, Uint32 textColour,
                TTF_Font* font, int dropHeight);
    ~GuiComboBox() override;

    bool getValue(std::string& out) override;
    bool setValue(const std::string& value) override;  // selects by text and notifies
    bool isCacheable() override;
    const char* className() override;
    void draw(SDL_Renderer* renderer) override;
    void handleEvent(GuiEvent& event) override;
    void focusLost(GuiObject* newFocus) override;

    int addItem(int itemId, const std::string& text);  // the first item added is selected, silently
    void clear();
    int selectedId() const;
    std::string selectedText() const;
    void select(int index, bool notify);
    void selectById(int itemId, bool notify);

    void openDropDown();
    void closeDropDown();
    void dropDownPicked(int index);
    GuiComboBoxDropDown* dropDownList() const { return dropDown; }
    // Called by the pop-up list as it is deleted.
    void dropDownGone(GuiComboBoxDropDown* list);

    std::vector<ListItem> items;
    int selectedIndex = -1;
    TTF_Font* font;  // not owned
    SDL_Color textColour;
    SDL_Color borderColour{80, 80, 80, 255};
    bool dropOpen = false;
    GuiComboBoxDropDown* dropDown = nullptr;  // owned by the window while open
    int dropHeight;
    int buttonWidth = 18;
};
