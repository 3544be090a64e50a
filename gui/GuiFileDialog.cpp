// GuiFileDialog: children, listing, navigation and the end of the dialog.
//
// [SECTION] Construction
// [SECTION] Listing
// [SECTION] Navigation
// [SECTION] Events and ending

#include "gui/GuiFileDialog.h"

#include "gui/GuiButton.h"
#include "gui/GuiComboBox.h"
#include "gui/GuiLabel.h"
#include "gui/GuiListCtrl.h"
#include "gui/GuiText.h"
#include "gui/GuiTextCtrl.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Colours as one value, red in the lowest byte.
constexpr Uint32 rgba(Uint32 r, Uint32 g, Uint32 b, Uint32 a = 255)
{
    return r | (g << 8) | (b << 16) | (a << 24);
}

bool equalsIgnoringAsciiCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const unsigned char ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
        const auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
        if (lower(ca) != lower(cb))
            return false;
    }
    return true;
}

// Sorted by the bytes of the name, so "B" comes before "a" whatever the locale.
void sortByName(std::vector<FileEntry>& list)
{
    std::sort(list.begin(), list.end(), [](const FileEntry& a, const FileEntry& b) { return a.name < b.name; });
}

} // namespace

// [SECTION] Construction

GuiFileDialog::GuiFileDialog(AppWindow* platformWindow_, int id_, int x_, int y_, int w_, int h_, Uint32 colour_,
                             const std::string& initialDir, const std::vector<std::string>& extensions_,
                             const std::string& okCaption)
    : GuiDialog(platformWindow_, id_, x_, y_, w_, h_, colour_),
      currentDir(initialDir.empty() ? std::string(".") : initialDir), extensions(extensions_)
{
    std::error_code error;
    const fs::path resolved = fs::canonical(fs::path(currentDir), error);
    if (!error)
        currentDir = resolved.string();

    const int W = w_, H = h_;
    driveCombo = add(new GuiComboBox(nullptr, -1, 10, 10, 140, 22, rgba(240, 240, 240), rgba(0, 0, 0), uiFont, 150));
    pathLabel = add(new GuiLabel(nullptr, -1, 158, 10, W - 168, 22, rgba(0, 0, 0), currentDir, uiFont,
                                 GuiLabel::LeftAligned | GuiLabel::ShortenLeft));
    fileList = add(new GuiListCtrl(nullptr, -1, 10, 40, W - 20, H - 113, rgba(255, 255, 255), uiFont));
    nameField = add(new GuiTextCtrl(nullptr, -1, 10, H - 65, W - 20, 22, rgba(255, 255, 255), ftFace, 0));
    messageLabel = add(new GuiLabel(nullptr, -1, 10, H - 35, W - 236, 25, rgba(200, 0, 0), "", uiFont, 0));
    okButton = add(new GuiButton(nullptr, 1, W - 218, H - 35, 100, 25, rgba(192, 192, 192), okCaption, uiFont, 0));
    cancelButton = add(new GuiButton(nullptr, 0, W - 110, H - 35, 100, 25, rgba(192, 192, 192),
                                     guiText("Abbrechen"), uiFont, 0));
    driveCombo->name = "drive";
    fileList->name = "files";
    nameField->name = "filename";
    okButton->name = "ok";
    cancelButton->name = "cancel";

    fillDrives();
    refreshListing();
}

GuiFileDialog::~GuiFileDialog() = default;

const char* GuiFileDialog::className() { return "GuiFileDialog"; }

// No drive letters here: the file-system root, then the user's home directory.
void GuiFileDialog::fillDrives()
{
    driveCombo->addItem(0, "/");
    const char* home = std::getenv("HOME");
    std::error_code error;
    if (home && *home && fs::is_directory(fs::path(home), error) && fs::path(home) != fs::path("/"))
        driveCombo->addItem(1, home);
}

// [SECTION] Listing

// The drive box shows the drive holding the directory: the longest drive path
// that is the directory itself or one of its ancestors.
void GuiFileDialog::showDriveOf(const std::string& directory)
{
    int best = -1;
    size_t bestLength = 0;
    for (size_t i = 0; i < driveCombo->items.size(); ++i) {
        const std::string& drive = driveCombo->items[i].text;
        if (drive.empty())
            continue;
        const bool holds = directory == drive || (directory.compare(0, drive.size(), drive) == 0 &&
                                                  (drive.back() == '/' || directory[drive.size()] == '/'));
        if (holds && (best < 0 || drive.size() > bestLength)) {
            best = int(i);
            bestLength = drive.size();
        }
    }
    if (best >= 0 && best != driveCombo->selectedIndex)
        driveCombo->select(best, false);
}

bool GuiFileDialog::matchesExtension(const std::string& name) const
{
    if (extensions.empty())
        return true;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return false;
    const std::string extension = name.substr(dot);
    return std::any_of(extensions.begin(), extensions.end(),
                       [&](const std::string& wanted) { return equalsIgnoringAsciiCase(extension, wanted); });
}

void GuiFileDialog::refreshListing()
{
    entries.clear();
    lastClickedRow = -1;
    fileList->clear();
    showDriveOf(currentDir);

    std::error_code error;
    fs::directory_iterator it(fs::path(currentDir), error);
    if (error) {
        setMessage(guiText("Verzeichnis kann nicht gelesen werden: ") + currentDir);
        return;
    }

    std::vector<FileEntry> directories, files;
    const fs::path current(currentDir);
    if (current != current.root_path())
        directories.push_back(FileEntry{"..", true, ".."});
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error)
            break;
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.')
            continue;
        std::error_code statusError;
        fs::file_type type = it->symlink_status(statusError).type();
        if (statusError || type == fs::file_type::unknown || type == fs::file_type::none ||
            type == fs::file_type::symlink) {
            statusError.clear();
            type = it->status(statusError).type();
            // A dangling link or an entry gone meanwhile: nothing the user could open.
            if (statusError || type == fs::file_type::not_found || type == fs::file_type::none)
                continue;
        }
        if (type == fs::file_type::directory)
            directories.push_back(FileEntry{utf8ForDisplay(name), true, name});
        else if (matchesExtension(name))
            files.push_back(FileEntry{utf8ForDisplay(name), false, name});
    }
    sortByName(directories);
    sortByName(files);

    entries = std::move(directories);
    entries.insert(entries.end(), files.begin(), files.end());
    for (size_t i = 0; i < entries.size(); ++i) {
        const FileEntry& entry = entries[i];
        fileList->addItem(int(i), entry.isDirectory ? "[" + entry.name + "]" : entry.name);
    }
    pathLabel->setText(utf8ForDisplay(currentDir));
    pathLabel->tooltip = pathLabel->text;
    setMessage("");
}

// [SECTION] Navigation

std::string GuiFileDialog::joinPath(const std::string& directory, const std::string& name)
{
    return (fs::path(directory) / fs::path(name)).string();
}

void GuiFileDialog::setDirectory(const std::string& path)
{
    std::error_code error;
    const fs::path resolved = fs::canonical(fs::path(path), error);
    // A file is no place to show either; treating it as missing keeps the listing as it was.
    if (error || !fs::is_directory(resolved, error)) {
        setMessage(guiText("Verzeichnis nicht gefunden: ") + path);
        showDriveOf(currentDir);  // a drive that failed does not stay shown
        return;
    }
    currentDir = resolved.string();
    nameField->setText("");
    refreshListing();
}

// Messages may quote a path, which need not be UTF-8.
void GuiFileDialog::setMessage(const std::string& text) { messageLabel->setText(utf8ForDisplay(text)); }

std::string GuiFileDialog::fileNameText() const { return nameField->text(); }

std::string GuiFileDialog::messageText() const { return messageLabel->text; }

// [SECTION] Events and ending

void GuiFileDialog::handleEvent(GuiEvent& event)
{
    GuiWindow::handleEvent(event);
    const SDL_Event* sdl = event.sdlEvent;
    if (event.kind != GuiEvent::SdlInput || !sdl || sdl->type != SDL_MOUSEBUTTONDOWN || event.target != fileList)
        return;

    const int row = fileList->itemAt(sdl->button.x, sdl->button.y);
    if (row < 0 || row >= int(entries.size())) {
        lastClickedRow = -1;
        return;
    }
    // Both clicks of a double click must land on the same row.
    if (sdl->button.clicks >= 2 && row == lastClickedRow) {
        const FileEntry entry = entries[size_t(row)];
        if (entry.isDirectory) {
            setDirectory(joinPath(currentDir, entry.rawName));
        } else {
            nameField->setText(entry.name);
            accept();
        }
        return;
    }
    lastClickedRow = row;
    if (!entries[size_t(row)].isDirectory)
        nameField->setText(entries[size_t(row)].name);
}

void GuiFileDialog::accept()
{
    std::string name = fileNameText();
    // A listed name shown with replacement characters opens the file it stands for.
    for (const FileEntry& entry : entries)
        if (!entry.isDirectory && entry.name == name) {
            name = entry.rawName;
            break;
        }
    const std::string candidate = fs::path(name).is_absolute() ? name : joinPath(currentDir, name);
    if (!validatePath(candidate))
        return;
    accepted = true;
    GuiDialog::accept();
}

void GuiFileDialog::cancel()
{
    accepted = false;
    GuiDialog::cancel();
}

void GuiFileDialog::dialogHook(GuiEvent& event)
{
    if (event.kind == GuiEvent::Notification && event.code == GuiNotify::ComboChanged && event.source == driveCombo)
        setDirectory(driveCombo->selectedText());
}
