// "Open GPX", "Open OSM" and saving the map as a picture: modal file dialogs
// over the main window, and files dropped from a file manager, which open as
// if chosen in them.

#include "app/PathText.h"
#include "app/PathlarkEngine.h"
#include "gui/GuiOpenFileDialog.h"
#include "gui/GuiSaveFileDialog.h"
#include "i18n/Translate.h"
#include "track/Gpx.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace pathlark {

namespace {

constexpr int DialogWidth = 560;
constexpr int DialogHeight = 460;
constexpr Uint32 DialogColour = 0xFFC8C8C8;

std::string workingDirectory()
{
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    return ec ? std::string() : utf8Text(cwd);
}

// "ride.gpx" gives "ride.png"; in a file of several tracks the track's number
// tells the pictures apart ("ride-2.png").
std::string pictureName(const std::string& gpxPath, int trackCount, int selectedTrack)
{
    std::string name = utf8Text(fs::path(gpxPath).stem());
    if (name.empty())
        name = "map";
    if (trackCount > 1)
        name += "-" + std::to_string(selectedTrack + 1);
    return name + ".png";
}

} // namespace

void PathlarkEngine::openFileDialog(const std::string& title, const std::string& startDir,
                                    const std::vector<std::string>& filters)
{
    openDialogWindow(title, [&](AppWindow* r, int w, int h, Uint32 colour) -> GuiWindow* {
        return new GuiOpenFileDialog(r, -1, 0, 0, w, h, colour, startDir, filters);
    });
}

void PathlarkEngine::openDialogWindow(const std::string& title, const RootFactory& makeDialog)
{
    int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
    centreOnMainWindow(x, y, DialogWidth, DialogHeight);
    AppWindow* record = createWindowWithRoot(this, title, x, y, DialogWidth, DialogHeight, SDL_WINDOW_SHOWN,
                                             DialogColour, makeDialog);
    if (!record)
        return;
    setModalForMain(record);
    beginModal(record->root);
}

void PathlarkEngine::openGpxDialog()
{
    // One dialog at a time: a second would take over the first one's result.
    if (modalRoot)
        return;
    osmDialogPending = false;
    openFileDialog(tr("Open GPX"), workingDirectory(), {".gpx", ".fit", ".tcx"});
}

void PathlarkEngine::openOsmDialog()
{
    if (modalRoot)
        return;
    osmDialogPending = true;
    // Maps usually lie beside their tracks.
    const std::string start = gpxPath.empty() ? workingDirectory() : utf8Text(fs::path(gpxPath).parent_path());
    openFileDialog(tr("Open OSM map"), start, {".osm", ".xml"});
}

void PathlarkEngine::openSavePictureDialog()
{
    if (modalRoot || !shownTrack())
        return;
    osmDialogPending = false;
    // Beside the track, named after it, as the map downloaded for it is.
    const std::string folder = utf8Text(fs::path(gpxPath).parent_path());
    const std::string start = folder.empty() ? workingDirectory() : folder;
    const std::string name = pictureName(gpxPath, gpx->getTrackCount(), selectedTrack);
    openDialogWindow(tr("Save map as picture"), [&](AppWindow* r, int w, int h, Uint32 colour) -> GuiWindow* {
        return new GuiSaveFileDialog(r, -1, 0, 0, w, h, colour, start, {".png"}, name);
    });
}

void PathlarkEngine::openDroppedFile(const std::string& path)
{
    // An open dialog has the user's attention; loading behind it would change
    // what the dialog was opened for.
    if (modalRoot)
        return;
    if (isDirectory(path)) {
        setStatus(tr("Drop a GPX or OSM file, not a folder: ") + path);
        return;
    }
    std::string extension = fs::path(path).extension().string();
    // ASCII only: a locale's case rules (Turkish "I") must not decide.
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    if (extension == ".osm" || extension == ".xml")
        loadOsmMap(path);
    else
        loadGpxFile(path);
}

void PathlarkEngine::handleDialogClosed(GuiEvent& event)
{
    if (auto* save = dynamic_cast<GuiSaveFileDialog*>(event.source)) {
        if (event.param == 1 && save->accepted && !save->resultPath.empty())
            saveMapPicture(save->resultPath);
        closeWindow(event.windowId);
        return;
    }
    const bool forMap = osmDialogPending;
    osmDialogPending = false;
    auto* dialog = dynamic_cast<GuiFileDialog*>(event.source);
    if (dialog && event.param == 1 && dialog->accepted && !dialog->resultPath.empty()) {
        const std::string path = dialog->resultPath;
        if (forMap)
            loadOsmMap(path);
        else
            loadGpxFile(path);
    }
    closeWindow(event.windowId);
}

} // namespace pathlark
