// GuiEngine: start-up, windows, the loop, deferred texture release.
//
// [SECTION] Process-wide state
// [SECTION] Start-up and shutdown
// [SECTION] Windows
// [SECTION] The loop
// [SECTION] Deferred texture release

#include "gui/GuiEngine.h"

#include "gui/GuiMessages.h"
#include "gui/GuiText.h"
#include "gui/GuiWindow.h"
#include "gui/IEditable.h"

#include <SDL_image.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

// [SECTION] Process-wide state

namespace {

struct ReleaseSlots {
    std::array<std::vector<SDL_Texture*>, 3> lists;
    int current = 0;
};

AppWindow* theMainWindow = nullptr;
std::vector<AppWindow*> registeredWindows;  // registration order; the loop renders in it
bool redrawRequestedFlag = false;
bool redrawThisFrameFlag = false;
std::unordered_map<SDL_Renderer*, ReleaseSlots> releaseTable;
std::vector<void (*)(SDL_Renderer*)> rendererCleanups;

void dropRenderer(SDL_Renderer* renderer)
{
    auto it = releaseTable.find(renderer);
    if (it != releaseTable.end()) {
        for (auto& list : it->second.lists)
            for (SDL_Texture* t : list)
                SDL_DestroyTexture(t);
        releaseTable.erase(it);
    }
    for (auto cleanup : rendererCleanups)
        cleanup(renderer);
}

} // namespace

void GuiEngine::requestRedraw()
{
    redrawRequestedFlag = true;
    redrawThisFrameFlag = true;
}

bool GuiEngine::redrawRequested() { return redrawRequestedFlag; }
bool GuiEngine::redrawThisFrame() { return redrawThisFrameFlag; }
AppWindow* GuiEngine::getMainWindow() { return theMainWindow; }
void GuiEngine::setMainWindow(AppWindow* window) { theMainWindow = window; }
const std::vector<AppWindow*>& GuiEngine::windowList() { return registeredWindows; }

void GuiEngine::addRendererCleanup(void (*cleanup)(SDL_Renderer*))
{
    if (std::find(rendererCleanups.begin(), rendererCleanups.end(), cleanup) == rendererCleanups.end())
        rendererCleanups.push_back(cleanup);
}

// [SECTION] Start-up and shutdown

GuiEngine::GuiEngine()
{
    // Before the fonts: a missing font is reported in the user's language.
    setupToolkitLocale();
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        throw std::runtime_error(SDL_GetError());
    SDL_SetHint("SDL_MOUSE_FOCUS_CLICKTHROUGH", "1");
    IMG_Init(IMG_INIT_PNG);
    if (TTF_Init() != 0) {
        std::string reason = SDL_GetError();
        IMG_Quit();
        SDL_Quit();
        throw Error(0, "TTF_Init: " + reason);
    }

    // Without a font the engine still runs; widgets simply draw no text.
    if (openFonts())
        SDL_StartTextInput();
}

GuiEngine::~GuiEngine()
{
    pendingCloses.clear();
    for (AppWindow* window : std::vector<AppWindow*>(registeredWindows))
        destroyWindow(window->windowId);
    registeredWindows.clear();
    releaseAllTextures();
    closeFonts();
    TTF_Quit();
    IMG_Quit();
    SDL_Quit();
}

// [SECTION] Windows

namespace {

bool createCairoTarget(AppWindow* window, int w, int h)
{
    window->pixels = static_cast<unsigned char*>(calloc(size_t(w) * size_t(h), 4));
    if (!window->pixels)
        return false;
    window->surface = cairo_image_surface_create_for_data(window->pixels, CAIRO_FORMAT_ARGB32, w, h, w * 4);
    window->cairo = cairo_create(window->surface);
    window->width = w;
    window->height = h;
    return true;
}

void destroyCairoTarget(AppWindow* window)
{
    if (window->cairo)
        cairo_destroy(window->cairo);
    if (window->surface)
        cairo_surface_destroy(window->surface);
    free(window->pixels);
    window->cairo = nullptr;
    window->surface = nullptr;
    window->pixels = nullptr;
}

SDL_Renderer* createRenderer(SDL_Window* window)
{
    if (getenv("WINEUSERNAME"))
        return SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED))
        return renderer;
    // No GPU or GL here: drawing in software is slower but perfectly usable.
    static bool said = false;
    if (!said) {
        SDL_Log("%s%s", guiText("Kein beschleunigter Renderer, verwende Software-Rendering: "), SDL_GetError());
        said = true;
    }
    return SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
}

} // namespace

AppWindow* GuiEngine::createWindow(GuiEngine* owner, const std::string& title, int x, int y, int w, int h,
                                   Uint32 flags, Uint32 colour)
{
    return createWindowWithRoot(owner, title, x, y, w, h, flags, colour,
                                [](AppWindow* record, int rw, int rh, Uint32 c) {
                                    return new GuiWindow(record, -1, 0, 0, rw, rh, c);
                                });
}

AppWindow* GuiEngine::createWindowWithRoot(GuiEngine* owner, const std::string& title, int x, int y, int w, int h,
                                           Uint32 flags, Uint32 colour, const RootFactory& makeRoot)
{
    requestRedraw();
    auto* record = new AppWindow();
    record->sdlWindow = SDL_CreateWindow(title.c_str(), x, y, w, h, flags);
    if (!record->sdlWindow) {
        delete record;
        throw std::runtime_error(SDL_GetError());
    }
    record->renderer = createRenderer(record->sdlWindow);
    if (!record->renderer) {
        std::string error = SDL_GetError();
        SDL_DestroyWindow(record->sdlWindow);
        delete record;
        throw std::runtime_error(error);
    }
    SDL_SetWindowData(record->sdlWindow, "AppWindow", record);
    SDL_RenderSetLogicalSize(record->renderer, w, h);
    record->engine = owner ? owner : this;
    record->width = w;
    record->height = h;
    record->root = makeRoot(record, w, h, colour);

    record->windowId = SDL_GetWindowID(record->sdlWindow);
    if (record->windowId == 0 || !createCairoTarget(record, w, h)) {
        delete record->root;
        destroyCairoTarget(record);
        SDL_DestroyRenderer(record->renderer);
        SDL_DestroyWindow(record->sdlWindow);
        delete record;
        return nullptr;
    }
    windows.emplace(record->windowId, record);
    record->title = title;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    SDL_RenderSetIntegerScale(record->renderer, SDL_TRUE);
    SDL_SetRenderDrawBlendMode(record->renderer, SDL_BLENDMODE_BLEND);
    SDL_RaiseWindow(record->sdlWindow);
    cairo_set_operator(record->cairo, CAIRO_OPERATOR_CLEAR);
    cairo_paint(record->cairo);
    cairo_set_operator(record->cairo, CAIRO_OPERATOR_OVER);
    registeredWindows.push_back(record);
    if (activeWindowId == 0)
        activeWindowId = record->windowId;
    return record;
}

void GuiEngine::resizeSurface(AppWindow* window, int w, int h)
{
    requestRedraw();
    if (w < 1 || h < 1 || (w == window->width && h == window->height))
        return;
    destroyCairoTarget(window);
    if (!createCairoTarget(window, w, h)) {
        // Out of memory for the surface: keep the window usable without one.
        window->width = w;
        window->height = h;
    }
    if (window->renderer)
        SDL_RenderSetLogicalSize(window->renderer, w, h);
}

void GuiEngine::closeWindow(Uint32 windowId)
{
    pendingCloses.push_back(windowId);
}

AppWindow* GuiEngine::findWindow(Uint32 windowId)
{
    for (AppWindow* window : registeredWindows)
        if (window->windowId == windowId)
            return window;
    return nullptr;
}

bool GuiEngine::destroyWindow(Uint32 windowId)
{
    requestRedraw();
    auto it = windows.find(windowId);
    if (it == windows.end())
        return false;
    AppWindow* record = it->second;

    if (activeWindowId == windowId) {
        activeWindowId = 0;
        for (AppWindow* other : registeredWindows)
            if (other != record) {
                activeWindowId = other->windowId;
                break;
            }
        if (activeWindowId == 0)
            if (SDL_Window* focusWindow = SDL_GetKeyboardFocus(); focusWindow && focusWindow != record->sdlWindow)
                activeWindowId = SDL_GetWindowID(focusWindow);
    }
    registeredWindows.erase(std::remove(registeredWindows.begin(), registeredWindows.end(), record),
                            registeredWindows.end());
    if (theMainWindow == record)
        theMainWindow = nullptr;

    auto belongsHere = [record](IEditable* editable) {
        auto* widget = dynamic_cast<GuiObject*>(editable);
        return widget && widget->window == record->root;
    };
    if (record->root && record->root == modalRoot) {
        modalRoot = nullptr;
        focusedEditable = savedEditable;
        savedEditable = nullptr;
    }
    if (belongsHere(focusedEditable))
        focusedEditable = nullptr;
    if (belongsHere(savedEditable))
        savedEditable = nullptr;

    delete record->root;
    record->root = nullptr;
    if (record->renderer)
        dropRenderer(record->renderer);
    if (record->texture)
        SDL_DestroyTexture(record->texture);
    destroyCairoTarget(record);
    SDL_SetWindowData(record->sdlWindow, "AppWindow", nullptr);
    if (record->renderer)
        SDL_DestroyRenderer(record->renderer);
    SDL_DestroyWindow(record->sdlWindow);
    windows.erase(windowId);
    delete record;
    return true;
}

void GuiEngine::centreOnMainWindow(int& x, int& y, int w, int h)
{
    if (!theMainWindow)
        return;
    int mx = 0, my = 0, mw = 0, mh = 0;
    SDL_GetWindowPosition(theMainWindow->sdlWindow, &mx, &my);
    SDL_GetWindowSize(theMainWindow->sdlWindow, &mw, &mh);
    SDL_Rect usable{};
    const int display = SDL_GetWindowDisplayIndex(theMainWindow->sdlWindow);
    const bool haveBounds = display >= 0 && SDL_GetDisplayUsableBounds(display, &usable) == 0;
    auto place = [haveBounds](int& v, int origin, int outer, int inner, int lo, int span) {
        if (!SDL_WINDOWPOS_ISCENTERED(v))
            return;
        v = origin + (outer - inner) / 2;
        if (haveBounds)
            v = std::max(lo, std::min(v, lo + span - inner));  // the lower bound wins
    };
    place(x, mx, mw, w, usable.x, usable.w);
    place(y, my, mh, h, usable.y, usable.h);
}

void GuiEngine::toggleFullscreen()
{
    if (!theMainWindow)
        return;
    const bool isFullscreen = SDL_GetWindowFlags(theMainWindow->sdlWindow) & SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (SDL_SetWindowFullscreen(theMainWindow->sdlWindow, isFullscreen ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
        SDL_Log(guiText("Fenstermodus konnte nicht gewechselt werden: %s"), SDL_GetError());
    requestRedraw();
}

// [SECTION] The loop

void GuiEngine::run()
{
    beginRun();
    while (!quit)
        runFrame();
    endRun();
}

void GuiEngine::beginRun()
{
    frameDelay = Uint32(1000 / std::max(1, framesPerSecond));
    requestRedraw();
    if (theMainWindow) {
        int w = 0, h = 0;
        SDL_GetWindowSize(theMainWindow->sdlWindow, &w, &h);
        resizeSurface(theMainWindow, w, h);
        if (theMainWindow->root)
            theMainWindow->root->resize(theMainWindow->renderer, theMainWindow->width, theMainWindow->height);
    }
}

void GuiEngine::runFrame()
{
    Uint32 frameStart = SDL_GetTicks();
    SDL_Event event;
    bool haveEvent = pollOneEvent(event);
    if (!haveEvent) {
        WakeUp next = nextWakeUp(frameStart);
        if (next.frameMs > 0) {
            // Nothing to show: sleep until input comes or the next timer is due.
            haveEvent = waitForEvent(event, std::min({next.frameMs, next.releaseMs, idleWaitLimitMs}));
            frameStart = SDL_GetTicks();
            if (!haveEvent) {
                next = nextWakeUp(frameStart);
                if (next.releaseMs == 0)
                    advanceAllTextureReleases();
                if (next.frameMs > 0)
                    return;
            }
        }
    }
    if (haveEvent)
        processEvent(event);
    else
        destroyAllPendingCloses();  // closes asked for by a timer rather than an event

    if (closeRequested) {
        for (AppWindow* window : std::vector<AppWindow*>(registeredWindows)) {
            if (!findWindow(window->windowId))
                continue;
            SDL_Event closeEvent{};
            closeEvent.type = SDL_WINDOWEVENT;
            closeEvent.window.event = SDL_WINDOWEVENT_CLOSE;
            closeEvent.window.windowID = window->windowId;
            GuiEvent guiEvent;
            guiEvent.windowId = window->windowId;
            guiEvent.sdlEvent = &closeEvent;
            handleEvent(window, guiEvent);
        }
        quit = true;
    }

    // This frame answers every request so far. One made while rendering may
    // come after the window it concerns was drawn, so it earns one more frame.
    redrawRequestedFlag = false;
    for (AppWindow* window : std::vector<AppWindow*>(registeredWindows)) {
        if (!findWindow(window->windowId))
            continue;
        int w = 0, h = 0;
        SDL_GetWindowSize(window->sdlWindow, &w, &h);
        if (w > 0 && h > 0 && (w != window->width || h != window->height)) {
            resizeSurface(window, w, h);
            if (window->root)
                window->root->resize(window->renderer, w, h);
        }
        render(window);
        if (window->renderer)
            advanceTextureRelease(window->renderer);
    }

    lastReleaseAdvance = SDL_GetTicks();
    redrawThisFrameFlag = redrawRequestedFlag;

    const Uint32 elapsed = SDL_GetTicks() - frameStart;
    if (elapsed < frameDelay)
        SDL_Delay(frameDelay - elapsed);
}

void GuiEngine::endRun()
{
    releaseAllTextures();
    SDL_StopTextInput();
}

Uint32 GuiEngine::msUntilAppWakeUp(Uint32) { return NoWakeUp; }

GuiEngine::WakeUp GuiEngine::nextWakeUp(Uint32 now)
{
    WakeUp next;
    if (redrawRequestedFlag || renderEveryFrame || closeRequested || !pendingCloses.empty())
        next.frameMs = 0;
    for (AppWindow* window : registeredWindows)
        if (window->root && next.frameMs > 0)
            next.frameMs = std::min(next.frameMs, window->root->msUntilWakeUp(now));
    if (next.frameMs > 0)
        next.frameMs = std::min(next.frameMs, msUntilAppWakeUp(now));
    // Released textures still go one slot per frame time, frames or not.
    for (const auto& [renderer, slots] : releaseTable)
        if (pendingTextureCount(renderer) > 0)
            next.releaseMs = msUntil(lastReleaseAdvance + frameDelay, now);
    return next;
}

void GuiEngine::advanceAllTextureReleases()
{
    for (AppWindow* window : registeredWindows)
        if (window->renderer)
            advanceTextureRelease(window->renderer);
    lastReleaseAdvance = SDL_GetTicks();
}

namespace {

// Drivers whose waits sleep on the system's event source. Elsewhere (dummy,
// offscreen, ...) SDL_WaitEventTimeout polls every millisecond, which costs an
// idle program more than a coarser poll of our own.
bool driverWaitsForEvents()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    for (const char* name : {"x11", "wayland", "windows", "cocoa"})
        if (driver && SDL_strcmp(driver, name) == 0)
            return true;
    return false;
}

constexpr Uint32 IdlePollMs = 10;

// A burst of motion costs one dispatch: only the newest position matters.
void takeNewestMotion(SDL_Event& event)
{
    if (event.type != SDL_MOUSEMOTION)
        return;
    SDL_Event newer;
    while (SDL_PeepEvents(&newer, 1, SDL_GETEVENT, SDL_MOUSEMOTION, SDL_MOUSEMOTION) == 1)
        event = newer;
}

} // namespace

bool GuiEngine::pollOneEvent(SDL_Event& event)
{
    if (!SDL_PollEvent(&event))
        return false;
    takeNewestMotion(event);
    return true;
}

bool GuiEngine::waitForEvent(SDL_Event& event, Uint32 timeoutMs)
{
    if (timeoutMs == 0)
        return false;
    bool got = false;
    if (driverWaitsForEvents()) {
        got = SDL_WaitEventTimeout(&event, int(std::min<Uint32>(timeoutMs, 0x7FFFFFFF))) == 1;
    } else {
        for (const Uint32 start = SDL_GetTicks();;) {
            SDL_PumpEvents();
            got = SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1;
            const Uint32 waited = SDL_GetTicks() - start;
            if (got || waited >= timeoutMs)
                break;
            SDL_Delay(std::min(timeoutMs - waited, IdlePollMs));
        }
    }
    if (got)
        takeNewestMotion(event);
    return got;
}

bool GuiEngine::fullscreenFilter(const SDL_Event& event)
{
    if (event.type != SDL_KEYDOWN || fullscreenKey == 0 || event.key.keysym.sym != fullscreenKey)
        return false;
    if (event.key.keysym.mod & (KMOD_SHIFT | KMOD_CTRL | KMOD_ALT | KMOD_GUI))
        return false;
    if (!theMainWindow || event.key.windowID != theMainWindow->windowId || modalRoot)
        return false;
    if (!event.key.repeat)
        toggleFullscreen();
    return true;
}

void GuiEngine::processEvent(SDL_Event& event)
{
    requestRedraw();
    Uint32 ownWindowId = 0;
    Uint32 dismissedId = 0;
    switch (event.type) {
    case SDL_WINDOWEVENT:
        ownWindowId = event.window.windowID;
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
            // Closing the main window ends the program (the loop tells every
            // window first); closing a dialog's window only dismisses that dialog.
            event.window.event = SDL_WINDOWEVENT_NONE;
            AppWindow* closing = findWindow(event.window.windowID);
            if (closing && theMainWindow && closing != theMainWindow)
                dismissedId = closing->windowId;
            else
                closeRequested = true;
        } else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
            if (AppWindow* window = findWindow(event.window.windowID)) {
                resizeSurface(window, event.window.data1, event.window.data2);
                if (window->root)
                    window->root->resize(window->renderer, window->width, window->height);
            }
        } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
            activeWindowId = event.window.windowID;
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
        activeWindowId = event.button.windowID;
        ownWindowId = event.button.windowID;
        break;
    case SDL_MOUSEBUTTONUP:
        ownWindowId = event.button.windowID;
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        ownWindowId = event.key.windowID;
        break;
    case SDL_TEXTEDITING:
        ownWindowId = event.edit.windowID;
        break;
    case SDL_TEXTINPUT:
        ownWindowId = event.text.windowID;
        break;
    case SDL_MOUSEMOTION:
        ownWindowId = event.motion.windowID;
        break;
    case SDL_MOUSEWHEEL:
        ownWindowId = event.wheel.windowID;
        break;
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
    case SDL_DROPBEGIN:
    case SDL_DROPCOMPLETE:
        ownWindowId = event.drop.windowID;
        break;
    default:
        break;
    }
    if (activeWindowId == 0)
        if (SDL_Window* focusWindow = SDL_GetKeyboardFocus())
            activeWindowId = SDL_GetWindowID(focusWindow);

    const Uint32 targetId = ownWindowId ? ownWindowId : activeWindowId;
    const bool consumed = fullscreenFilter(event);
    AppWindow* target = findWindow(targetId);
    if (target && !consumed) {
        GuiEvent guiEvent;
        guiEvent.windowId = ownWindowId;
        guiEvent.sdlEvent = &event;
        handleEvent(target, guiEvent);
    }
    // SDL hands the dropped path over to whoever receives the event: that is us.
    if (event.type == SDL_DROPFILE || event.type == SDL_DROPTEXT) {
        SDL_free(event.drop.file);
        event.drop.file = nullptr;
    }
    // A quit request (Ctrl+C, session end) must end the loop even when a window
    // took the event, or the program could only be closed through its window.
    if (event.type == SDL_QUIT)
        closeRequested = true;
    if (dismissedId)
        dismissWindow(dismissedId);
    destroyAllPendingCloses();
}

void GuiEngine::destroyAllPendingCloses()
{
    std::vector<Uint32> closing;
    closing.swap(pendingCloses);
    for (Uint32 id : closing)
        destroyWindow(id);
}

// [SECTION] Deferred texture release

void GuiEngine::releaseTexture(SDL_Renderer* renderer, SDL_Texture* texture)
{
    if (!renderer || !texture)
        return;
    ReleaseSlots& slots = releaseTable[renderer];
    slots.lists[size_t(slots.current)].push_back(texture);
}

void GuiEngine::advanceTextureRelease(SDL_Renderer* renderer)
{
    auto it = releaseTable.find(renderer);
    if (it == releaseTable.end())
        return;
    ReleaseSlots& slots = it->second;
    slots.current = (slots.current + 1) % 3;
    auto& list = slots.lists[size_t(slots.current)];
    for (SDL_Texture* t : list)
        SDL_DestroyTexture(t);
    list.clear();
}

size_t GuiEngine::pendingTextureCount(SDL_Renderer* renderer)
{
    auto it = releaseTable.find(renderer);
    if (it == releaseTable.end())
        return 0;
    size_t count = 0;
    for (const auto& list : it->second.lists)
        count += list.size();
    return count;
}

void GuiEngine::releaseAllTextures()
{
    for (auto& [renderer, slots] : releaseTable)
        for (auto& list : slots.lists)
            for (SDL_Texture* t : list)
                SDL_DestroyTexture(t);
    releaseTable.clear();
}
