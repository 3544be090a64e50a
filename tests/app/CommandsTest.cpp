// Commands from keys, buttons, combo boxes and clicks, through the engine's
// event handler as the loop delivers them.

#include "AppTestSupport.h"

#include "gui/GuiButton.h"
#include "gui/GuiCairoPanel.h"
#include "gui/GuiComboBox.h"
#include "gui/GuiComboBoxDropDown.h"
#include "gui/GuiTextCtrl.h"
#include "gui/GuiWindow.h"
#include "track/Track.h"
#include "view/GraphRenderer.h"
#include "view/MapProjection.h"

#include <array>
#include <cstring>

using namespace apptest;

namespace {

class Commands : public Application {
protected:
    void startWithTrack(int points = 30) { start({write("t.gpx", gpxWithTracks(trackXml("T", points)))}); }
    void button(Uint32 id) { engine->mainWindow->root->postNotification(GuiNotify::ButtonPressed, id, 0); }

    // A press at (x, y) while the pointer has already moved on elsewhere.
    void pressAt(int x, int y, Uint8 which = SDL_BUTTON_LEFT, Uint32 type = SDL_MOUSEBUTTONDOWN)
    {
        SDL_WarpMouseInWindow(engine->mainWindow->sdlWindow, 5, 5);
        SDL_PumpEvents();
        SDL_Event e{};
        e.type = type;
        e.button.button = which;
        e.button.x = x;
        e.button.y = y;
        send(e);
    }

    std::string field(GuiTextCtrl* text) const
    {
        std::string value;
        text->getValue(value);
        return value;
    }

    int lastPoint() const { return engine->shownTrack()->getWayPointCount() - 1; }
    GuiWindow* root() const { return engine->mainWindow->root; }
};

} // namespace

TEST_F(Commands, RotationAndPerspective)
{
    startWithTrack();
    button(125);
    EXPECT_EQ(engine->angleZ, 355);
    EXPECT_EQ(engine->perspectiveCombo->selectedIndex, 5) << "a custom view";
    EXPECT_EQ(field(engine->angleZText), "355");
    engine->freeCursor = true;
    button(126);
    EXPECT_EQ(engine->angleZ, 0);
    EXPECT_FALSE(engine->freeCursor) << "rotation brings the track cursor back";
    button(121);
    button(124);
    EXPECT_EQ((std::array{engine->angleX, engine->angleY, engine->angleZ}), (std::array{355, 5, 0}));

    engine->perspectiveCombo->select(2, true);
    EXPECT_EQ(engine->angleZ, 90);
    EXPECT_EQ(status(), "Perspective: East-side");
    button(122);
    engine->perspectiveCombo->select(5, true);
    EXPECT_EQ((std::array{engine->angleX, engine->angleZ}), (std::array{0, 90})) << "custom keeps Z";
    EXPECT_EQ(field(engine->angleXText), "0");
}

TEST_F(Commands, AngleFieldsTakeKeysAndEnterAppliesThem)
{
    startWithTrack();
    root()->setFocus(engine->angleYText);
    key(SDLK_a);
    EXPECT_EQ(engine->markerA, -1) << "typed, not a shortcut";
    engine->angleXText->setText("-90");
    engine->angleZText->setText("725");
    key(SDLK_RETURN);
    EXPECT_EQ((std::array{engine->angleX, engine->angleZ}), (std::array{270, 5}));
    EXPECT_EQ(status(), "Angles applied: X 270\u00b0, Y 0\u00b0, Z 5\u00b0");
    for (const char* bad : {"12a", "", "99999999999"}) {
        engine->angleXText->setText("10");
        engine->angleYText->setText(bad);
        key(SDLK_KP_ENTER);
        EXPECT_EQ((std::array{engine->angleX, engine->angleY}), (std::array{10, 0})) << "X applied before the bad Y";
        EXPECT_EQ(status(), "Invalid angle; enter a whole number and press Enter");
    }
    // A click into the graph takes the keyboard back for shortcuts.
    root()->setFocus(engine->angleXText);
    pressAt(engine->graphPanel->x + engine->graphPanel->w / 2, engine->graphPanel->y + 50);
    key(SDLK_a);
    EXPECT_EQ(engine->markerA, engine->cursorIndex);
    key(SDLK_b, KMOD_LCTRL);  // not a plain key
    EXPECT_EQ(engine->markerB, -1);
}

TEST_F(Commands, CursorStepsStayOnTheTrackAndMarkersNeedIt)
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

    button(110);
    button(119);
    EXPECT_EQ(engine->markerA, lastPoint());
    engine->cursorModeCombo->select(1, true);
    EXPECT_TRUE(engine->freeCursor);
    button(120);
    EXPECT_EQ(engine->markerB, -1);
    EXPECT_EQ(status(), "Marks require the waypoint cursor");
    button(109);  // any cursor step brings the track cursor back
    EXPECT_FALSE(engine->freeCursor);
    EXPECT_EQ(engine->cursorModeCombo->selectedIndex, 0);
    engine->cursorIndex = -1;
    engine->cursorModeCombo->select(1, true);
    EXPECT_FALSE(engine->freeCursor) << "no point to start from";
}

TEST_F(Commands, ClicksPickPointsAndRightDragPans)
{
    startWithTrack(30);
    GuiCairoPanel* graph = engine->graphPanel;
    for (auto [x, expected] : {std::pair{12, 0}, {graph->w - 12, lastPoint()}, {graph->w / 2, lastPoint() / 2}}) {
        pressAt(graph->x + x, graph->y + 50);
        EXPECT_NEAR(engine->cursorIndex, expected, 1) << x;
    }
    GuiCairoPanel* map = engine->mapPanel;
    pressAt(map->x + map->w / 2, map->y + 28);  // the fitted track ends at the top margin
    EXPECT_EQ(engine->cursorIndex, lastPoint());

    pressAt(map->x + 100, map->y + 100, SDL_BUTTON_RIGHT);
    SDL_Event move{};
    move.type = SDL_MOUSEMOTION;
    move.motion.x = map->x + 130;
    move.motion.y = map->y + 90;
    send(move);
    EXPECT_EQ(engine->panX, 30.0);
    EXPECT_EQ(engine->panY, -10.0);
    pressAt(0, 0, SDL_BUTTON_RIGHT, SDL_MOUSEBUTTONUP);
    send(move);
    EXPECT_EQ(engine->panX, 30.0) << "the drag ended with the button";
}

TEST_F(Commands, TheWheelZoomsAtThePointerAndTheMiddleButtonCentres)
{
    startWithTrack(30);
    GuiCairoPanel* map = engine->mapPanel;
    auto drawnAt = [this](int i) {
        const Track& track = *engine->shownTrack();
        return MapProjection(track, engine->trackExtent, engine->mapViewState())
            .projectWayPoint(*track.getWayPoint(i), Pan::Applied);
    };
    const ScreenPoint before = drawnAt(20);
    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = 1;
    wheel.wheel.mouseX = map->x + int(before.x);
    wheel.wheel.mouseY = map->y + int(before.y);
    send(wheel);
    EXPECT_GT(engine->zoom, 1.0);
    EXPECT_NEAR(drawnAt(20).x, before.x, 1.0) << "the point under the pointer stays there";
    EXPECT_NEAR(drawnAt(20).y, before.y, 1.0);

    engine->setCursor(5);
    pressAt(map->x + 10, map->y + 10, SDL_BUTTON_MIDDLE);
    EXPECT_NEAR(drawnAt(5).x, map->w / 2.0, 1.0);
    EXPECT_NEAR(drawnAt(5).y, map->h / 2.0, 1.0);
    engine->cursorModeCombo->select(1, true);
    pressAt(map->x + 100, map->y + 120);
    const ScreenPoint free = MapProjection(*engine->shownTrack(), engine->trackExtent, engine->mapViewState())
                                 .projectGround(engine->freeCursorLat, engine->freeCursorLon, Pan::Applied);
    EXPECT_NEAR(free.x, 100, 1.0);
    EXPECT_NEAR(free.y, 120, 1.0);
    engine->angleX = 30;
    key(SDLK_ESCAPE);
    EXPECT_EQ((std::array{engine->zoom, engine->panX, engine->panY, double(engine->angleX), double(engine->cursorIndex)}),
              (std::array{1.0, 0.0, 0.0, 0.0, 0.0}));
}

TEST_F(Commands, OneDialogAtATimeTakesItsKeysAndTheMainWindowWaits)
{
    startWithTrack();
    key(SDLK_o, KMOD_LCTRL);
    GuiWindow* dialog = engine->modalRoot;
    ASSERT_NE(dialog, nullptr);
    key(SDLK_PLUS);
    pressAt(engine->mapPanel->x + 20, engine->mapPanel->y + 20);
    EXPECT_EQ(engine->modalRoot, dialog);
    EXPECT_EQ(engine->zoom, 1.0);
    EXPECT_EQ(engine->cursorIndex, 0);

    GuiObject* name = dialog->findByName("filename");
    dialog->setFocus(name);
    SDL_StartTextInput();
    for (const char* letter : {"a", "+"}) {
        send(keyEvent(letter[0] == 'a' ? SDLK_a : SDLK_PLUS), GuiEngine::windowList().back());
        SDL_Event text{};
        text.type = SDL_TEXTINPUT;
        std::strcpy(text.text.text, letter);
        send(text, GuiEngine::windowList().back());
    }
    EXPECT_EQ(engine->markerA, -1);
    EXPECT_EQ(engine->zoom, 1.0);
    std::string typed;
    name->getValue(typed);
    EXPECT_EQ(typed, "a+");
}

TEST_F(Commands, AnOpenListTakesKeysAndTheWheelBeforeTheMap)
{
    start({write("three.gpx", gpxWithTracks(trackXml("A", 30) + trackXml("B", 30) + trackXml("C", 30)))});
    engine->trackCombo->openDropDown();
    GuiListCtrl* list = engine->trackCombo->dropDownList();
    ASSERT_NE(list, nullptr);
    const int x = list->x + list->w - 10, secondRow = list->y + list->itemHeight * 3 / 2;
    ASSERT_TRUE(engine->mapPanel->contains(x, secondRow)) << "the list lies over the map";
    engine->panX = 80;
    key(SDLK_LEFT);
    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = 1;
    wheel.wheel.mouseX = x;
    wheel.wheel.mouseY = secondRow;
    send(wheel);
    key(SDLK_ESCAPE);
    EXPECT_TRUE(root()->popups.empty());
    EXPECT_EQ(engine->panX, 80.0) << "Escape closed the list, it did not reset the view";
    EXPECT_EQ(engine->zoom, 1.0);
}

TEST_F(Commands, F11AndTheFitButtonAgree)
{
    start({}, 1000, 700);
    SDL_Window* window = engine->mainWindow->sdlWindow;
    SDL_SetWindowPosition(window, 30, 40);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    pushKey(SDLK_F11);
    engine->runFrame();
    ASSERT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP);
    EXPECT_EQ(engine->fitWindowButton->text, "Restore window");
    button(133);
    std::array<int, 4> place{};
    SDL_GetWindowPosition(window, &place[0], &place[1]);
    SDL_GetWindowSize(window, &place[2], &place[3]);
    EXPECT_FALSE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP);
    EXPECT_EQ(place, (std::array{30, 40, 1000, 700}));
    EXPECT_EQ(engine->fitWindowButton->text, "Fit window to screen");
}

TEST_F(Commands, ANewTrackStartsWithItsOwnHeadingCursorAndGraph)
{
    std::string east = "<trk><name>East</name><trkseg>\n";
    for (int i = 0; i < 30; ++i)
        east += "<trkpt lat=\"46.5\" lon=\"" + std::to_string(8.0 + 0.001 * i) + "\"><ele>500</ele></trkpt>\n";
    start({write("two.gpx", gpxWithTracks(trackXml("North", 30) + east + "</trkseg></trk>\n"))});
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
    engine->cursorModeCombo->select(1, true);
    engine->selectTrack(1);
    ASSERT_TRUE(engine->freeCursor);
    EXPECT_EQ(engine->freeCursorLat, engine->shownTrack()->getWayPoint(0)->getLat());
    EXPECT_EQ(engine->freeCursorLon, engine->shownTrack()->getWayPoint(0)->getLon());
}

// Each choice of the statistics list draws the graph the view draws for it.
TEST_F(Commands, StatisticsChoiceShowsItsGraph)
{
    startWithTrack(30);
    GuiCairoPanel* graph = engine->graphPanel;
    for (GraphMode mode : {GraphMode::Speed, GraphMode::HeightAndSpeed, GraphMode::Height}) {
        engine->statisticsCombo->select(int(mode), true);
        engine->renderMapPanel();
        cairo_surface_t* expected = cairo_image_surface_create(CAIRO_FORMAT_RGB24, graph->w, graph->h);
        cairo_t* cr = cairo_create(expected);
        renderGraphPanel(cr, graph->w, graph->h, *engine->shownTrack(), engine->cursorIndex, mode);
        cairo_destroy(cr);
        cairo_surface_flush(expected);
        cairo_surface_flush(graph->getSurface());
        EXPECT_EQ(0, std::memcmp(cairo_image_surface_get_data(expected), cairo_image_surface_get_data(graph->getSurface()),
                                 std::size_t(cairo_image_surface_get_stride(expected) * graph->h)))
            << int(mode);
        cairo_surface_destroy(expected);
    }
}
