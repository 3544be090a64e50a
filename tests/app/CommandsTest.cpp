// Commands from keys, buttons, combo boxes and clicks, through the engine's
// event handler as the loop delivers them.

#include "AppTestSupport.h"

#include "gui/GuiCairoPanel.h"
#include "gui/GuiCheckBox.h"
#include "gui/GuiComboBox.h"
#include "gui/GuiComboBoxDropDown.h"
#include "gui/GuiTextCtrl.h"
#include "gui/GuiWindow.h"
#include "track/Gpx.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>

using namespace pathlark;
using apptest::gpxWithTracks;
using apptest::trackXml;

namespace {

class Commands : public apptest::Application {
protected:
    void startWithTrack(int points = 30)
    {
        start({write("t.gpx", gpxWithTracks(trackXml("T", points)))});
    }

    void send(SDL_Event sdl)
    {
        GuiEvent event;
        event.sdlEvent = &sdl;
        event.windowId = engine->mainWindow->windowId;
        engine->handleEvent(engine->mainWindow, event);
    }

    void key(SDL_Keycode sym, Uint16 mod = KMOD_NONE)
    {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.keysym.sym = sym;
        e.key.keysym.mod = mod;
        send(e);
    }

    void button(Uint32 id) { engine->mainWindow->root->postNotification(GuiNotify::ButtonPressed, id, 0); }

    void chooseCombo(GuiComboBox* combo, int index) { combo->select(index, true); }

    // A press at (x, y) while the pointer has already moved on elsewhere.
    void pressAt(int x, int y, Uint8 which = SDL_BUTTON_LEFT)
    {
        SDL_WarpMouseInWindow(engine->mainWindow->sdlWindow, 5, 5);
        SDL_PumpEvents();
        SDL_Event e{};
        e.type = SDL_MOUSEBUTTONDOWN;
        e.button.button = which;
        e.button.x = x;
        e.button.y = y;
        send(e);
    }

    void wheelAt(int x, int y, int dy)
    {
        SDL_Event e{};
        e.type = SDL_MOUSEWHEEL;
        e.wheel.y = dy;
        e.wheel.mouseX = x;
        e.wheel.mouseY = y;
        send(e);
    }

    int lastPoint() const { return engine->shownTrack()->getWayPointCount() - 1; }
    GuiWindow* root() const { return engine->mainWindow->root; }
};

// A track heading east, where trackXml's heads north.
std::string eastwardTrack(const std::string& name, int points)
{
    std::string xml = "<trk><name>" + name + "</name><trkseg>\n";
    for (int i = 0; i < points; ++i)
        xml += "<trkpt lat=\"46.5\" lon=\"" + std::to_string(8.0 + 0.001 * i) + "\"><ele>500</ele></trkpt>\n";
    return xml + "</trkseg></trk>\n";
}

} // namespace

TEST_F(Commands, ZoomKeysStopAtTheLimits)
{
    startWithTrack();
    // "+" as each keyboard sends it: its own key, the keypad, Shift and "=" on US and UK layouts.
    const std::pair<SDL_Keycode, Uint16> zoomIn[] = {
        {SDLK_PLUS, KMOD_NONE}, {SDLK_KP_PLUS, KMOD_NONE}, {SDLK_EQUALS, KMOD_LSHIFT}, {SDLK_EQUALS, KMOD_NONE}};
    for (auto [sym, mod] : zoomIn) {
        engine->zoom = 1.0;
        key(sym, mod);
        EXPECT_EQ(engine->zoom, 1.25) << SDL_GetKeyName(sym) << " " << mod;
    }
    engine->zoom = 1.0;
    for (int i = 0; i < 18; ++i)
        key(SDLK_PLUS);
    EXPECT_EQ(engine->zoom, 50.0);
    EXPECT_EQ(status(), "Zoom: 5000%");
    engine->zoom = 1.0;
    for (int i = 0; i < 14; ++i)
        key(SDLK_KP_MINUS);
    EXPECT_EQ(engine->zoom, 0.05);
    EXPECT_EQ(status(), "Zoom: 5%");
}

TEST_F(Commands, RotationButtonsWrapAndMarkThePerspectiveCustom)
{
    startWithTrack();
    button(125);
    EXPECT_EQ(engine->angleZ, 355);
    EXPECT_EQ(engine->perspectiveCombo->selectedIndex, 5);
    std::string text;
    engine->angleZText->getValue(text);
    EXPECT_EQ(text, "355");
    button(126);
    EXPECT_EQ(engine->angleZ, 0);
}

TEST_F(Commands, AngleEntryNormalisesAndReportsInvalidFields)
{
    startWithTrack();
    engine->mainWindow->root->setFocus(engine->angleXText);
    engine->angleXText->setText("-90");
    engine->angleZText->setText("725");
    key(SDLK_RETURN);
    EXPECT_EQ(engine->angleX, 270);
    EXPECT_EQ(engine->angleZ, 5);
    EXPECT_EQ(status(), "Angles applied: X 270\u00b0, Y 0\u00b0, Z 5\u00b0");

    engine->angleXText->setText("10");
    engine->angleYText->setText("12a");
    key(SDLK_KP_ENTER);
    EXPECT_EQ(engine->angleX, 10);  // applied before the bad field stopped it
    EXPECT_EQ(engine->angleY, 0);
    EXPECT_EQ(status(), "Invalid angle; enter a whole number and press Enter");
    engine->angleYText->setText("");
    key(SDLK_RETURN);
    EXPECT_EQ(status(), "Invalid angle; enter a whole number and press Enter");
    engine->angleYText->setText("99999999999");
    key(SDLK_RETURN);
    EXPECT_EQ(status(), "Invalid angle; enter a whole number and press Enter");
}

TEST_F(Commands, ShortcutsWaitWhileAnAngleFieldHasTheKeyboard)
{
    startWithTrack();
    engine->mainWindow->root->setFocus(engine->angleYText);
    key(SDLK_a);
    EXPECT_EQ(engine->markerA, -1);
    engine->mainWindow->root->setFocus(nullptr);
    key(SDLK_a);
    EXPECT_EQ(engine->markerA, 0);
    key(SDLK_b, KMOD_LCTRL);  // not a plain key
    EXPECT_EQ(engine->markerB, -1);
}

TEST_F(Commands, CursorStepsStayOnTheTrack)
{
    startWithTrack(30);
    key(SDLK_END);
    EXPECT_EQ(engine->cursorIndex, lastPoint());
    key(SDLK_PAGEUP);
    EXPECT_EQ(engine->cursorIndex, lastPoint());
    key(SDLK_PAGEDOWN, KMOD_LCTRL);
    EXPECT_EQ(engine->cursorIndex, lastPoint() - 10);
    key(SDLK_HOME);
    key(SDLK_PAGEDOWN);
    EXPECT_EQ(engine->cursorIndex, 0);
    button(108);
    EXPECT_EQ(engine->cursorIndex, 1);
    engine->panX = 80;
    key(SDLK_ESCAPE);
    EXPECT_EQ(engine->cursorIndex, 0);
    EXPECT_EQ(engine->panX, 0.0);
}

TEST_F(Commands, MarkersNeedTheWaypointCursor)
{
    startWithTrack(30);
    button(110);
    button(119);
    EXPECT_EQ(engine->markerA, lastPoint());
    chooseCombo(engine->cursorModeCombo, 1);
    EXPECT_TRUE(engine->freeCursor);
    button(120);
    EXPECT_EQ(engine->markerB, -1);
    EXPECT_EQ(status(), "Marks require the waypoint cursor");
    // Any cursor step brings the track cursor back.
    button(109);
    EXPECT_FALSE(engine->freeCursor);
    EXPECT_EQ(engine->cursorModeCombo->selectedIndex, 0);
}

TEST_F(Commands, FreeCursorModeNeedsATrackPoint)
{
    start();
    engine->cursorIndex = -1;
    chooseCombo(engine->cursorModeCombo, 1);
    EXPECT_FALSE(engine->freeCursor);
    EXPECT_EQ(engine->cursorModeCombo->selectedIndex, 0);
}

TEST_F(Commands, PerspectivePresetsSetAnglesAndCustomKeepsZ)
{
    startWithTrack();
    chooseCombo(engine->perspectiveCombo, 2);
    EXPECT_EQ(engine->angleZ, 90);
    EXPECT_EQ(status(), "Perspective: East-side");
    button(122);
    chooseCombo(engine->perspectiveCombo, 5);
    EXPECT_EQ(engine->angleX, 0);
    EXPECT_EQ(engine->angleZ, 90);
    std::string shown;
    engine->angleXText->getValue(shown);
    EXPECT_EQ(shown, "0") << "the field shows the angle in use";
}

TEST_F(Commands, GraphClickJumpsAlongTheProfile)
{
    startWithTrack(30);
    GuiCairoPanel* graph = engine->graphPanel;
    pressAt(graph->x + 12, graph->y + 50);
    EXPECT_EQ(engine->cursorIndex, 0);
    pressAt(graph->x + graph->w - 12, graph->y + 50);
    EXPECT_EQ(engine->cursorIndex, lastPoint());
    pressAt(graph->x + graph->w / 2, graph->y + 50);
    EXPECT_NEAR(engine->cursorIndex, lastPoint() / 2, 1);
}

TEST_F(Commands, MapClickPicksAPointAndRightDragPans)
{
    startWithTrack(30);
    GuiCairoPanel* map = engine->mapPanel;
    // The fitted track runs from the bottom margin to the top margin.
    pressAt(map->x + map->w / 2, map->y + 28);
    EXPECT_EQ(engine->cursorIndex, lastPoint());

    pressAt(map->x + 100, map->y + 100, SDL_BUTTON_RIGHT);
    EXPECT_TRUE(engine->dragging);
    SDL_Event move{};
    move.type = SDL_MOUSEMOTION;
    move.motion.x = map->x + 130;
    move.motion.y = map->y + 90;
    send(move);
    EXPECT_EQ(engine->panX, 30.0);
    EXPECT_EQ(engine->panY, -10.0);
    SDL_Event up{};
    up.type = SDL_MOUSEBUTTONUP;
    up.button.button = SDL_BUTTON_RIGHT;
    send(up);
    EXPECT_FALSE(engine->dragging);
}

TEST_F(Commands, OptionKeysToggleTheirBoxes)
{
    startWithTrack();
    key(SDLK_w);
    EXPECT_TRUE(engine->showWaypoints);
    EXPECT_TRUE(engine->waypointsCheck->pressed);
    key(SDLK_m);
    EXPECT_FALSE(engine->showMap);
    EXPECT_FALSE(engine->osmBackgroundCheck->pressed);
    engine->headingAngle = 1.0;
    engine->followDirection = true;
    engine->followDirectionCheck->pressed = true;
    key(SDLK_f);
    EXPECT_FALSE(engine->followDirection);
    EXPECT_EQ(engine->headingAngle, 0.0);
}

TEST_F(Commands, KeysInAFileDialogAreTypedNotShortcuts)
{
    startWithTrack();
    engine->openGpxDialog();
    AppWindow* dialog = GuiEngine::windowList().back();
    ASSERT_NE(dialog, engine->mainWindow);
    GuiObject* name = dialog->root->findByName("filename");
    ASSERT_NE(name, nullptr);
    dialog->root->setFocus(name);
    SDL_StartTextInput();
    for (const char* letter : {"a", "+"}) {
        SDL_Event down{};
        down.type = SDL_KEYDOWN;
        down.key.keysym.sym = letter[0] == 'a' ? SDLK_a : SDLK_PLUS;
        GuiEvent keyEvent;
        keyEvent.sdlEvent = &down;
        engine->handleEvent(dialog, keyEvent);
        SDL_Event text{};
        text.type = SDL_TEXTINPUT;
        SDL_strlcpy(text.text.text, letter, sizeof text.text.text);
        GuiEvent textEvent;
        textEvent.sdlEvent = &text;
        engine->handleEvent(dialog, textEvent);
    }
    EXPECT_EQ(engine->markerA, -1);
    EXPECT_EQ(engine->zoom, 1.0);
    std::string typed;
    name->getValue(typed);
    EXPECT_EQ(typed, "a+");
}

TEST_F(Commands, AnOpenListTakesKeysWheelAndPressesBeforeTheMap)
{
    start({write("three.gpx", gpxWithTracks(trackXml("A", 30) + trackXml("B", 30) + trackXml("C", 30)))});
    engine->trackCombo->openDropDown();
    GuiListCtrl* list = engine->trackCombo->dropDownList();
    ASSERT_NE(list, nullptr);
    const int x = list->x + list->w - 10;
    const int secondRow = list->y + list->itemHeight * 3 / 2;
    ASSERT_TRUE(engine->mapPanel->contains(x, secondRow)) << "the list lies over the map";

    engine->panX = 80;
    key(SDLK_LEFT);
    wheelAt(x, secondRow, 1);
    EXPECT_EQ(engine->panX, 80.0);
    EXPECT_EQ(engine->zoom, 1.0);
    key(SDLK_ESCAPE);
    EXPECT_TRUE(root()->popups.empty());
    EXPECT_EQ(engine->panX, 80.0) << "Escape closed the list, it did not reset the view";

    engine->trackCombo->openDropDown();
    pressAt(x, secondRow);
    EXPECT_EQ(engine->selectedTrack, 1);
    EXPECT_EQ(engine->cursorIndex, 0) << "the press was no map click";
    EXPECT_TRUE(root()->popups.empty());
}

TEST_F(Commands, MapOrGraphClickTakesTheKeyboardFromAnAngleField)
{
    startWithTrack(30);
    for (GuiCairoPanel* panel : {engine->mapPanel, engine->graphPanel}) {
        engine->markerA = -1;
        root()->setFocus(engine->angleXText);
        pressAt(panel->x + panel->w / 2, panel->y + panel->h / 2);
        key(SDLK_a);
        EXPECT_EQ(engine->markerA, engine->cursorIndex);
    }
}

TEST_F(Commands, OneDialogAtATimeAndTheMainWindowWaitsForIt)
{
    startWithTrack();
    key(SDLK_o, KMOD_LCTRL);
    GuiWindow* dialog = engine->modalRoot;
    ASSERT_NE(dialog, nullptr);
    key(SDLK_o, KMOD_LCTRL);
    key(SDLK_PLUS);
    pressAt(engine->mapPanel->x + 20, engine->mapPanel->y + 20);
    EXPECT_EQ(engine->modalRoot, dialog);
    EXPECT_EQ(GuiEngine::windowList().size(), 2u);
    EXPECT_EQ(engine->zoom, 1.0);
    EXPECT_EQ(engine->cursorIndex, 0);
}

TEST_F(Commands, F11AndTheFitButtonAgree)
{
    start({}, 1000, 700);
    SDL_Window* window = engine->mainWindow->sdlWindow;
    SDL_SetWindowPosition(window, 30, 40);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_Event f11{};
    f11.type = SDL_KEYDOWN;
    f11.key.windowID = engine->mainWindow->windowId;
    f11.key.keysym.sym = SDLK_F11;
    SDL_PushEvent(&f11);
    engine->runFrame();
    ASSERT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP);
    EXPECT_EQ(engine->fitWindowButton->text, "Restore window");

    button(133);
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(window, &x, &y);
    SDL_GetWindowSize(window, &w, &h);
    EXPECT_FALSE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP);
    EXPECT_EQ((std::array{x, y, w, h}), (std::array{30, 40, 1000, 700}));
    EXPECT_EQ(engine->fitWindowButton->text, "Fit window to screen");
}

TEST_F(Commands, ANewTrackStartsWithItsOwnHeadingAndCursor)
{
    start({write("two.gpx", gpxWithTracks(trackXml("North", 30) + eastwardTrack("East", 30)))});
    key(SDLK_f);
    engine->setCursor(5);
    const double northHeading = engine->headingAngle;
    engine->selectTrack(1);
    const double shown = engine->headingAngle;
    engine->setCursor(0);
    EXPECT_EQ(shown, engine->headingAngle) << "as if the cursor had been put there";
    EXPECT_NE(shown, northHeading);

    engine->selectTrack(0);
    engine->setCursor(5);
    chooseCombo(engine->cursorModeCombo, 1);
    engine->selectTrack(1);
    ASSERT_TRUE(engine->freeCursor);
    EXPECT_EQ(engine->freeCursorLat, engine->shownTrack()->getWayPoint(0)->getLat());
    EXPECT_EQ(engine->freeCursorLon, engine->shownTrack()->getWayPoint(0)->getLon());
}
