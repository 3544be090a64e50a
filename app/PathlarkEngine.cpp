#include "app/PathlarkEngine.h"

#include "app/CommandLine.h"
#include "app/Startup.h"
#include "i18n/Translate.h"
#include "track/Gpx.h"
#include "app/InfoPanel.h"
#include "app/MainWindow.h"
#include "app/PathText.h"
#include "app/StatusLine.h"
#include "gui/GuiButton.h"
#include "gui/GuiCairoPanel.h"
#include "gui/GuiCheckBox.h"
#include "gui/GuiComboBox.h"
#include "gui/GuiLabel.h"
#include "gui/GuiTreeListCtrl.h"
#include "gui/GuiWindow.h"

#include <SDL_image.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>

#include <stdexcept>

extern const unsigned char embeddedWindowIcon[];
extern const std::size_t embeddedWindowIcon_size;

namespace pathlark {

namespace {
constexpr const char* WindowTitle = "Pathlark 0.0.0";
constexpr Uint32 RootColour = 0xFFC8C8C8;

// The desktop entry's icon, also for the task bar and window switcher.
void setWindowIcon(SDL_Window* window)
{
    SDL_Surface* icon = IMG_Load_RW(SDL_RWFromConstMem(embeddedWindowIcon, int(embeddedWindowIcon_size)), 1);
    if (!icon)
        return;
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}
} // namespace

PathlarkEngine::PathlarkEngine() = default;

PathlarkEngine::~PathlarkEngine()
{
    for (cairo_surface_t** surface : {&flagStartSurface, &flagFinishSurface, &flagMarkASurface, &flagMarkBSurface}) {
        if (*surface)
            cairo_surface_destroy(*surface);
        *surface = nullptr;
    }
}

void PathlarkEngine::createMainWindow(const CommandLine& commandLine)
{
    const Uint32 flags = commandLine.fullscreen
                             ? SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE
                             : SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE;
    mainWindow = createWindow(this, WindowTitle, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, commandLine.width,
                              commandLine.height, flags, RootColour);
    if (!mainWindow)
        throw std::runtime_error(tr("Could not create main window"));
    GuiEngine::setMainWindow(mainWindow);
    setWindowIcon(mainWindow->sdlWindow);
    buildMainWindow(*this, mainWindow, commandLine.fullscreen);
}

void PathlarkEngine::loadFirstData(const CommandLine& commandLine)
{
    const auto& args = commandLine.positional;
    if (args.empty()) {
        loadSample();
        if (std::optional<std::filesystem::path> candidate = findDefaultMap())
            loadOsmMap(utf8Text(*candidate));
        return;
    }
    const std::string extension = std::filesystem::path(args[0]).extension().string();
    if (extension == ".osm" || extension == ".xml") {
        loadSample();
        loadOsmMap(args[0]);
        return;
    }
    loadGpxFile(args[0]);
    if (args.size() > 1)
        loadOsmMap(args[1]);
}

void PathlarkEngine::updateWindowTitle()
{
    if (!mainWindow || !mainWindow->sdlWindow)
        return;
    mainWindow->title = gpxPath.empty() ? WindowTitle : displayFileName(gpxPath) + " \u2014 " + WindowTitle;
    SDL_SetWindowTitle(mainWindow->sdlWindow, mainWindow->title.c_str());
}

void PathlarkEngine::setStatus(const std::string& text)
{
    statusText = text;
    if (statusLabel) {
        statusLabel->setText(text);
        statusLabel->markDirty();
    }
}

void PathlarkEngine::setMapLabel(const std::string& text)
{
    mapLabelText = text;
    if (mapLabel) {
        mapLabel->setText(text);
        mapLabel->markDirty();
    }
}

void PathlarkEngine::bindOption(GuiCheckBox* box, bool* option)
{
    if (!box || !option)
        return;
    box->addCallback([this, option](GuiButton* sender, bool checked) {
        *option = checked;
        optionChanged(sender->id, checked);
    });
}

void PathlarkEngine::updateFitButtonLabel()
{
    if (!fitWindowButton || !mainWindow)
        return;
    fitWindowButton->setText(fullscreen ? tr("Restore window") : tr("Fit window to screen"));
    fitWindowButton->markDirty();
}

void PathlarkEngine::fillTrackList()
{
    if (!trackCombo)
        return;
    trackCombo->clear();
    if (gpx) {
        for (int i = 0; i < gpx->getTrackCount(); ++i) {
            const std::string& name = gpx->getTrack(i)->getName();
            trackCombo->addItem(i, name.empty() ? tr("Track ") + std::to_string(i + 1) : name);
        }
    }
    trackCombo->select(0, false);
}

void PathlarkEngine::syncTrackList()
{
    if (trackCombo && trackCombo->selectedIndex != selectedTrack)
        trackCombo->select(selectedTrack, false);
}

void PathlarkEngine::buildInfoPanel()
{
    if (!infoTree)
        return;
    infoTree->clear();
    const Track* track = shownTrack();
    if (!gpx || !track) {
        infoTree->markDirty();
        return;
    }
    std::map<int, int> nodeOfId;
    std::vector<int> topLevel;
    for (const InfoRow& row : infoPanelRows(*gpx, *track, markerA, markerB)) {
        const int parentNode = row.parent == 0 ? -1 : nodeOfId.at(row.parent);
        const int node = infoTree->addNode(parentNode, row.id, {row.label, row.value});
        nodeOfId[row.id] = node;
        if (row.parent == 0)
            topLevel.push_back(node);
    }
    for (int node : topLevel)
        infoTree->setExpanded(node, true, false);
    infoTree->markDirty();
}

PanelContent PathlarkEngine::panelContent() const
{
    PanelContent content;
    content.gpxRevision = gpxRevision;
    content.mapRevision = mapRevision;
    content.selectedTrack = selectedTrack;
    content.cursorIndex = cursorIndex;
    content.markerA = markerA;
    content.markerB = markerB;
    content.statisticsMode = statisticsMode;
    content.angleX = angleX;
    content.angleY = angleY;
    content.angleZ = angleZ;
    if (mapPanel) {
        content.mapWidth = mapPanel->w;
        content.mapHeight = mapPanel->h;
    }
    if (graphPanel) {
        content.graphWidth = graphPanel->w;
        content.graphHeight = graphPanel->h;
    }
    content.zoom = zoom;
    content.panX = panX;
    content.panY = panY;
    content.headingAngle = headingAngle;
    content.freeCursorLat = freeCursorLat;
    content.freeCursorLon = freeCursorLon;
    content.freeCursor = freeCursor;
    content.showHeight = showHeight;
    content.showMap = showMap;
    content.showWaypoints = showWaypoints;
    content.showDirectLine = showDirectLine;
    return content;
}

void PathlarkEngine::drawPanels()
{
    // Map and graph are drawn at their own frame rate, not every loop pass,
    // and not at all while they would show the same picture again.
    const bool mapDue = mapPanel && mapPanel->readyForFrame();
    const bool graphDue = graphPanel && graphPanel->readyForFrame();
    if (!mapDue && !graphDue)
        return;
    const PanelContent content = panelContent();
    if (paintedContent == content && !renderEveryFrame)
        return;
    renderMapPanel();
    paintedContent = content;
}

Uint32 PathlarkEngine::msUntilAppWakeUp(Uint32 now)
{
    if (!mainWindow || paintedContent == panelContent())
        return NoWakeUp;
    Uint32 wait = NoWakeUp;
    for (GuiCairoPanel* panel : {mapPanel, graphPanel})
        if (panel)
            wait = std::min(wait, panel->msUntilReady(now));
    return wait;
}

void PathlarkEngine::presentFrame(AppWindow* window)
{
    SDL_RenderPresent(window->renderer);
    if (framePresented)
        framePresented();
}

void PathlarkEngine::render(AppWindow* window)
{
    if (!window || !window->root || !window->renderer)
        return;
    if (window == mainWindow) {
        layoutMainWindow(*this, window);
        drawPanels();
    }
    window->root->tick(SDL_GetTicks());
    window->root->draw(window->renderer);
    presentFrame(window);
}

} // namespace pathlark
