// The loop, window lifetime, focus, resizing and event dispatch.

#include "support/GuiTestSupport.h"

#include "GuiProbe.h"

#include "gui/GuiButton.h"
#include "gui/GuiDialog.h"

#include <chrono>
#include <thread>

using namespace guitest;

namespace {

struct GuiEngineTest : ::testing::Test {
    void SetUp() override
    {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        gui.engine->beginRun();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        gui.engine->idleWaitLimitMs = 100;  // idle passes end soon, so tests can watch the time
    }
    // Queues an event for a window; `fill` sets the fields that matter.
    void push(Uint32 type, Uint32 windowId, const std::function<void(SDL_Event&)>& fill = {})
    {
        SDL_Event e{};
        e.type = type;
        e.window.windowID = windowId;  // at the same place in every windowed event
        if (fill)
            fill(e);
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void pushKey(SDL_Keycode sym, Uint16 mod = 0, Uint8 repeat = 0)
    {
        push(SDL_KEYDOWN, gui.window->windowId, [&](SDL_Event& e) {
            e.key.keysym.sym = sym, e.key.keysym.mod = mod, e.key.repeat = repeat;
        });
    }
    void pushClose(Uint32 windowId)
    {
        push(SDL_WINDOWEVENT, windowId, [&](SDL_Event& e) { e.window.event = SDL_WINDOWEVENT_CLOSE; });
    }
    AppWindow* secondWindow()
    {
        return gui.engine->createWindow(gui.engine, "second", 0, 0, 50, 50, SDL_WINDOW_HIDDEN, 0xFFFFFFFF);
    }
    // Runs loop passes until `done` or `limitMs`; the time it took.
    Uint32 runUntil(const std::function<bool()>& done, Uint32 limitMs)
    {
        const Uint32 start = SDL_GetTicks();
        while (!done() && SDL_GetTicks() - start < limitMs)
            gui.engine->runFrame();
        return SDL_GetTicks() - start;
    }
    GuiFixtureState gui;
};

} // namespace

TEST_F(GuiEngineTest, ClosingADialogCancelsItButClosingTheMainWindowOrQuittingEndsTheLoop)
{
    AppWindow* dialog = gui.engine->createDialogWindow(gui.engine, "dialog", SDL_WINDOWPOS_CENTERED,
                                                       SDL_WINDOWPOS_CENTERED, 50, 50, SDL_WINDOW_HIDDEN, 0xFFFFFFFF);
    gui.engine->beginModal(dialog->root);
    const Uint32 dialogId = dialog->windowId;
    pushClose(dialogId);
    gui.engine->runFrame();
    EXPECT_FALSE(gui.engine->quit);
    ASSERT_EQ(gui.engine->notifications.size(), 1u);
    EXPECT_EQ((std::array{gui.engine->notifications[0].code, gui.engine->notifications[0].param}),
              (std::array{Uint32(GuiNotify::DialogClosed), Uint32(GuiDialog::Cancelled)}));
    EXPECT_EQ(gui.engine->findWindow(dialogId), nullptr);

    secondWindow();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    gui.engine->sdlEventTypes.clear();
    pushClose(gui.window->windowId);
    gui.engine->runFrame();
    EXPECT_TRUE(gui.engine->closeRequested && gui.engine->quit);
    // The original event (neutralised) plus one close notice per window.
    EXPECT_EQ(std::count(gui.engine->sdlEventTypes.begin(), gui.engine->sdlEventTypes.end(), SDL_WINDOWEVENT), 3);
    gui.engine->quit = false;
    push(SDL_QUIT, 0);
    gui.engine->runFrame();
    EXPECT_TRUE(gui.engine->quit);
}

TEST_F(GuiEngineTest, WindowsCloseAfterTheEventThatAskedAndTheMainOneIsForgotten)
{
    const Uint32 otherId = secondWindow()->windowId;
    auto* probe = gui.root->add(new Probe(0, 0, 400, 300));
    gui.root->setFocus(probe);
    bool stillThereDuringEvent = false;
    probe->onEvent = [&](const SDL_Event&) {
        gui.engine->closeWindow(otherId);
        stillThereDuringEvent = gui.engine->findWindow(otherId) != nullptr;
    };
    pushKey(SDLK_RETURN);
    gui.engine->runFrame();
    EXPECT_TRUE(stillThereDuringEvent);
    EXPECT_EQ(gui.engine->findWindow(otherId), nullptr);
    EXPECT_EQ(GuiEngine::windowList().size(), 1u);
    EXPECT_TRUE(gui.engine->destroyWindow(gui.window->windowId));
    EXPECT_EQ(GuiEngine::getMainWindow(), nullptr);
    EXPECT_FALSE(gui.engine->destroyWindow(12345));
}

TEST_F(GuiEngineTest, KeysGoToTheWindowThatGainedFocusNotToOneRepainted)
{
    AppWindow* second = secondWindow();
    push(SDL_WINDOWEVENT, second->windowId, [](SDL_Event& e) { e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED; });
    push(SDL_WINDOWEVENT, gui.window->windowId, [](SDL_Event& e) { e.window.event = SDL_WINDOWEVENT_EXPOSED; });
    runUntil([] { return SDL_PeepEvents(nullptr, 1, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT) == 0; }, 500);
    EXPECT_EQ(gui.engine->activeWindowId, second->windowId);
}

TEST_F(GuiEngineTest, SizeChangeResizesTheSurfaceAndTheRootAndF11NeedsAPlainFreshPress)
{
    push(SDL_WINDOWEVENT, gui.window->windowId, [](SDL_Event& e) {
        e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED, e.window.data1 = 640, e.window.data2 = 480;
    });
    gui.engine->runFrame();
    // The loop follows the platform window's real size right after, so only check that they agree.
    EXPECT_EQ((std::array{cairo_image_surface_get_width(gui.window->surface), gui.root->w, gui.root->h}),
              (std::array{gui.window->width, gui.window->width, gui.window->height}));
    // Only the width changes: the surface follows all the same.
    const int wider = gui.window->width + 60;
    SDL_SetWindowSize(gui.window->sdlWindow, wider, gui.window->height);
    runUntil([] { return SDL_PeepEvents(nullptr, 1, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT) == 0; }, 500);
    EXPECT_EQ((std::array{cairo_image_surface_get_width(gui.window->surface), gui.root->w}), (std::array{wider, wider}));

    const Uint32 fullscreen = SDL_GetWindowFlags(gui.window->sdlWindow) & SDL_WINDOW_FULLSCREEN_DESKTOP;
    pushKey(SDLK_F11, KMOD_LCTRL);
    pushKey(SDLK_F11, 0, 1);
    gui.engine->sdlEventTypes.clear();
    gui.engine->runFrame();
    gui.engine->runFrame();
    EXPECT_EQ(gui.engine->sdlEventTypes.size(), 1u) << "with Ctrl passed on to the window, the repeat swallowed";
    EXPECT_EQ(SDL_GetWindowFlags(gui.window->sdlWindow) & SDL_WINDOW_FULLSCREEN_DESKTOP, fullscreen);
}

TEST_F(GuiEngineTest, IdleLoopSleepsAndWakesForTheNextEventOrTheTooltip)
{
    auto* hint = gui.root->add(new GuiButton(nullptr, 5, 10, 10, 80, 30, 0, "hint", uiFont, 0));
    hint->tooltip = "Shows after a rest";
    runUntil([] { return false; }, 100);  // what start-up asked for
    const int rendered = gui.engine->renders;
    int passes = 0;
    runUntil([&] { return ++passes, false; }, 1000);
    EXPECT_EQ(gui.engine->renders, rendered);
    EXPECT_LE(passes, 12);  // asleep, not spinning

    Uint32 sentAt = 0;
    std::thread user([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        sentAt = SDL_GetTicks();
        push(SDL_MOUSEMOTION, gui.window->windowId, [](SDL_Event& e) { e.motion.x = e.motion.y = 20; });
    });
    gui.engine->idleWaitLimitMs = 5000;  // only events and timers may wake the loop now
    gui.engine->runFrame();
    const Uint32 handledAt = SDL_GetTicks();
    user.join();
    EXPECT_EQ(gui.engine->sdlEventTypes, std::vector<Uint32>{SDL_MOUSEMOTION});
    EXPECT_EQ(gui.engine->renders, rendered + 1);
    EXPECT_LT(handledAt - sentAt, 250u);  // the wake-up plus a frame, not the 5 s wait limit

    // The pointer now rests on the button: its tooltip after 500 ms, in a frame or two rather than thirty.
    runUntil([&] { return gui.root->tooltipVisible; }, 1500);
    const Uint32 took = SDL_GetTicks() - sentAt;
    EXPECT_GE(took, 500u);
    EXPECT_LT(took, 900u);  // bounds allow for a loaded machine; the idle limit is 5 s
    EXPECT_LE(gui.engine->renders - rendered, 5);
}

// Event routing through the root window when a widget goes away in the middle of it.
TEST_F(GuiEngineTest, WidgetDeletingItselfDuringDispatchIsGoneAfterwards)
{
    GuiWindow* root = gui.root;
    bool destroyed = false;
    auto* a = root->add(new EditableProbe(0, 0, 50, 50));
    a->destroyed = &destroyed;
    a->onEvent = [a](const SDL_Event&) { a->deleteLater(); };
    press(root, 10, 10);
    EXPECT_TRUE(destroyed && root->children.empty());
    EXPECT_EQ((std::array<void*, 3>{root->focus, root->capture, gui.engine->focusedEditable}),
              (std::array<void*, 3>{}));
    release(root, 10, 10);  // must not reach the deleted widget
}
