// GuiSaveFileDialog: a new or confirmed file in a folder we may write to.

#include "gui/GuiSaveFileDialog.h"

#include "gui/GuiText.h"
#include "gui/GuiTextCtrl.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

GuiSaveFileDialog::GuiSaveFileDialog(AppWindow* platformWindow_, int id_, int x_, int y_, int w_, int h_,
                                     Uint32 colour_, const std::string& initialDir,
                                     const std::vector<std::string>& extensions_, const std::string& initialName)
    : GuiFileDialog(platformWindow_, id_, x_, y_, w_, h_, colour_, initialDir, extensions_, guiText("Speichern"))
{
    nameField->setText(initialName);
}

const char* GuiSaveFileDialog::className() { return "GuiSaveFileDialog"; }

void GuiSaveFileDialog::handleEvent(GuiEvent& event)
{
    GuiFileDialog::handleEvent(event);
    if (!replacePath.empty() && fileNameText() != replaceName) {
        replacePath.clear();
        setMessage("");
    }
}

bool GuiSaveFileDialog::validatePath(const std::string& typed)
{
    if (fileNameText().empty()) {
        setMessage(guiText("Bitte einen Dateinamen eingeben."));
        return false;
    }
    std::error_code error;
    // Typing a directory's name and pressing Save walks into it, as in the open dialog.
    if (fs::is_directory(fs::path(typed), error)) {
        setDirectory(typed);
        return false;
    }
    fs::path path(typed);
    if (!extensions.empty() && !matchesExtension(path.filename().string()))
        path += extensions.front();

    const fs::file_status status = fs::status(path, error);
    if (fs::is_directory(status)) {
        setDirectory(path.string());
        return false;
    }
    // A device or a pipe is nothing to replace with a picture.
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        setMessage(guiText("Keine gewöhnliche Datei."));
        return false;
    }
    const fs::path folder = path.parent_path();
    if (!fs::is_directory(folder, error)) {
        setMessage(guiText("Verzeichnis nicht gefunden: ") + folder.string());
        return false;
    }
    // Said here, the user can pick another folder; the writer still reports what goes wrong later.
    if (access(folder.c_str(), W_OK) != 0) {
        setMessage(guiText("Verzeichnis nicht beschreibbar: ") + folder.string());
        return false;
    }
    if (fs::exists(status) && (replacePath != path.string() || replaceName != fileNameText())) {
        replacePath = path.string();
        replaceName = fileNameText();
        setMessage(guiText("Datei existiert. Erneut Speichern ersetzt sie."));
        return false;
    }
    replacePath.clear();
    resultPath = path.string();
    return true;
}
