// "Open GPX" and "Open OSM": modal file dialogs over the main window.

#include "app/PathText.h"
#include "app/PathlarkEngine.h"
#include "app/Translate.h"
#include "gui/GuiOpenFileDialog.h"

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

} // namespace

void PathlarkEngine::openFileDialog(const std::string& title, const std::string& startDir,
                                    const std::vector<std::string>& filters)
{
    int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
    centreOnMainWindow(x, y, DialogWidth, DialogHeight);
    AppWindow* record = createWindowWithRoot(
        this, title, x, y, DialogWidth, DialogHeight, SDL_WINDOW_SHOWN, DialogColour,
        [&](AppWindow* r, int w, int h, Uint32 colour) -> GuiWindow* {
            return new GuiOpenFileDialog(r, -1, 0, 0, w, h, colour, startDir, filters);
        });
    if (!record)
        return;
    setModalForMain(record);
    beginModal(record->root);
}

void PathlarkEngine::openGpxDialog()
{
    osmDialogPending = false;
    openFileDialog(tr("Open GPX"), workingDirectory(), {".gpx", ".fit", ".tcx"});
}

void PathlarkEngine::openOsmDialog()
{
    osmDialogPending = true;
    // Maps usually lie beside their tracks.
    const std::string start = gpxPath.empty() ? workingDirectory() : utf8Text(fs::path(gpxPath).parent_path());
    openFileDialog(tr("Open OSM map"), start, {".osm", ".xml"});
}

void PathlarkEngine::handleDialogClosed(GuiEvent& event)
{
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
