#pragma once
// The pop-up list a combo box opens below itself. It belongs to the window
// while open; the user's choice goes back to the combo box, which notifies.

#include "gui/GuiListCtrl.h"

class GuiComboBox;

class GuiComboBoxDropDown : public GuiListCtrl {
public:
    GuiComboBoxDropDown(GuiObject* parent, int id, int x, int y, int w, int h, Uint32 colour, TTF_Font* font);
    ~GuiComboBoxDropDown() override;

    const char* className() override;
    void handleEvent(GuiEvent& event) override;

    // The combo box that opened the list; not owning. Each side clears the
    // other's pointer when it goes, so neither is left dangling.
    GuiComboBox* ownerCombo = nullptr;

private:
    void closeOwnersList();
};
