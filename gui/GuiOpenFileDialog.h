#pragma once
// The open-file dialog: accepts only a path that exists and is not a
// directory; a directory typed into the name field is entered instead.

#include "gui/GuiFileDialog.h"

class GuiOpenFileDialog : public GuiFileDialog {
public:
    GuiOpenFileDialog(AppWindow* platformWindow, int id, int x, int y, int w, int h, Uint32 colour,
                      const std::string& initialDir, const std::vector<std::string>& extensions);

    const char* className() override;
    bool validatePath(const std::string& path) override;
};
