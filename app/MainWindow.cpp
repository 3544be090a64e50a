// The main window: tool row, info panel, map and graph, the side column of
// controls and the status line.

#include "app/MainWindow.h"

#include "app/PathlarkEngine.h"
#include "gui/GuiButton.h"
#include "gui/GuiCairoPanel.h"
#include "gui/GuiCheckBox.h"
#include "gui/GuiComboBox.h"
#include "gui/GuiDataFiles.h"
#include "gui/GuiImageButton.h"
#include "gui/GuiImagePanel.h"
#include "gui/GuiLabel.h"
#include "gui/GuiText.h"
#include "gui/GuiTextCtrl.h"
#include "gui/GuiTreeListCtrl.h"
#include "gui/GuiWindow.h"
#include "i18n/Translate.h"

#include <algorithm>
#include <string>

namespace pathlark {

namespace {

constexpr Uint32 PanelGrey = 0xFFF0F0F0;
constexpr Uint32 InfoWhite = 0xFFFAFAFA;
constexpr Uint32 LogoGrey = 0xFFF5F5F5;
constexpr Uint32 White = 0xFFFFFFFF;
constexpr Uint32 ComboText = 0xFF141414;
constexpr int DropHeight = 150;
constexpr int RepeatDelayMs = 350;
constexpr int RepeatIntervalMs = 80;
// Controls right of this x belong to the side column and follow the right edge.
constexpr int SideColumnX = 869;

struct Builder {
    PathlarkEngine& engine;
    GuiWindow* root;
    SDL_Renderer* renderer;

    template <class T>
    T* add(T* widget, const char* tooltip = nullptr)
    {
        root->add(widget);
        if (tooltip)
            setTooltip(widget, tooltip);
        return widget;
    }

    GuiButton* button(int id, int x, int y, int w, int h, const std::string& text, const char* tooltip)
    {
        return add(new GuiButton(nullptr, id, x, y, w, h, PanelGrey, text, uiFont, 0), tooltip);
    }

    GuiImageButton* iconButton(int id, int x, int y, int w, int h, const char* fileName, bool repeat,
                               const char* tooltip)
    {
        auto* b = new GuiImageButton(nullptr, id, x, y, w, h, PanelGrey, renderer, repeat ? GuiButton::AutoRepeat : 0);
        add(b, tooltip);
        // A missing picture leaves the button's built-in one.
        if (!b->loadIcon(renderer, dataFilePath(std::string("data/images/") + fileName)))
            b->loadDefaultIcon(renderer);
        if (repeat) {
            b->repeatDelay = RepeatDelayMs;
            b->repeatInterval = RepeatIntervalMs;
        }
        return b;
    }

    GuiLabel* label(int x, int y, int w, int h, const std::string& text, Uint32 colour = PanelGrey,
                    Uint32 flags = GuiLabel::LeftAligned)
    {
        return add(new GuiLabel(nullptr, -1, x, y, w, h, colour, text, uiFont, flags));
    }

    GuiComboBox* combo(int id, int x, int y, int w, int h, std::initializer_list<const char*> items,
                       const char* tooltip)
    {
        auto* c = add(new GuiComboBox(nullptr, id, x, y, w, h, PanelGrey, ComboText, uiFont, DropHeight), tooltip);
        int itemId = 0;
        for (const char* item : items)
            c->addItem(itemId++, tr(item));
        return c;
    }

    GuiTextCtrl* angleField(int id, int x, int y, const char* tooltip)
    {
        return add(new GuiTextCtrl(nullptr, id, x, y, 48, 24, White, ftFace, 0), tooltip);
    }

    GuiCheckBox* checkBox(int id, int y, const char* text, const char* tooltip)
    {
        return add(new GuiCheckBox(nullptr, id, 870, y, 220, 24, PanelGrey, tr(text), uiFont, 0), tooltip);
    }

    cairo_surface_t* flag(const char* fileName)
    {
        // A missing file gives cairo's error surface, which draws as nothing.
        return cairo_image_surface_create_from_png(dataFilePath(std::string("data/images/") + fileName).c_str());
    }
};

} // namespace

void setTooltip(GuiObject* widget, const char* text)
{
    if (widget)
        widget->tooltip = text ? tr(text) : "";
}

void updateAngleFields(PathlarkEngine& engine)
{
    const std::pair<GuiTextCtrl*, int> fields[] = {
        {engine.angleXText, engine.angleX}, {engine.angleYText, engine.angleY}, {engine.angleZText, engine.angleZ}};
    for (const auto& [field, angle] : fields)
        if (field)
            field->setText(std::to_string(angle));
}

void buildMainWindow(PathlarkEngine& engine, AppWindow* window, bool fullscreen)
{
    engine.fullscreen = fullscreen;
    engine.mainWindow = window;
    SDL_SetWindowMinimumSize(window->sdlWindow, 850, 650);
    engine.appFlag = true;

    GuiWindow* root = window->root;
    root->colour = colourFromValue(PanelGrey);
    root->markDirty();
    Builder b{engine, root, window->renderer};

    engine.openGpxButton = b.button(100, 8, 8, 90, 26, tr("Open GPX"), "Open a GPX track file");
    engine.prevTrackButton = b.button(101, 106, 8, 32, 26, "<", "Select the previous track");
    engine.trackCombo = b.combo(106, 146, 8, 260, 26, {}, N_("Select a track from the GPX file"));
    engine.nextTrackButton = b.button(102, 414, 8, 32, 26, ">", "Select the next track");
    b.button(103, 464, 8, 34, 26, "+", "Zoom in");
    b.button(104, 506, 8, 34, 26, "-", "Zoom out");
    b.button(105, 548, 8, 70, 26, tr("Reset"), "Reset the map view");

    auto* logo = b.add(new GuiImagePanel(nullptr, -1, 15, 48, 190, 47, LogoGrey));
    logo->loadImage(window->renderer, dataFilePath("data/images/logo.png"));

    engine.infoTree = b.add(new GuiTreeListCtrl(nullptr, -1, 10, 102, 320, 592, InfoWhite, uiFont));
    engine.infoTree->addColumn(tr("Parameter"), 120);
    engine.infoTree->addColumn(tr("Value"), 196);

    b.label(870, 52, 62, 24, tr("Cursor"));
    engine.cursorModeCombo =
        b.combo(111, 946, 52, 154, 24, {N_("Waypoint"), N_("Free")},
                N_("Choose how the cursor moves along the track"));
    b.iconButton(107, 870, 82, 32, 30, "cursor_prev.png", true, "Move the cursor backward");
    b.iconButton(108, 906, 82, 32, 30, "cursor_next.png", true, "Move the cursor forward");
    b.iconButton(109, 942, 82, 32, 30, "signpost.png", false, "Jump to the start of the track");
    b.iconButton(110, 978, 82, 32, 30, "mini_finish.png", false, "Jump to the end of the track");
    b.iconButton(103, 1014, 82, 32, 30, "zoom_in.png", false, "Zoom in");
    b.iconButton(104, 1050, 82, 32, 30, "zoom_out.png", false, "Zoom out");

    b.label(870, 126, 62, 24, tr("Angle"));
    engine.perspectiveCombo =
        b.combo(132, 936, 126, 154, 24,
                {N_("Reset"), N_("North-side"), N_("East-side"), N_("South-side"), N_("West-side"), N_("Custom")},
                N_("Select a predefined map perspective"));
    b.label(870, 154, 18, 22, "X", InfoWhite, 0);
    engine.angleXText = b.angleField(128, 888, 152, "Enter the X rotation angle");
    b.label(944, 154, 18, 22, "Y", InfoWhite, 0);
    engine.angleYText = b.angleField(129, 962, 152, "Enter the Y rotation angle");
    b.label(1018, 154, 18, 22, "Z", InfoWhite, 0);
    engine.angleZText = b.angleField(130, 1036, 152, "Enter the Z rotation angle");
    updateAngleFields(engine);

    b.iconButton(121, 870, 178, 32, 24, "angle_x_left.png", true, "Rotate counterclockwise");
    b.iconButton(122, 906, 178, 32, 24, "angle_x_right.png", true, "Rotate clockwise");
    b.iconButton(123, 942, 178, 32, 24, "angle_y_left.png", true, "Rotate counterclockwise");
    b.iconButton(124, 978, 178, 32, 24, "angle_y_right.png", true, "Rotate clockwise");
    b.iconButton(125, 1014, 178, 32, 24, "angle_z_left.png", true, "Rotate counterclockwise");
    b.iconButton(126, 1050, 178, 32, 24, "angle_z_right.png", true, "Rotate clockwise");
    b.label(870, 238, 220, 24, tr("Options"));
    b.iconButton(119, 870, 206, 68, 24, "flag_mark_a.png", false, "Set analysis marker A at the cursor");
    b.iconButton(120, 944, 206, 68, 24, "flag_mark_b.png", false, "Set analysis marker B at the cursor");
    b.button(112, 1018, 206, 72, 24, tr("Center"), "Center the map on the cursor");

    engine.centerCursorCheck =
        b.checkBox(113, 270, N_("Center cursor"), "Keep the cursor centered and zoom around it");
    engine.followDirectionCheck =
        b.checkBox(114, 298, N_("Follow direction"), "Rotate the view to follow the travel direction");
    engine.waypointsCheck = b.checkBox(115, 326, N_("Waypoints"), "Show or hide track waypoints");
    engine.heightCheck = b.checkBox(116, 354, N_("Height"), "Show or hide the elevation profile");
    engine.directLineCheck =
        b.checkBox(117, 382, N_("Direct line"), "Show or hide the direct line between markers A and B");
    b.label(870, 422, 220, 24, tr("Statistics"));
    engine.statisticsCombo = b.combo(118, 870, 454, 220, 26, {N_("Height"), N_("Speed"), N_("Height + km/h")},
                                     N_("Choose the data shown in the statistics graph"));
    b.label(870, 494, 78, 24, tr("Map"));
    b.button(127, 952, 494, 138, 24, tr("Open OSM"), "Open an OpenStreetMap file");
    engine.osmBackgroundCheck =
        b.checkBox(131, 524, N_("OSM background"), "Show or hide the OpenStreetMap background");
    engine.mapLabel = b.label(870, 554, 220, 38, tr("No map loaded"), InfoWhite,
                              GuiLabel::LeftAligned | GuiLabel::ShortenLeft);
    engine.fitWindowButton =
        b.button(133, 870, 598, 220, 24, tr("Fit window to screen"), "Fit the window to the available screen area");

    engine.mapPanel = b.add(new GuiCairoPanel(nullptr, -1, 340, 42, 520, 522, White, window->renderer));
    engine.mapPanel->setMaxFps(15);
    engine.graphPanel = b.add(new GuiCairoPanel(nullptr, -1, 340, 564, 520, 130, White, window->renderer));
    engine.graphPanel->setMaxFps(15);
    engine.statusLabel = b.label(8, 698, 1084, 22, tr("Open a GPX file to begin"));

    engine.osmBackgroundCheck->setValue("1");
    engine.osmBackgroundCheck->markDirty();
    engine.bindOption(engine.centerCursorCheck, &engine.centerCursor);
    engine.bindOption(engine.followDirectionCheck, &engine.followDirection);
    engine.bindOption(engine.waypointsCheck, &engine.showWaypoints);
    engine.bindOption(engine.heightCheck, &engine.showHeight);
    engine.bindOption(engine.directLineCheck, &engine.showDirectLine);
    engine.bindOption(engine.osmBackgroundCheck, &engine.showMap);

    engine.flagStartSurface = b.flag("flag_start.png");
    engine.flagFinishSurface = b.flag("flag_finish.png");
    engine.flagMarkASurface = b.flag("flag_mark_a.png");
    engine.flagMarkBSurface = b.flag("flag_mark_b.png");

    for (GuiObject* child : root->children)
        if (child->x > SideColumnX)
            engine.rightPanelControls.emplace_back(child, child->x);

    engine.updateFitButtonLabel();
    if (!engine.statusText.empty())
        engine.setStatus(engine.statusText);
    if (!engine.mapLabelText.empty())
        engine.setMapLabel(engine.mapLabelText);
}

void layoutMainWindow(PathlarkEngine& engine, AppWindow* window)
{
    const int W = window->width, H = window->height;
    for (auto& [control, designX] : engine.rightPanelControls) {
        const int newX = designX + W - DesignWidth;
        if (control->x != newX) {
            control->x = newX;
            control->layout();
            control->markDirty();
        }
    }
    const int panelW = std::max(W - 580, 1);
    if (GuiCairoPanel* map = engine.mapPanel) {
        map->x = 340;
        map->y = 42;
        const int panelH = std::max(H - 198, 1);
        if (map->w != panelW || map->h != panelH)
            map->resize(window->renderer, panelW, panelH);
    }
    if (GuiCairoPanel* graph = engine.graphPanel) {
        graph->x = 340;
        graph->y = H - 156;
        if (graph->w != panelW || graph->h != 130)
            graph->resize(window->renderer, panelW, 130);
    }
    if (GuiLabel* status = engine.statusLabel) {
        status->y = H - 22;
        status->w = W - 16;
    }
    if (GuiTreeListCtrl* tree = engine.infoTree) {
        const int treeH = std::max(H - 128, 1);
        if (tree->h != treeH) {
            tree->h = treeH;
            tree->layout();
            tree->markDirty();
        }
    }
}

} // namespace pathlark
