#pragma once
// The application engine: all of Pathlark's state lives in its public members,
// which the shell, the loaders and the views read and write directly.

#include "gui/AppWindow.h"
#include "gui/GuiEngine.h"
#include "map/MapFeature.h"

#include <cairo.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

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

class PathlarkEngine : public GuiEngine {
public:
    PathlarkEngine();
    ~PathlarkEngine() override;

    void render(AppWindow* window) override;
    void handleEvent(AppWindow* window, GuiEvent& event) override;

    // Creates the main window at the size the command line asks for; throws on failure.
    void createMainWindow(const CommandLine& commandLine);
    // Loads what the command line names, or the sample and a default map.
    void loadFirstData(const CommandLine& commandLine);
    // The one channel for user-visible reports.
    void setStatus(const std::string& text);
    // Reads an OSM file and replaces the map with it; on failure only the status changes.
    void loadOsmMap(const std::string& path);

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

    std::string gpxPath;
    std::string mapPath;
    std::vector<MapFeature> mapFeatures;
    std::uint64_t mapRevision = 0;  // counts every replacement of mapFeatures
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

    // Last text given to setStatus, kept for when no status label exists.
    std::string statusText;
};

} // namespace pathlark
