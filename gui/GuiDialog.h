#pragma once
// Root widget of a dialog window. While a dialog is the engine's modal root,
// notifications from every other window are dropped (GuiWindow::postNotification);
// it ends with accept or cancel, which post notification 9999 with the result.
//
// The engine side of running a dialog (GuiEngine::createDialogWindow,
// setModalForMain, beginModal) is defined in GuiDialog.cpp beside this class.

#include "gui/GuiWindow.h"

class GuiDialog : public GuiWindow {
public:
    enum Result : Uint32 { Accepted = 1, Cancelled = 2 };

    GuiDialog(AppWindow* platformWindow, int id, int x, int y, int w, int h, Uint32 colour);
    ~GuiDialog() override;

    // Both do nothing unless this dialog is the modal root, so a second call posts nothing.
    virtual void accept();
    virtual void cancel();
    // Every other notification from the dialog's own window; subclasses react to it.
    virtual void dialogHook(GuiEvent& event);

protected:
    // Ends the modal state, posts 9999 with the result and gives the keyboard back.
    void endModal(Result result);
};
