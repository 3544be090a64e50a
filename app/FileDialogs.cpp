// "Open GPX" and "Open OSM": modal file dialogs over the main window.

#include "app/PathlarkEngine.h"

namespace pathlark {

void PathlarkEngine::openGpxDialog()
{
    osmDialogPending = false;
}

void PathlarkEngine::openOsmDialog()
{
    osmDialogPending = true;
}

void PathlarkEngine::handleDialogClosed(GuiEvent& event)
{
    osmDialogPending = false;
    closeWindow(event.windowId);
}

} // namespace pathlark
