#pragma once
// The save-file dialog: browses like the open dialog, but the name field may
// name a file that does not exist yet. A name without one of the accepted
// extensions gets the first; an existing file is replaced only when Save is
// pressed a second time for it, after the message line has said so.

#include "gui/GuiFileDialog.h"

class GuiSaveFileDialog : public GuiFileDialog {
public:
    // `initialName` fills the name field, so the user can take it as it is.
    GuiSaveFileDialog(AppWindow* platformWindow, int id, int x, int y, int w, int h, Uint32 colour,
                      const std::string& initialDir, const std::vector<std::string>& extensions,
                      const std::string& initialName = {});

    const char* className() override;
    void handleEvent(GuiEvent& event) override;
    bool validatePath(const std::string& path) override;

private:
    // The existing file the last Save warned about, and the name typed then;
    // editing the name takes the warning back.
    std::string replacePath;
    std::string replaceName;
};
