// GuiDialog and the engine's modal machinery.
//
// [SECTION] GuiDialog
// [SECTION] GuiEngine: dialog windows and the modal state

#include "gui/GuiDialog.h"

#include "gui/AppWindow.h"
#include "gui/GuiEngine.h"

#include <algorithm>

// [SECTION] GuiDialog

GuiDialog::GuiDialog(AppWindow* platformWindow_, int id_, int x_, int y_, int w_, int h_, Uint32 colour_)
    : GuiWindow(platformWindow_, id_, x_, y_, w_, h_, colour_)
{
}

GuiDialog::~GuiDialog() = default;

void GuiDialog::accept() { endModal(Accepted); }

void GuiDialog::cancel() { endModal(Cancelled); }

void GuiDialog::dialogHook(GuiEvent&) {}

void GuiDialog::endModal(Result result)
{
    if (!engine || engine->modalRoot != this)
        return;
    engine->modalRoot = nullptr;
    GuiEngine::requestRedraw();
    // Posted after the modal state ended, so the notification is not filtered.
    postNotification(GuiNotify::DialogClosed, result, 0, this);
    engine->focusedEditable = engine->savedEditable;
    engine->savedEditable = nullptr;
}

// [SECTION] GuiEngine: dialog windows and the modal state

void GuiEngine::beginModal(GuiWindow* dialog)
{
    requestRedraw();
    savedEditable = focusedEditable;
    focusedEditable = nullptr;
    modalRoot = dialog;
    // A button held down in the main window would otherwise stay pressed (and
    // keep auto-repeating) for as long as the dialog runs.
    for (AppWindow* record : windowList())
        if (record->root && record->root != dialog)
            record->root->releaseCapture();
}

void GuiEngine::dismissWindow(Uint32 windowId)
{
    AppWindow* record = findWindow(windowId);
    if (!record)
        return;
    if (auto* dialog = dynamic_cast<GuiDialog*>(record->root); dialog && dialog == modalRoot)
        dialog->cancel();
    if (std::find(pendingCloses.begin(), pendingCloses.end(), windowId) == pendingCloses.end())
        closeWindow(windowId);
}

void GuiEngine::setModalForMain(AppWindow* record)
{
    AppWindow* mainWindow = getMainWindow();
    if (mainWindow && record && record != mainWindow)
        SDL_SetWindowModalFor(record->sdlWindow, mainWindow->sdlWindow);
}

AppWindow* GuiEngine::createDialogWindow(GuiEngine* owner, const std::string& title, int x, int y, int w, int h,
                                         Uint32 flags, Uint32 colour)
{
    centreOnMainWindow(x, y, w, h);
    AppWindow* record = createWindowWithRoot(owner, title, x, y, w, h, flags, colour,
                                             [](AppWindow* r, int rw, int rh, Uint32 c) -> GuiWindow* {
                                                 return new GuiDialog(r, -1, 0, 0, rw, rh, c);
                                             });
    if (record)
        setModalForMain(record);
    return record;
}
