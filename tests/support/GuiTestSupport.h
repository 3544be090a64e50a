#pragma once
// In-process GUI testing: a real engine on SDL's dummy video driver with one
// software-rendered window, events built by hand and sent through the window's
// root, and every notification the widgets post recorded for inspection.

#include "gui/GuiEngine.h"
#include "gui/GuiText.h"
#include "gui/GuiWindow.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace guitest {

// The interface font's bytes, read once from the source tree.
inline void useEmbeddedFont()
{
    static std::ifstream in(std::string(PATHLARK_SOURCE_DIR) + "/data/fonts/Vera.ttf", std::ios::binary);
    static const std::vector<unsigned char> bytes(std::istreambuf_iterator<char>(in), {});
    GuiEngine::setEmbeddedFont(bytes.data(), int(bytes.size()));
}

class TestEngine : public GuiEngine {
public:
    void render(AppWindow* window) override
    {
        ++renders;
        if (window->root && window->renderer) {
            window->root->tick(SDL_GetTicks());
            window->root->draw(window->renderer);
            SDL_RenderPresent(window->renderer);
        }
    }
    void handleEvent(AppWindow* window, GuiEvent& event) override
    {
        if (event.kind == GuiEvent::Notification)
            return notifications.push_back(event);
        if (event.sdlEvent)
            sdlEventTypes.push_back(event.sdlEvent->type);
        if (window->root)
            window->root->handleEvent(event);
    }
    std::vector<GuiEvent> notifications;
    std::vector<Uint32> sdlEventTypes;
    int renders = 0;
};

// One engine and one window per test; the font comes from memory.
struct GuiFixtureState {
    GuiFixtureState(int w = 400, int h = 300)
        : engine((useEmbeddedFont(), new TestEngine())),
          window(engine->createWindow(engine, "test", 0, 0, w, h, SDL_WINDOW_HIDDEN, 0xFFC8C8C8)),
          root(window->root), renderer(window->renderer)
    {
        GuiEngine::setMainWindow(window);
    }
    ~GuiFixtureState() { delete engine; GuiEngine::setEmbeddedFont(nullptr, 0); }
    TestEngine* engine;
    AppWindow* window;
    GuiWindow* root;
    SDL_Renderer* renderer;
};

// Sends an SDL event to the window's root the way the engine does.
inline void send(GuiWindow* root, SDL_Event event)
{
    GuiEvent guiEvent;
    guiEvent.sdlEvent = &event;
    root->handleEvent(guiEvent);
}

inline SDL_Event mouseButton(Uint32 type, int x, int y, Uint8 button = SDL_BUTTON_LEFT, Uint8 clicks = 1,
                             Uint32 timestamp = 0)
{
    return SDL_Event{.button = {type, timestamp, 0, 0, button, Uint8(type == SDL_MOUSEBUTTONDOWN), clicks, 0, x, y}};
}

inline void press(GuiWindow* root, int x, int y, Uint8 button = SDL_BUTTON_LEFT, Uint8 clicks = 1)
{
    send(root, mouseButton(SDL_MOUSEBUTTONDOWN, x, y, button, clicks));
}

inline void release(GuiWindow* root, int x, int y, Uint8 button = SDL_BUTTON_LEFT)
{
    send(root, mouseButton(SDL_MOUSEBUTTONUP, x, y, button));
}

inline void click(GuiWindow* root, int x, int y, Uint8 clicks = 1, Uint32 timestamp = 0)
{
    send(root, mouseButton(SDL_MOUSEBUTTONDOWN, x, y, SDL_BUTTON_LEFT, clicks, timestamp));
    send(root, mouseButton(SDL_MOUSEBUTTONUP, x, y, SDL_BUTTON_LEFT, 1, timestamp));
}

inline void motion(GuiWindow* root, int x, int y, Uint32 buttons = 0)
{
    send(root, SDL_Event{.motion = {SDL_MOUSEMOTION, 0, 0, 0, buttons, x, y, 0, 0}});
}

inline void wheel(GuiWindow* root, int x, int y, int dy, int dx = 0, Uint32 direction = SDL_MOUSEWHEEL_NORMAL)
{
    send(root, SDL_Event{.wheel = {SDL_MOUSEWHEEL, 0, 0, 0, dx, dy, direction, 0.0f, 0.0f, x, y}});
}

inline void key(GuiWindow* root, SDL_Keycode sym, Uint16 mod = KMOD_NONE, Uint32 type = SDL_KEYDOWN)
{
    const SDL_Keysym keysym{SDL_GetScancodeFromKey(sym), sym, mod, 0};
    send(root, SDL_Event{.key = {type, 0, 0, Uint8(type == SDL_KEYDOWN), 0, 0, 0, keysym}});
}

inline void textInput(GuiWindow* root, const char* text)
{
    SDL_Event e{.text = {SDL_TEXTINPUT, 0, 0, {}}};
    SDL_strlcpy(e.text.text, text, sizeof(e.text.text));
    send(root, e);
}

// Reads one pixel of the current render target (software renderer) as RGBA.
inline SDL_Color readPixel(SDL_Renderer* renderer, int x, int y)
{
    SDL_Rect r{x, y, 1, 1};
    SDL_Color pixel{};
    SDL_RenderReadPixels(renderer, &r, SDL_PIXELFORMAT_RGBA32, &pixel, 4);
    return pixel;
}

inline std::array<int, 3> rgb(SDL_Renderer* renderer, int x, int y)
{
    const SDL_Color c = readPixel(renderer, x, y);
    return {c.r, c.g, c.b};
}

// Writes a solid w x h picture of one colour into the test's temporary folder and returns its path.
inline std::string solidPicture(const char* name, int w, int h, SDL_Color colour)
{
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_FillRect(s, nullptr, SDL_MapRGBA(s->format, colour.r, colour.g, colour.b, colour.a));
    const std::string path = ::testing::TempDir() + name;
    SDL_SaveBMP(s, path.c_str());
    SDL_FreeSurface(s);
    return path;
}

// Colours equal but for scaling and blending noise.
inline bool near(SDL_Color a, SDL_Color b)
{
    return std::abs(a.r - b.r) <= 2 && std::abs(a.g - b.g) <= 2 && std::abs(a.b - b.b) <= 2;
}

} // namespace guitest
