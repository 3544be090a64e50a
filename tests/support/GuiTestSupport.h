#pragma once
// In-process GUI testing: a real engine on SDL's dummy video driver with one
// software-rendered window, events built by hand and sent through the window's
// root, and every notification the widgets post recorded for inspection.

#include "gui/GuiEngine.h"
#include "gui/GuiWindow.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace guitest {

// The interface font's bytes, read once from the source tree.
inline const std::vector<unsigned char>& fontBytes()
{
    static const std::vector<unsigned char> bytes = [] {
        std::ifstream in(std::string(PATHLARK_SOURCE_DIR) + "/data/fonts/Vera.ttf", std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
    }();
    return bytes;
}

inline void useEmbeddedFont()
{
    GuiEngine::setEmbeddedFont(fontBytes().data(), int(fontBytes().size()));
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
        if (event.kind == GuiEvent::Notification) {
            notifications.push_back(event);
            return;
        }
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
    {
        useEmbeddedFont();
        engine = new TestEngine();
        window = engine->createWindow(engine, "test", 0, 0, w, h, SDL_WINDOW_HIDDEN, 0xFFC8C8C8);
        GuiEngine::setMainWindow(window);
        root = window->root;
        renderer = window->renderer;
    }
    ~GuiFixtureState()
    {
        delete engine;
        GuiEngine::setEmbeddedFont(nullptr, 0);
    }

    TestEngine* engine = nullptr;
    AppWindow* window = nullptr;
    GuiWindow* root = nullptr;
    SDL_Renderer* renderer = nullptr;
};

// Sends an SDL event to the window's root the way the engine does.
inline void send(GuiWindow* root, SDL_Event event)
{
    GuiEvent guiEvent;
    guiEvent.sdlEvent = &event;
    root->handleEvent(guiEvent);
}

inline SDL_Event mouseButton(Uint32 type, int x, int y, Uint8 button = SDL_BUTTON_LEFT, Uint8 clicks = 1)
{
    SDL_Event e{};
    e.type = type;
    e.button.button = button;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = clicks;
    e.button.x = x;
    e.button.y = y;
    return e;
}

inline void press(GuiWindow* root, int x, int y, Uint8 button = SDL_BUTTON_LEFT, Uint8 clicks = 1)
{
    send(root, mouseButton(SDL_MOUSEBUTTONDOWN, x, y, button, clicks));
}

inline void release(GuiWindow* root, int x, int y, Uint8 button = SDL_BUTTON_LEFT)
{
    send(root, mouseButton(SDL_MOUSEBUTTONUP, x, y, button));
}

inline void click(GuiWindow* root, int x, int y, Uint8 clicks = 1)
{
    press(root, x, y, SDL_BUTTON_LEFT, clicks);
    release(root, x, y);
}

inline void motion(GuiWindow* root, int x, int y, Uint32 buttons = 0)
{
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    e.motion.state = buttons;
    send(root, e);
}

inline void wheel(GuiWindow* root, int x, int y, int dy, int dx = 0, Uint32 direction = SDL_MOUSEWHEEL_NORMAL)
{
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.x = dx;
    e.wheel.y = dy;
    e.wheel.direction = direction;
    e.wheel.mouseX = x;
    e.wheel.mouseY = y;
    send(root, e);
}

inline void key(GuiWindow* root, SDL_Keycode sym, Uint16 mod = KMOD_NONE, Uint32 type = SDL_KEYDOWN)
{
    SDL_Event e{};
    e.type = type;
    e.key.keysym.sym = sym;
    e.key.keysym.scancode = SDL_GetScancodeFromKey(sym);
    e.key.keysym.mod = mod;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    send(root, e);
}

inline void textInput(GuiWindow* root, const char* text)
{
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    SDL_strlcpy(e.text.text, text, sizeof(e.text.text));
    send(root, e);
}

// Reads one pixel of the current render target (software renderer) as RGBA.
inline SDL_Color readPixel(SDL_Renderer* renderer, int x, int y)
{
    SDL_Rect r{x, y, 1, 1};
    Uint32 pixel = 0;
    SDL_RenderReadPixels(renderer, &r, SDL_PIXELFORMAT_ABGR8888, &pixel, 4);
    return SDL_Color{Uint8(pixel & 0xFF), Uint8((pixel >> 8) & 0xFF), Uint8((pixel >> 16) & 0xFF),
                     Uint8((pixel >> 24) & 0xFF)};
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
