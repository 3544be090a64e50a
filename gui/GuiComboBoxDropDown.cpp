#include "gui/GuiComboBoxDropDown.h"

#include "gui/GuiComboBox.h"

GuiComboBoxDropDown::GuiComboBoxDropDown(GuiObject* parent_, int id_, int x_, int y_, int w_, int h_,
                                         Uint32 colour_, TTF_Font* font_)
    : GuiListCtrl(parent_, id_, x_, y_, w_, h_, colour_, font_)
{
}

GuiComboBoxDropDown::~GuiComboBoxDropDown()
{
    if (ownerCombo)
        ownerCombo->dropDownGone(this);
}

const char* GuiComboBoxDropDown::className() { return "GuiComboBoxDropDown"; }

void GuiComboBoxDropDown::closeOwnersList()
{
    if (ownerCombo)
        ownerCombo->closeDropDown();
}

void GuiComboBoxDropDown::handleEvent(GuiEvent& event)
{
    const SDL_Event* sdl = event.sdlEvent;
    if (event.kind != GuiEvent::SdlInput || !sdl) {
        GuiListCtrl::handleEvent(event);
        return;
    }
    if (sdl->type == SDL_KEYDOWN) {
        const SDL_Keycode sym = sdl->key.keysym.sym;
        if (sym == SDLK_ESCAPE) {
            closeOwnersList();
        } else if (sym == SDLK_RETURN || sym == SDLK_KP_ENTER) {
            if (ownerCombo && selectedIndex >= 0)
                ownerCombo->select(selectedIndex, true);
            closeOwnersList();
        }
        return;  // arrow keys and the rest move nothing here
    }
    if (sdl->type == SDL_MOUSEBUTTONDOWN && sdl->button.button == SDL_BUTTON_LEFT) {
        const int before = selectedIndex;
        GuiListCtrl::handleEvent(event);
        // A click on the row already chosen (or on a scroll bar) keeps the list open.
        if (selectedIndex >= 0 && selectedIndex != before && ownerCombo) {
            ownerCombo->select(selectedIndex, true);
            closeOwnersList();
        }
        return;
    }
    GuiListCtrl::handleEvent(event);
}
