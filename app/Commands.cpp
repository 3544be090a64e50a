// The application's event handler: widget notifications, keys, the wheel and
// mouse clicks become commands; everything else goes on to the window's widgets.
//
// [SECTION] Dispatch
// [SECTION] Cursor, markers and options
// [SECTION] Perspective and angle entry
// [SECTION] Window fitting

#include "app/MainWindow.h"
#include "app/PathlarkEngine.h"
#include "gui/GuiButton.h"
#include "gui/GuiCairoPanel.h"
#include "gui/GuiCheckBox.h"
#include "gui/GuiComboBox.h"
#include "gui/GuiDialog.h"
#include "gui/GuiTextCtrl.h"
#include "gui/GuiWindow.h"
#include "i18n/Translate.h"
#include "track/Gpx.h"
#include "view/GraphRenderer.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace pathlark {

namespace {

// Button ids of the main window.
enum ButtonId : Uint32 {
    OpenGpx = 100,
    PrevTrack = 101,
    NextTrack = 102,
    ZoomIn = 103,
    ZoomOut = 104,
    ResetView = 105,
    CursorBack = 107,
    CursorForward = 108,
    CursorStart = 109,
    CursorEnd = 110,
    CenterButton = 112,
    MarkA = 119,
    MarkB = 120,
    RotateXLeft = 121,
    RotateXRight = 122,
    RotateYLeft = 123,
    RotateYRight = 124,
    RotateZLeft = 125,
    RotateZRight = 126,
    OpenOsm = 127,
    FitWindow = 133,
};

// Combo box and check box ids.
enum ControlId : Uint32 {
    TrackList = 106,
    CursorMode = 111,
    CenterCursorBox = 113,
    FollowDirectionBox = 114,
    StatisticsMode = 118,
    Perspective = 132,
};

constexpr double ZoomStepIn = 1.25;
constexpr double ZoomStepOut = 0.8;
constexpr int RotationStep = 5;
constexpr int PanStep = 50;
constexpr int PresetAngleZ[] = {0, 180, 90, 0, 270};
constexpr int CustomPerspective = 5;

bool pointerInside(const GuiObject* panel, int x, int y)
{
    return panel && panel->contains(x, y);
}

// The map and the graph take the keyboard from a text field they are clicked
// in, so the next keys are shortcuts again.
void focusPanel(AppWindow* window, GuiObject* panel)
{
    if (window && window->root)
        window->root->setFocus(panel);
}

// The input an open popup takes before any shortcut or map gesture, and that
// a window behind a modal dialog does not get at all.
bool isUserInput(Uint32 type)
{
    switch (type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    case SDL_TEXTINPUT:
    case SDL_TEXTEDITING:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEWHEEL:
        return true;
    default:
        return false;
    }
}

// A whole number the way strtol reads it, but the text must be used up and fit an int.
bool parseAngle(const std::string& text, int& value)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(begin, &end, 10);
    if (end == begin || *end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX)
        return false;
    value = int(v);
    return true;
}

} // namespace

// [SECTION] Dispatch

void PathlarkEngine::handleEvent(AppWindow* window, GuiEvent& event)
{
    if (!window || !window->root)
        return;
    auto forward = [&] {
        if (event.sdlEvent)
            window->root->handleEvent(event);
    };

    if (event.kind == GuiEvent::Notification) {
        handleNotification(window, event);
        return;
    }
    if (!event.sdlEvent)
        return;
    const SDL_Event& sdl = *event.sdlEvent;
    if (isUserInput(sdl.type)) {
        // While a dialog runs, the windows behind it are inert.
        if (modalRoot && window->root != modalRoot)
            return;
        // An open list gets the press, the wheel and the keys first, even where it lies over the map.
        if (!window->root->popups.empty()) {
            forward();
            return;
        }
    }
    switch (sdl.type) {
    case SDL_WINDOWEVENT:
        if (sdl.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
            appFlag = true;
        else if (sdl.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
            appFlag = false;
        forward();
        return;
    // Shortcuts and map gestures belong to the main window: in a file dialog,
    // "a" or "+" must reach the name field, and the wheel the file list.
    case SDL_KEYDOWN:
        if (window != mainWindow || !handleKey(sdl.key))
            forward();
        return;
    case SDL_MOUSEWHEEL: {
        // Where the wheel turned, not where the pointer is by the time the event
        // is handled: quick hands run ahead of the loop.
        const int mx = sdl.wheel.mouseX, my = sdl.wheel.mouseY;
        if (window != mainWindow || !pointerInside(mapPanel, mx, my)) {
            forward();
            return;
        }
        const double factor = sdl.wheel.y > 0 ? 1.5 : 2.0 / 3.0;
        if (centerCursor) {
            zoomBy(factor);
            centerOnCursor();
        } else {
            zoomAtMouse(factor, mx, my);
        }
        return;
    }
    case SDL_MOUSEBUTTONDOWN:
        if (window == mainWindow && handleMapOrGraphPress(sdl.button))
            return;
        forward();
        return;
    case SDL_MOUSEBUTTONUP:
        if (sdl.button.button == SDL_BUTTON_RIGHT)
            dragging = false;
        forward();
        return;
    case SDL_DROPFILE:
        if (sdl.drop.file)
            openDroppedFile(sdl.drop.file);
        return;
    case SDL_MOUSEMOTION:
        if (dragging) {
            panX += sdl.motion.x - dragLastX;
            panY += sdl.motion.y - dragLastY;
            dragLastX = sdl.motion.x;
            dragLastY = sdl.motion.y;
            return;
        }
        forward();
        return;
    default:
        forward();
        return;
    }
}

void PathlarkEngine::handleNotification(AppWindow* window, GuiEvent& event)
{
    if (event.code == GuiNotify::DialogClosed) {
        handleDialogClosed(event);
        return;
    }
    if (modalRoot && window->root == modalRoot) {
        if (auto* dialog = dynamic_cast<GuiDialog*>(modalRoot)) {
            if (event.code == GuiNotify::ButtonPressed && event.param == 1)
                dialog->accept();
            else if (event.code == GuiNotify::ButtonPressed && event.param == 0)
                dialog->cancel();
            else
                dialog->dialogHook(event);
        }
        return;
    }
    if (event.code == GuiNotify::ComboChanged) {
        switch (event.param) {
        case TrackList:
            if (trackCombo)
                selectTrack(trackCombo->selectedIndex);
            return;
        case StatisticsMode:
            if (statisticsCombo)
                statisticsMode = statisticsCombo->selectedIndex;
            return;
        case Perspective:
            if (perspectiveCombo)
                applyPerspective(perspectiveCombo->selectedIndex);
            return;
        case CursorMode:
            if (cursorModeCombo)
                changeCursorMode(cursorModeCombo->selectedIndex);
            return;
        default:
            break;
        }
    }
    if (event.code == GuiNotify::ButtonPressed && runButtonCommand(event.param))
        return;
    if (event.sdlEvent)
        window->root->handleEvent(event);
}

bool PathlarkEngine::runButtonCommand(Uint32 id)
{
    const Track* track = shownTrack();
    switch (id) {
    case OpenGpx: openGpxDialog(); return true;
    case PrevTrack: selectTrack(selectedTrack - 1); return true;
    case NextTrack: selectTrack(selectedTrack + 1); return true;
    case ZoomIn: zoomBy(ZoomStepIn); return true;
    case ZoomOut: zoomBy(ZoomStepOut); return true;
    case ResetView: resetView(); return true;
    case CursorBack: setCursor(cursorIndex - 1); return true;
    case CursorForward: setCursor(cursorIndex + 1); return true;
    case CursorStart: setCursor(0); return true;
    case CursorEnd:
        if (track)
            setCursor(track->getWayPointCount() - 1);
        return true;
    case CenterButton: centerOnCursor(); return true;
    case MarkA: setMarker(true); return true;
    case MarkB: setMarker(false); return true;
    case RotateXLeft: rotateBy(angleX, -RotationStep); return true;
    case RotateXRight: rotateBy(angleX, RotationStep); return true;
    case RotateYLeft: rotateBy(angleY, -RotationStep); return true;
    case RotateYRight: rotateBy(angleY, RotationStep); return true;
    case RotateZLeft: rotateBy(angleZ, -RotationStep); return true;
    case RotateZRight: rotateBy(angleZ, RotationStep); return true;
    case OpenOsm: openOsmDialog(); return true;
    case FitWindow: fitWindowToScreen(); return true;
    default: return false;
    }
}

bool PathlarkEngine::handleKey(const SDL_KeyboardEvent& key)
{
    const SDL_Keycode sym = key.keysym.sym;
    const Uint16 mods = key.keysym.mod;
    const bool ctrl = mods & KMOD_CTRL;
    const bool plain = !(mods & (KMOD_CTRL | KMOD_ALT | KMOD_GUI));

    // While an angle field has the keyboard, keys edit it; Enter applies all three.
    const bool angleFieldFocused = mainWindow && mainWindow->root &&
                                   (mainWindow->root->focus == angleXText || mainWindow->root->focus == angleYText ||
                                    mainWindow->root->focus == angleZText) &&
                                   mainWindow->root->focus != nullptr;
    if (angleFieldFocused) {
        if (sym == SDLK_RETURN || sym == SDLK_KP_ENTER) {
            applyAngles();
            return true;
        }
        return false;
    }

    const Track* track = shownTrack();
    const int step = ctrl ? 10 : 1;
    switch (sym) {
    case SDLK_o:
        if (!ctrl)
            return false;
        openGpxDialog();
        return true;
    case SDLK_s:
        if (!ctrl)
            return false;
        openSavePictureDialog();
        return true;
    // On US and UK keyboards "+" is Shift and the "=" key, which SDL reports as "=".
    case SDLK_PLUS:
    case SDLK_EQUALS:
    case SDLK_KP_PLUS: zoomBy(ZoomStepIn); return true;
    case SDLK_MINUS:
    case SDLK_KP_MINUS: zoomBy(ZoomStepOut); return true;
    case SDLK_F11: fitWindowToScreen(); return true;
    case SDLK_HOME: setCursor(0); return true;
    case SDLK_END:
        if (track)
            setCursor(track->getWayPointCount() - 1);
        return true;
    case SDLK_PAGEUP: setCursor(cursorIndex + step); return true;
    case SDLK_PAGEDOWN: setCursor(cursorIndex - step); return true;
    case SDLK_ESCAPE: resetView(); return true;
    case SDLK_LEFT: panX -= PanStep; return true;
    case SDLK_RIGHT: panX += PanStep; return true;
    case SDLK_UP: panY -= PanStep; return true;
    case SDLK_DOWN: panY += PanStep; return true;
    default: break;
    }
    if (!plain)
        return false;
    switch (sym) {
    case SDLK_a: setMarker(true); return true;
    case SDLK_b: setMarker(false); return true;
    case SDLK_w: toggleOption(waypointsCheck, showWaypoints); return true;
    case SDLK_h: toggleOption(heightCheck, showHeight); return true;
    case SDLK_d: toggleOption(directLineCheck, showDirectLine); return true;
    case SDLK_m: toggleOption(osmBackgroundCheck, showMap); return true;
    case SDLK_c: toggleOption(centerCursorCheck, centerCursor); return true;
    case SDLK_f: toggleOption(followDirectionCheck, followDirection); return true;
    default: return false;
    }
}

bool PathlarkEngine::handleMapOrGraphPress(const SDL_MouseButtonEvent& button)
{
    const int mx = button.x, my = button.y;  // where the press happened, as for the wheel
    const Track* track = shownTrack();
    if (pointerInside(mapPanel, mx, my)) {
        switch (button.button) {
        case SDL_BUTTON_LEFT:
            if (!track)
                break;
            if (!freeCursor) {
                const int index = pickNearestPoint(button.x - mapPanel->x, button.y - mapPanel->y);
                if (index >= 0)
                    setCursor(index);
            } else if (track->getWayPointCount() > 0) {
                unprojectFlat(button.x - mapPanel->x, button.y - mapPanel->y, freeCursorLat, freeCursorLon);
                if (centerCursor)
                    centerOnCursor();
                updateStatusLine();
            }
            break;
        case SDL_BUTTON_MIDDLE: centerOnCursor(); break;
        case SDL_BUTTON_RIGHT:
            dragging = true;
            dragLastX = button.x;
            dragLastY = button.y;
            break;
        default: break;
        }
        focusPanel(mainWindow, mapPanel);
        return true;
    }
    if (button.button == SDL_BUTTON_LEFT && pointerInside(graphPanel, mx, my)) {
        focusPanel(mainWindow, graphPanel);
        if (!track || track->getWayPointCount() == 0)
            return true;
        const double f = std::clamp(double(button.x - graphPanel->x - 12) / std::max(graphPanel->w - 24, 1), 0.0, 1.0);
        setCursor(int(std::lround(f * (track->getWayPointCount() - 1))));
        return true;
    }
    return false;
}

// [SECTION] Cursor, markers and options

void PathlarkEngine::setCursor(int index)
{
    const Track* track = shownTrack();
    if (!track || track->getWayPointCount() == 0)
        return;
    freeCursor = false;
    if (cursorModeCombo)
        cursorModeCombo->select(0, false);
    cursorIndex = std::clamp(index, 0, track->getWayPointCount() - 1);
    updateHeading();
    if (centerCursor || followDirection)
        centerOnCursor();
    updateStatusLine();
}

void PathlarkEngine::setMarker(bool a)
{
    if (freeCursor) {
        setStatus(tr("Marks require the waypoint cursor"));
        return;
    }
    if (!shownTrack() || cursorIndex < 0)
        return;
    (a ? markerA : markerB) = cursorIndex;
    buildInfoPanel();
    updateStatusLine();
}

void PathlarkEngine::toggleOption(GuiCheckBox* box, bool& option)
{
    if (!box)
        return;
    option = !option;
    // Set the state directly: the box's own callbacks are for the user's clicks.
    box->pressed = option;
    box->markDirty();
    optionChanged(box->id, option);
}

void PathlarkEngine::optionChanged(int boxId, bool checked)
{
    if (boxId == CenterCursorBox && checked)
        centerOnCursor();
    if (boxId == FollowDirectionBox) {
        updateHeading();
        if (checked)
            centerOnCursor();
    }
}

void PathlarkEngine::changeCursorMode(int mode)
{
    const Track* track = shownTrack();
    if (mode == 1 && track && cursorIndex >= 0 && cursorIndex < track->getWayPointCount()) {
        const WayPoint* point = track->getWayPoint(cursorIndex);
        freeCursorLat = point->getLat();
        freeCursorLon = point->getLon();
        freeCursor = true;
        angleX = angleY = angleZ = 0;
        headingAngle = 0.0;
        followDirection = false;
        if (followDirectionCheck) {
            followDirectionCheck->pressed = false;
            followDirectionCheck->markDirty();
        }
        if (perspectiveCombo)
            perspectiveCombo->select(0, false);
        updateAngleFields(*this);
        updateStatusLine();
        return;
    }
    freeCursor = false;
    if (cursorModeCombo)
        cursorModeCombo->select(0, false);
    updateStatusLine();
}

// [SECTION] Perspective and angle entry

void PathlarkEngine::applyPerspective(int index)
{
    if (freeCursor)
        setCursor(cursorIndex);
    angleX = angleY = 0;
    if (index < 0 || index >= CustomPerspective) {
        // "Custom" keeps Z but levels X and Y; the fields must say so.
        updateAngleFields(*this);
        return;
    }
    angleZ = PresetAngleZ[index];
    updateAngleFields(*this);
    if (centerCursor)
        centerOnCursor();
    setStatus(tr("Perspective: ") + (perspectiveCombo ? perspectiveCombo->selectedText() : std::string()));
}

void PathlarkEngine::applyAngles()
{
    if (freeCursor)
        setCursor(cursorIndex);
    const std::pair<GuiTextCtrl*, int*> fields[] = {
        {angleXText, &angleX}, {angleYText, &angleY}, {angleZText, &angleZ}};
    for (const auto& [field, angle] : fields) {
        std::string text;
        int value = 0;
        if (!field || !field->getValue(text) || !parseAngle(text, value)) {
            setStatus(tr("Invalid angle; enter a whole number and press Enter"));
            return;
        }
        *angle = ((value % 360) + 360) % 360;
    }
    if (perspectiveCombo)
        perspectiveCombo->select(CustomPerspective, false);
    updateAngleFields(*this);
    if (centerCursor)
        centerOnCursor();
    setStatus(tr("Angles applied: X ") + std::to_string(angleX) + "\u00b0, Y " + std::to_string(angleY) +
              "\u00b0, Z " + std::to_string(angleZ) + "\u00b0");
}

// [SECTION] Window fitting

void PathlarkEngine::fitWindowToScreen()
{
    if (!mainWindow || !mainWindow->sdlWindow)
        return;
    SDL_Window* window = mainWindow->sdlWindow;
    if (!fullscreen) {
        SDL_GetWindowPosition(window, &savedWindowRect.x, &savedWindowRect.y);
        SDL_GetWindowSize(window, &savedWindowRect.w, &savedWindowRect.h);
        const int display = SDL_GetWindowDisplayIndex(window);
        SDL_Rect bounds{};
        if (display < 0 || SDL_GetDisplayUsableBounds(display, &bounds) != 0) {
            setStatus(tr("Could not determine screen size: ") + std::string(SDL_GetError()));
            return;
        }
        SDL_RestoreWindow(window);
        SDL_SetWindowPosition(window, bounds.x, bounds.y);
        SDL_SetWindowSize(window, bounds.w, bounds.h);
        fullscreen = true;
    } else {
        if ((SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP) && SDL_SetWindowFullscreen(window, 0) != 0) {
            SDL_Log("Could not leave fullscreen: %s", SDL_GetError());
            return;
        }
        SDL_SetWindowSize(window, savedWindowRect.w, savedWindowRect.h);
        SDL_SetWindowPosition(window, savedWindowRect.x, savedWindowRect.y);
        fullscreen = false;
    }
    updateFitButtonLabel();
}

void PathlarkEngine::toggleFullscreen()
{
    if (!mainWindow || !mainWindow->sdlWindow)
        return;
    SDL_Window* window = mainWindow->sdlWindow;
    if ((SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP) && fullscreen) {
        // Leaving is what "Restore window" does, so both give back the same window.
        fitWindowToScreen();
        return;
    }
    // A window already fitted to the screen keeps the rectangle it had before that.
    if (!fullscreen) {
        SDL_GetWindowPosition(window, &savedWindowRect.x, &savedWindowRect.y);
        SDL_GetWindowSize(window, &savedWindowRect.w, &savedWindowRect.h);
    }
    GuiEngine::toggleFullscreen();
    fullscreen = (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0 || fullscreen;
    updateFitButtonLabel();
}

} // namespace pathlark
