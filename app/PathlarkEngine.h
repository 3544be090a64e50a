#pragma once
// The application engine: all of Pathlark's state lives in its public members,
// which the shell, the loaders and the views read and write directly.

#include "gui/AppWindow.h"
#include "gui/GuiEngine.h"
#include "map/MapFeature.h"
#include "map/OverpassDownload.h"
#include "view/MapLayerCache.h"
#include "view/MapProjection.h"

#include <cairo.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class Gpx;
class Track;
class GuiButton;
class GuiCairoPanel;
class GuiCheckBox;
class GuiComboBox;
class GuiLabel;
class GuiObject;
class GuiTextCtrl;
class GuiTreeListCtrl;

namespace pathlark {

struct CommandLine;

// Everything the map and graph panels show; they are painted anew only when it changes.
struct PanelContent {
    std::uint64_t gpxRevision = 0;
    std::uint64_t mapRevision = 0;
    int selectedTrack = -1;
    int cursorIndex = -1;
    int markerA = -1;
    int markerB = -1;
    int statisticsMode = 0;
    int angleX = 0, angleY = 0, angleZ = 0;
    int mapWidth = 0, mapHeight = 0, graphWidth = 0, graphHeight = 0;
    double zoom = 0.0, panX = 0.0, panY = 0.0, headingAngle = 0.0;
    double freeCursorLat = 0.0, freeCursorLon = 0.0;
    bool freeCursor = false, showHeight = false, showMap = false, showWaypoints = false, showDirectLine = false;

    bool operator==(const PanelContent&) const = default;
};

class PathlarkEngine : public GuiEngine {
public:
    PathlarkEngine();
    ~PathlarkEngine() override;

    void render(AppWindow* window) override;
    void handleEvent(AppWindow* window, GuiEvent& event) override;
    // A frame is due when the panels' content changed and their frame pacing allows one.
    Uint32 msUntilAppWakeUp(Uint32 now) override;
    // F11: desktop fullscreen that the fit button can undo like its own.
    void toggleFullscreen() override;

    // Creates the main window at the size the command line asks for; throws on failure.
    void createMainWindow(const CommandLine& commandLine);
    // Loads what the command line names, or the sample and a default map.
    void loadFirstData(const CommandLine& commandLine);
    // The one channel for user-visible reports.
    void setStatus(const std::string& text);
    // The map state text in the side column.
    void setMapLabel(const std::string& text);
    // Writes the box's state into the option and runs the option's follow-up.
    void bindOption(GuiCheckBox* box, bool* option);
    void updateFitButtonLabel();
    // Commands of the event handler (Commands.cpp).
    void setCursor(int index);
    void setMarker(bool a);
    void toggleOption(GuiCheckBox* box, bool& option);
    void applyPerspective(int index);
    void applyAngles();
    void changeCursorMode(int mode);
    void fitWindowToScreen();
    void handleNotification(AppWindow* window, GuiEvent& event);
    bool runButtonCommand(Uint32 id);
    bool handleKey(const SDL_KeyboardEvent& key);
    bool handleMapOrGraphPress(const SDL_MouseButtonEvent& button);

    // Modal file dialogs; the choice comes back as a dialog-closed notification.
    void openGpxDialog();
    void openOsmDialog();
    void handleDialogClosed(GuiEvent& event);
    void openFileDialog(const std::string& title, const std::string& startDir,
                        const std::vector<std::string>& filters);
    void openDialogWindow(const std::string& title, const RootFactory& makeDialog);
    // Ctrl+S: the map panel as shown, saved as a PNG file the user names.
    void openSavePictureDialog();
    // Writes the picture (MapPicture.cpp); the status line says where it went or why it did not.
    void saveMapPicture(const std::string& path);
    // Follow-up of an option change (centring, heading), by check box id.
    void optionChanged(int boxId, bool checked);
    // Draws map and graph into their panels when their content changed and
    // their frame interval has passed.
    void drawPanels();
    PanelContent panelContent() const;
    void presentFrame(AppWindow* window);
    // Opens a GPX, FIT or TCX file, shows its first track and finds a map for it.
    void loadGpxFile(const std::string& path);
    // The map beside a newly taken track file, else one downloaded for it.
    void findTrackMap(const std::string& path);
    // A file dropped on a window: maps (".osm", ".xml") to loadOsmMap, all else to loadGpxFile.
    void openDroppedFile(const std::string& path);
    // "ride.gpx — Pathlark 0.0.0" while a track file is shown, else "Pathlark 0.0.0".
    void updateWindowTitle();
    // Takes the document when it has tracks (doc is then null); else reports and leaves it.
    void setGpx(std::unique_ptr<Gpx>& doc, const std::string& path);
    void selectTrack(int index);
    void loadSample();
    // The shown track, or null.
    const Track* shownTrack() const;
    void updateStatusLine();
    void buildInfoPanel();
    // Empties the map after a track whose map could not be found.
    void clearMap();
    // The track list mirrors the document's tracks.
    void fillTrackList();
    void syncTrackList();

    // Reads an OSM file and replaces the map with it; on failure only the status changes.
    void loadOsmMap(const std::string& path);
    // Fetches the shown track's surroundings into target (MapDownload.cpp); true when saved.
    // Blocks, keeping the main window painted; every failure ends in one error box.
    // Escape cancels it, and so does closing a window (which then ends the program).
    bool downloadOsmMap(const std::filesystem::path& target);
    void showOsmError(const std::string& message);
    void redrawDuringDownload();
    bool downloadCancelRequested();

    // View operations (ViewOperations.cpp). Each does nothing while no track
    // with points is shown; positions are relative to the map panel.
    ViewState mapViewState() const;
    void centerOnCursor();
    void updateHeading();
    void zoomBy(double factor);
    void zoomAtMouse(double factor, int mouseX, int mouseY);  // window coordinates
    void rotateBy(int& angle, int step);
    void resetView();
    int pickNearestPoint(int panelX, int panelY);  // -1 when nothing is shown
    bool unprojectFlat(int panelX, int panelY, double& lat, double& lon);
    // Paints the map panel, and the graph panel when a track with points is shown.
    void renderMapPanel();

    AppWindow* mainWindow = nullptr;
    GuiButton* openGpxButton = nullptr;
    GuiButton* prevTrackButton = nullptr;
    GuiButton* nextTrackButton = nullptr;
    GuiButton* fitWindowButton = nullptr;
    GuiComboBox* trackCombo = nullptr;
    GuiCairoPanel* mapPanel = nullptr;
    GuiCairoPanel* graphPanel = nullptr;
    GuiLabel* statusLabel = nullptr;
    GuiTreeListCtrl* infoTree = nullptr;
    GuiLabel* mapLabel = nullptr;
    GuiTextCtrl* angleXText = nullptr;
    GuiTextCtrl* angleYText = nullptr;
    GuiTextCtrl* angleZText = nullptr;
    GuiComboBox* statisticsCombo = nullptr;
    GuiComboBox* perspectiveCombo = nullptr;
    GuiComboBox* cursorModeCombo = nullptr;
    GuiCheckBox* centerCursorCheck = nullptr;
    GuiCheckBox* followDirectionCheck = nullptr;
    GuiCheckBox* waypointsCheck = nullptr;
    GuiCheckBox* heightCheck = nullptr;
    GuiCheckBox* directLineCheck = nullptr;
    GuiCheckBox* osmBackgroundCheck = nullptr;

    std::unique_ptr<Gpx> gpx;
    std::string gpxPath;
    std::string mapPath;
    std::vector<MapFeature> mapFeatures;
    std::uint64_t mapRevision = 0;  // counts every replacement of mapFeatures
    std::uint64_t gpxRevision = 0;  // counts every replacement of gpx
    std::optional<PanelContent> paintedContent;  // what the panels show now
    MapLayerCache mapLayerCache;    // owns the cached map layer surface
    // Map state text ("file.osm  |  N map ways"), kept for when no map label exists.
    std::string mapLabelText;
    std::vector<std::pair<GuiObject*, int>> rightPanelControls;  // control, design x
    cairo_surface_t* flagStartSurface = nullptr;                  // owned
    cairo_surface_t* flagFinishSurface = nullptr;
    cairo_surface_t* flagMarkASurface = nullptr;
    cairo_surface_t* flagMarkBSurface = nullptr;

    int selectedTrack = -1;
    int cursorIndex = -1;
    int statisticsMode = 0;  // 0 height, 1 speed, 2 both
    int markerA = -1;
    int markerB = -1;
    int angleX = 0;          // whole degrees, always 0..359
    int angleY = 0;
    int angleZ = 0;
    double zoom = 1.0;       // 0.05..50
    double panX = 0.0;       // pixels
    double panY = 0.0;
    double headingAngle = 0.0;  // radians
    double freeCursorLat = 0.0;
    double freeCursorLon = 0.0;
    // The six options, in the order their check boxes bind to them.
    bool centerCursor = false;
    bool followDirection = false;
    bool showWaypoints = false;
    bool showHeight = false;
    bool showDirectLine = false;
    bool showMap = true;
    bool freeCursor = false;
    bool dragging = false;
    bool osmDialogPending = false;
    bool fullscreen = false;
    SDL_Rect savedWindowRect{int(SDL_WINDOWPOS_CENTERED), int(SDL_WINDOWPOS_CENTERED), 1100, 720};
    int dragLastX = 0;
    int dragLastY = 0;
    TrackExtent trackExtent;  // the projection's cached extent of the shown track

    // Last texts given to setStatus and setMapLabel, kept for when the labels do not exist yet.
    std::string statusText;

    // Map download: servers in the order tried, the pause between them, and
    // the error box, which tests replace (a real box waits for a click).
    std::vector<OverpassEndpoint> overpassEndpoints = defaultOverpassEndpoints();
    int downloadRetryPauseMs = 2000;
    bool downloadCancelled = false;  // the last download was stopped by the user
    // Called after every frame shown, the download's included (tests and benchmarks watch it).
    std::function<void()> framePresented;
    std::function<bool(const std::string& title, const std::string& text)> showErrorBox =
        [](const std::string& title, const std::string& text) {
            return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), text.c_str(), nullptr) == 0;
        };
};

} // namespace pathlark
