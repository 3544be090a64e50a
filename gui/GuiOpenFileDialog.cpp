// GuiOpenFileDialog: only existing files are a result.

#include "gui/GuiOpenFileDialog.h"

#include "gui/GuiText.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

GuiOpenFileDialog::GuiOpenFileDialog(AppWindow* platformWindow_, int id_, int x_, int y_, int w_, int h_,
                                     Uint32 colour_, const std::string& initialDir,
                                     const std::vector<std::string>& extensions_)
    : GuiFileDialog(platformWindow_, id_, x_, y_, w_, h_, colour_, initialDir, extensions_, guiText("Öffnen"))
{
}

const char* GuiOpenFileDialog::className() { return "GuiOpenFileDialog"; }

bool GuiOpenFileDialog::validatePath(const std::string& path)
{
    if (fileNameText().empty()) {
        setMessage(guiText("Bitte eine Datei auswählen."));
        return false;
    }
    std::error_code error;
    const fs::file_status status = fs::status(fs::path(path), error);
    if (error || !fs::exists(status)) {
        setMessage(guiText("Datei nicht gefunden."));
        return false;
    }
    // Typing a directory's name and pressing OK walks into it.
    if (fs::is_directory(status)) {
        setDirectory(path);
        return false;
    }
    resultPath = path;
    return true;
}
