// The application's event handler: widget notifications become commands,
// everything else goes on to the window's widgets.

#include "app/PathlarkEngine.h"
#include "gui/GuiComboBox.h"
#include "gui/GuiDialog.h"
#include "gui/GuiWindow.h"

namespace pathlark {

namespace {

// Button ids of the main window.
enum ButtonId : Uint32 {
    OpenGpx = 100,
    PrevTrack = 101,
    NextTrack = 102,
    OpenOsm = 127,
};

// Combo box ids.
enum ComboId : Uint32 {
    TrackList = 106,
    StatisticsMode = 118,
};

} // namespace

void PathlarkEngine::handleEvent(AppWindow* window, GuiEvent& event)
{
    if (!window || !window->root)
        return;
    auto forward = [&] {
        if (event.sdlEvent)
            window->root->handleEvent(event);
    };

    if (event.kind == GuiEvent::Notification) {
        if (event.code == GuiNotify::DialogClosed) {
            handleDialogClosed(event);
            return;
        }
        if (modalRoot && window->root == modalRoot) {
            if (auto* dialog = dynamic_cast<GuiDialog*>(modalRoot)) {
                if (event.code == GuiNotify::ButtonPressed && event.param == 1)
                    dialog->accept();
                else if (event.code == GuiNotify::ButtonPressed && event.param == 0)
                    dialog->cancel();
                else
                    dialog->dialogHook(event);
            }
            return;
        }
        if (event.code == GuiNotify::ComboChanged) {
            if (event.param == TrackList && trackCombo)
                selectTrack(trackCombo->selectedIndex);
            else if (event.param == StatisticsMode && statisticsCombo)
                statisticsMode = statisticsCombo->selectedIndex;
            return;
        }
        if (event.code == GuiNotify::ButtonPressed) {
            switch (event.param) {
            case OpenGpx:
                openGpxDialog();
                return;
            case PrevTrack:
                selectTrack(selectedTrack - 1);
                return;
            case NextTrack:
                selectTrack(selectedTrack + 1);
                return;
            case OpenOsm:
                openOsmDialog();
                return;
            default:
                break;
            }
        }
        forward();
        return;
    }

    if (event.sdlEvent && event.sdlEvent->type == SDL_WINDOWEVENT) {
        if (event.sdlEvent->window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
            appFlag = true;
        else if (event.sdlEvent->window.event == SDL_WINDOWEVENT_FOCUS_LOST)
            appFlag = false;
    }
    forward();
}

} // namespace pathlark
