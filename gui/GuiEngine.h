#pragma once
// The toolkit engine: SDL and font start-up, the platform windows, the main
// loop with its frame clock, and the deferred release of textures.
//
// A few things are process-wide by design (there is one loop per process):
// the main window, the list of windows in registration order, the two redraw
// flags, the fonts (GuiText.h) and the texture release table. All of them are
// touched only by the thread that runs the loop.

#include "gui/AppWindow.h"
#include "gui/GuiEvent.h"
#include "gui/GuiObject.h"

#include <SDL.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

class GuiWindow;
class IEditable;

class GuiEngine {
public:
    // Thrown when the engine cannot start at all. A standard exception, so the
    // application reports it like any other start-up failure instead of aborting.
    struct Error : std::runtime_error {
        explicit Error(int code_, const std::string& what) : std::runtime_error(what), code(code_) {}
        int code = 0;
    };

    GuiEngine();
    GuiEngine(const GuiEngine&) = delete;
    GuiEngine& operator=(const GuiEngine&) = delete;
    virtual ~GuiEngine();

    virtual void render(AppWindow* window) = 0;
    virtual void handleEvent(AppWindow* window, GuiEvent& event) = 0;
    virtual void run();

    // The loop in three steps, so tests can drive it frame by frame. A pass
    // either renders one frame or, when nothing asks for one, sleeps until
    // input arrives, a timer falls due or idleWaitLimitMs has passed.
    void beginRun();
    void runFrame();
    void endRun();

    // When the loop has to wake up without input, in ms from now (NoWakeUp: never).
    struct WakeUp {
        Uint32 frameMs = NoWakeUp;    // a frame: a redraw request, a widget's or the application's timer
        Uint32 releaseMs = NoWakeUp;  // deferred textures to let go, which needs no frame
    };
    // The one place that collects every timer: the redraw request, each
    // window's widgets and the application (msUntilAppWakeUp).
    WakeUp nextWakeUp(Uint32 now);
    // The application's own reasons for a frame (content of its panels, say).
    virtual Uint32 msUntilAppWakeUp(Uint32 now);

    // Must be called before construction for the font to come from memory.
    static void setEmbeddedFont(const unsigned char* data, int size);

    AppWindow* createWindow(GuiEngine* owner, const std::string& title, int x, int y, int w, int h,
                            Uint32 flags, Uint32 colour);
    // Modal dialogs (defined in GuiDialog.cpp). createDialogWindow centres the
    // window on the main window, gives it a GuiDialog root and makes it modal
    // for the main window; beginModal then makes the dialog the modal root.
    AppWindow* createDialogWindow(GuiEngine* owner, const std::string& title, int x, int y, int w, int h,
                                  Uint32 flags, Uint32 colour);
    void setModalForMain(AppWindow* window);
    // createWindow with the kind of root widget left to the caller, so an
    // application can run its own dialog classes (a file dialog, say).
    using RootFactory = std::function<GuiWindow*(AppWindow* window, int w, int h, Uint32 colour)>;
    AppWindow* createWindowWithRoot(GuiEngine* owner, const std::string& title, int x, int y, int w, int h,
                                    Uint32 flags, Uint32 colour, const RootFactory& makeRoot);
    void beginModal(GuiWindow* dialog);
    // What the close button of a window other than the main one does: a
    // running dialog is cancelled (its result still goes out), then the window closes.
    void dismissWindow(Uint32 windowId);
    void closeWindow(Uint32 windowId);
    bool destroyWindow(Uint32 windowId);
    AppWindow* findWindow(Uint32 windowId);
    void centreOnMainWindow(int& x, int& y, int w, int h);
    // The fullscreen key's action; an application that keeps its own window
    // state (a "restore" button, say) overrides it to stay in step.
    virtual void toggleFullscreen();
    void resizeSurface(AppWindow* window, int w, int h);

    static void requestRedraw();
    // Destroys the texture three frames from now, when no frame can use it.
    static void releaseTexture(SDL_Renderer* renderer, SDL_Texture* texture);
    // Advances a renderer's release slots; called once per frame per window.
    static void advanceTextureRelease(SDL_Renderer* renderer);
    // Textures of a renderer still waiting for release (for tests and diagnostics).
    static size_t pendingTextureCount(SDL_Renderer* renderer);
    // Called with every renderer about to be destroyed, so caches keyed by it can let go.
    static void addRendererCleanup(void (*cleanup)(SDL_Renderer*));

    static AppWindow* getMainWindow();
    static void setMainWindow(AppWindow* window);
    static const std::vector<AppWindow*>& windowList();
    static bool redrawRequested();
    static bool redrawThisFrame();

    bool closeRequested = false;
    bool quit = false;
    bool appFlag = false;  // the application's window-focus flag; carets blink only while set
    Uint32 activeWindowId = 0;
    IEditable* savedEditable = nullptr;
    std::unordered_map<Uint32, AppWindow*> windows;
    std::vector<Uint32> pendingCloses;
    GuiWindow* modalRoot = nullptr;
    IEditable* focusedEditable = nullptr;
    int framesPerSecond = 60;
    SDL_Keycode fullscreenKey = SDLK_F11;
    // Longest sleep of an idle pass, so the loop still looks at its flags now and then.
    Uint32 idleWaitLimitMs = 1000;
    // Render every pass as a plain 60 Hz loop does: the reference the idle loop is measured against.
    bool renderEveryFrame = false;

private:
    bool pollOneEvent(SDL_Event& event);
    bool waitForEvent(SDL_Event& event, Uint32 timeoutMs);
    void advanceAllTextureReleases();
    void processEvent(SDL_Event& event);
    bool fullscreenFilter(const SDL_Event& event);
    void destroyAllPendingCloses();
    void releaseAllTextures();

    Uint32 frameDelay = 16;
    Uint32 lastReleaseAdvance = 0;
};
