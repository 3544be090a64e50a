#pragma once
// Root widget of a file-choosing dialog window: a drive selector, the current
// directory, a list of sub-directories and matching files, a name field, a
// message line, and OK and Cancel. Concrete dialogs decide with validatePath
// whether the path the user assembled is an acceptable result.
//
// The application routes the dialog window's notifications: 1000 from the OK
// button (id 1) to accept, from Cancel (id 0) to cancel, everything else to
// dialogHook. When the dialog has ended (9999) it reads `accepted` and `resultPath`.

#include "gui/GuiDialog.h"

#include <string>
#include <vector>

class GuiButton;
class GuiComboBox;
class GuiLabel;
class GuiListCtrl;
class GuiTextCtrl;

struct FileEntry {
    std::string name;  // UTF-8, without the directory; bytes that are not UTF-8 shown as U+FFFD
    bool isDirectory = false;
    std::string rawName;  // the name as the file system has it, for opening
};

class GuiFileDialog : public GuiDialog {
public:
    // `extensions` include their dot (".gpx"); empty accepts every file.
    GuiFileDialog(AppWindow* platformWindow, int id, int x, int y, int w, int h, Uint32 colour,
                  const std::string& initialDir, const std::vector<std::string>& extensions,
                  const std::string& okCaption);
    ~GuiFileDialog() override;

    const char* className() override;
    void handleEvent(GuiEvent& event) override;
    void accept() override;
    void cancel() override;
    void dialogHook(GuiEvent& event) override;
    virtual bool validatePath(const std::string& path) = 0;

    // Shows another directory; an unresolvable one leaves everything as it was.
    void setDirectory(const std::string& path);
    void refreshListing();
    // An absolute name replaces the directory.
    static std::string joinPath(const std::string& directory, const std::string& name);
    void fillDrives();
    void setMessage(const std::string& text);
    std::string fileNameText() const;
    std::string messageText() const;

    std::string currentDir;
    std::vector<std::string> extensions;
    GuiComboBox* driveCombo = nullptr;  // children, owned by the window
    GuiLabel* pathLabel = nullptr;
    GuiListCtrl* fileList = nullptr;
    GuiTextCtrl* nameField = nullptr;
    GuiLabel* messageLabel = nullptr;
    GuiButton* okButton = nullptr;
    GuiButton* cancelButton = nullptr;
    std::vector<FileEntry> entries;  // in the order of the list rows
    bool accepted = false;
    std::string resultPath;
    int lastClickedRow = -1;

protected:
    bool matchesExtension(const std::string& name) const;
    void showDriveOf(const std::string& directory);
};
