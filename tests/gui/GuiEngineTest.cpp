// The loop, window lifetime, deferred texture release and font start-up.

#include "support/GuiTestSupport.h"

#include "gui/GuiButton.h"
#include "gui/GuiDialog.h"
#include "gui/GuiEngine.h"
#include "gui/GuiText.h"
#include "gui/GuiTextCtrl.h"
#include "gui/GuiWindow.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <unistd.h>

using namespace guitest;

namespace {

class MotionProbe : public GuiObject {
public:
    MotionProbe(GuiEngine* engine_) : GuiObject(nullptr, 1, 0, 0, 400, 300, 0xFF000000), engine(engine_) {}
    void handleEvent(GuiEvent& event) override
    {
        if (!event.sdlEvent)
            return;
        if (event.sdlEvent->type == SDL_MOUSEMOTION) {
            ++motions;
            lastX = event.sdlEvent->motion.x;
        }
        if (event.sdlEvent->type == SDL_KEYDOWN && closeOnKey) {
            engine->closeWindow(closeOnKey);
            stillThereDuringEvent = engine->findWindow(closeOnKey) != nullptr;
        }
    }
    GuiEngine* engine;
    int motions = 0;
    int lastX = -1;
    Uint32 closeOnKey = 0;
    bool stillThereDuringEvent = false;
};

void push(SDL_Event event)
{
    ASSERT_EQ(SDL_PushEvent(&event), 1);
}

SDL_Event motionEvent(Uint32 windowId, int x, int y)
{
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = windowId;
    e.motion.x = x;
    e.motion.y = y;
    return e;
}

SDL_Event keyEvent(Uint32 windowId, SDL_Keycode sym, Uint16 mod = 0, Uint8 repeat = 0)
{
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = windowId;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    e.key.repeat = repeat;
    return e;
}

class GuiEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        gui.engine->beginRun();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        gui.engine->idleWaitLimitMs = 100;  // idle passes end soon, so tests can watch the time
    }
    AppWindow* secondWindow()
    {
        AppWindow* w = gui.engine->createWindow(gui.engine, "second", 0, 0, 50, 50, SDL_WINDOW_HIDDEN, 0xFFFFFFFF);
        EXPECT_NE(w, nullptr);
        return w;
    }
    void pushWindowEvent(Uint32 windowId, Uint8 event, int data1 = 0, int data2 = 0)
    {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = event;
        e.window.windowID = windowId;
        e.window.data1 = data1;
        e.window.data2 = data2;
        push(e);
    }
    GuiFixtureState gui;
};

} // namespace

TEST_F(GuiEngineTest, QueuedMotionIsMergedIntoOneDispatchWithTheLastPosition)
{
    auto* probe = gui.root->add(new MotionProbe(gui.engine));
    for (int i = 0; i < 10; ++i)
        push(motionEvent(gui.window->windowId, 10 + i, 10));
    gui.engine->runFrame();
    EXPECT_EQ(probe->motions, 1);
    EXPECT_EQ(probe->lastX, 19);
    gui.engine->runFrame();
    EXPECT_EQ(probe->motions, 1);
}

TEST_F(GuiEngineTest, OneEventPerFrameAndEveryWindowRendered)
{
    secondWindow();
    push(keyEvent(gui.window->windowId, SDLK_a));
    push(keyEvent(gui.window->windowId, SDLK_b));
    gui.engine->runFrame();
    EXPECT_EQ(gui.engine->sdlEventTypes.size(), 1u);
    EXPECT_EQ(gui.engine->renders, 2);
    gui.engine->runFrame();
    EXPECT_EQ(gui.engine->sdlEventTypes.size(), 2u);
}

TEST_F(GuiEngineTest, ClosingTheMainWindowTellsEveryWindowAndEndsTheLoop)
{
    secondWindow();
    pushWindowEvent(gui.window->windowId, SDL_WINDOWEVENT_CLOSE);
    gui.engine->runFrame();
    EXPECT_TRUE(gui.engine->closeRequested);
    EXPECT_TRUE(gui.engine->quit);
    // The original event (neutralised) plus one close notice per window.
    int closes = 0;
    for (Uint32 type : gui.engine->sdlEventTypes)
        closes += type == SDL_WINDOWEVENT;
    EXPECT_EQ(closes, 3);
}

TEST_F(GuiEngineTest, ClosingADialogWindowCancelsTheDialogAndKeepsRunning)
{
    AppWindow* dialog = gui.engine->createDialogWindow(gui.engine, "dialog", SDL_WINDOWPOS_CENTERED,
                                                       SDL_WINDOWPOS_CENTERED, 50, 50, SDL_WINDOW_HIDDEN, 0xFFFFFFFF);
    gui.engine->beginModal(dialog->root);
    const Uint32 dialogId = dialog->windowId;
    pushWindowEvent(dialogId, SDL_WINDOWEVENT_CLOSE);
    gui.engine->runFrame();
    EXPECT_FALSE(gui.engine->quit);
    EXPECT_EQ(gui.engine->modalRoot, nullptr);
    ASSERT_EQ(gui.engine->notifications.size(), 1u);
    EXPECT_EQ(gui.engine->notifications[0].code, GuiNotify::DialogClosed);
    EXPECT_EQ(gui.engine->notifications[0].param, Uint32(GuiDialog::Cancelled));
    EXPECT_EQ(gui.engine->findWindow(dialogId), nullptr);
}

TEST_F(GuiEngineTest, QuitRequestEndsTheLoopEvenWhenAWindowTakesIt)
{
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    gui.engine->runFrame();
    EXPECT_TRUE(gui.engine->quit);
}

TEST_F(GuiEngineTest, CloseRequestedDuringAnEventRunsAfterIt)
{
    const Uint32 dialogId = secondWindow()->windowId;
    auto* probe = gui.root->add(new MotionProbe(gui.engine));
    gui.root->setFocus(probe);
    probe->closeOnKey = dialogId;
    push(keyEvent(gui.window->windowId, SDLK_RETURN));
    gui.engine->runFrame();
    EXPECT_TRUE(probe->stillThereDuringEvent);
    EXPECT_EQ(gui.engine->findWindow(dialogId), nullptr);
    EXPECT_EQ(GuiEngine::windowList().size(), 1u);
}

TEST_F(GuiEngineTest, ReleasedTextureIsDestroyedOnTheThirdFrame)
{
    SDL_Texture* texture = SDL_CreateTexture(gui.renderer, SDL_PIXELFORMAT_RGBA8888, SDL_TEXTUREACCESS_STATIC, 4, 4);
    ASSERT_NE(texture, nullptr);
    GuiEngine::releaseTexture(gui.renderer, texture);
    for (size_t pendingAfter : {1u, 1u, 0u}) {
        gui.engine->runFrame();
        EXPECT_EQ(GuiEngine::pendingTextureCount(gui.renderer), pendingAfter);
    }
}

TEST_F(GuiEngineTest, FullscreenKeyWithModifierOrRepeatNeverToggles)
{
    auto flags = [&] { return SDL_GetWindowFlags(gui.window->sdlWindow) & SDL_WINDOW_FULLSCREEN_DESKTOP; };
    const Uint32 before = flags();
    push(keyEvent(gui.window->windowId, SDLK_F11, KMOD_LCTRL));
    gui.engine->runFrame();
    ASSERT_EQ(gui.engine->sdlEventTypes.size(), 1u);  // passed on to the window
    EXPECT_EQ(flags(), before);

    push(keyEvent(gui.window->windowId, SDLK_F11, 0, 1));
    gui.engine->runFrame();
    EXPECT_EQ(gui.engine->sdlEventTypes.size(), 1u);  // swallowed
    EXPECT_EQ(flags(), before);
}

TEST_F(GuiEngineTest, SizeChangeResizesTheWindowSurface)
{
    pushWindowEvent(gui.window->windowId, SDL_WINDOWEVENT_SIZE_CHANGED, 640, 480);
    gui.engine->runFrame();
    // The loop follows the platform window's real size right after, so only
    // check that the record, its surface and the root agree.
    EXPECT_EQ(cairo_image_surface_get_width(gui.window->surface), gui.window->width);
    EXPECT_EQ(gui.root->w, gui.window->width);
    EXPECT_EQ(gui.root->h, gui.window->height);
}

TEST_F(GuiEngineTest, DestroyingTheMainWindowForgetsIt)
{
    EXPECT_EQ(GuiEngine::getMainWindow(), gui.window);
    EXPECT_TRUE(gui.engine->destroyWindow(gui.window->windowId));
    EXPECT_EQ(GuiEngine::getMainWindow(), nullptr);
    EXPECT_FALSE(gui.engine->destroyWindow(12345));
}

// The idle loop: frames only when something asks for one.

namespace {

// Runs loop passes until `done` or `limitMs`; the time it took.
Uint32 runUntil(GuiEngine* engine, const std::function<bool()>& done, Uint32 limitMs)
{
    const Uint32 start = SDL_GetTicks();
    while (!done() && SDL_GetTicks() - start < limitMs)
        engine->runFrame();
    return SDL_GetTicks() - start;
}

} // namespace

TEST_F(GuiEngineTest, IdleLoopSleepsWithoutFramesAndWakesForTheNextEvent)
{
    runUntil(gui.engine, [] { return false; }, 100);  // what start-up asked for
    const int rendered = gui.engine->renders;
    int passes = 0;
    runUntil(gui.engine, [&] { return ++passes, false; }, 1000);
    EXPECT_EQ(gui.engine->renders, rendered);
    EXPECT_LE(passes, 12);  // asleep, not spinning

    Uint32 sentAt = 0;
    std::thread user([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        sentAt = SDL_GetTicks();
        push(keyEvent(gui.window->windowId, SDLK_a));
    });
    gui.engine->idleWaitLimitMs = 5000;
    gui.engine->runFrame();
    const Uint32 handledAt = SDL_GetTicks();
    user.join();
    EXPECT_EQ(gui.engine->sdlEventTypes, std::vector<Uint32>{SDL_KEYDOWN});
    EXPECT_EQ(gui.engine->renders, rendered + 1);
    EXPECT_LT(handledAt - sentAt, 250u);  // the wake-up plus a frame, not the 5 s wait limit
}

TEST_F(GuiEngineTest, TimersStillRenderOnTime)
{
    auto* hint = gui.root->add(new GuiButton(nullptr, 5, 10, 10, 80, 30, 0, "hint", uiFont, 0));
    hint->tooltip = "Shows after a rest";
    auto* repeat = gui.root->add(new GuiButton(nullptr, 6, 100, 10, 80, 30, 0, "+", uiFont, GuiButton::AutoRepeat));
    auto* field = gui.root->add(new GuiTextCtrl(nullptr, 7, 10, 60, 200, 24, 0xFFFFFFFF, ftFace, 0));
    runUntil(gui.engine, [] { return false; }, 100);
    gui.engine->idleWaitLimitMs = 5000;  // only the timers may wake the loop now

    // A tooltip after 500 ms at rest, in a frame or two rather than thirty.
    push(motionEvent(gui.window->windowId, 20, 20));
    int rendered = gui.engine->renders;
    Uint32 took = runUntil(gui.engine, [&] { return gui.root->tooltipVisible; }, 1500);
    EXPECT_GE(took, 500u);
    EXPECT_LT(took, 900u);  // bounds allow for a loaded machine; the idle limit is 5 s
    EXPECT_LE(gui.engine->renders - rendered, 4);

    // Auto-repeat after 400 ms, then every 60 ms.
    SDL_Event down{};
    down.type = SDL_MOUSEBUTTONDOWN;
    down.button = {SDL_MOUSEBUTTONDOWN, 0, gui.window->windowId, 0, SDL_BUTTON_LEFT, SDL_PRESSED, 1, 0, 120, 20};
    push(down);
    gui.engine->runFrame();
    auto repeats = [&] { return gui.engine->notifications.size(); };
    took = runUntil(gui.engine, [&] { return repeats() == 1; }, 1000);
    EXPECT_GE(took + 17, 400u);
    EXPECT_LT(took, 800u);
    took = runUntil(gui.engine, [&] { return repeats() == 4; }, 1000);
    EXPECT_LT(took, 500u);
    gui.root->releaseCapture();
    repeat->pressed = false;

    // A focused caret blinks once the first second after the focus has passed.
    gui.engine->appFlag = true;
    gui.root->setFocus(field);
    rendered = gui.engine->renders;
    took = runUntil(gui.engine, [&] { return field->active && !field->cursorVisible; }, 2000);
    EXPECT_GE(took, 1000u);
    EXPECT_LT(took, 1600u);
    EXPECT_LE(gui.engine->renders - rendered, 6);
}

// Fonts: without any font the engine still starts, says so and draws no text.
TEST(GuiFonts, EmbeddedFontNeedsNoFileAndMissingFontIsNotFatal)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    const std::filesystem::path empty = std::filesystem::temp_directory_path() / "pathlark-no-fonts";
    std::filesystem::create_directories(empty);
    ASSERT_EQ(chdir(empty.c_str()), 0);

    {
        useEmbeddedFont();
        TestEngine engine;
        EXPECT_NE(uiFont, nullptr);
        EXPECT_NE(ftFace, nullptr);
        GuiEngine::setEmbeddedFont(nullptr, 0);
    }
    {
        testing::internal::CaptureStderr();
        TestEngine engine;
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(guiText("Schriftart konnte nicht geladen werden: ")), std::string::npos);
        EXPECT_EQ(uiFont, nullptr);
        EXPECT_EQ(ftFace, nullptr);
        AppWindow* window = engine.createWindow(&engine, "t", 0, 0, 50, 50, SDL_WINDOW_HIDDEN, 0xFF000000);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(drawText(window->renderer, uiFont, "text", SDL_Color{0, 0, 0, 255}, 0, 0).w, 0);
    }
    ASSERT_EQ(chdir(previous.c_str()), 0);
}
