#include "app/PathlarkEngine.h"

#include "app/CommandLine.h"
#include "app/Startup.h"
#include "app/Translate.h"
#include "gui/GuiWindow.h"

#include <stdexcept>

namespace pathlark {

namespace {
constexpr const char* WindowTitle = "Pathlark 0.0.0";
constexpr Uint32 RootColour = 0xFFC8C8C8;
} // namespace

PathlarkEngine::PathlarkEngine() = default;

PathlarkEngine::~PathlarkEngine()
{
    for (cairo_surface_t** surface : {&flagStartSurface, &flagFinishSurface, &flagMarkASurface, &flagMarkBSurface}) {
        if (*surface)
            cairo_surface_destroy(*surface);
        *surface = nullptr;
    }
}

void PathlarkEngine::createMainWindow(const CommandLine& commandLine)
{
    const Uint32 flags = commandLine.fullscreen
                             ? SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE
                             : SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE;
    mainWindow = createWindow(this, WindowTitle, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, commandLine.width,
                              commandLine.height, flags, RootColour);
    if (!mainWindow)
        throw std::runtime_error(tr("Could not create main window"));
    GuiEngine::setMainWindow(mainWindow);
    fullscreen = commandLine.fullscreen;
    appFlag = true;
}

void PathlarkEngine::loadFirstData(const CommandLine& commandLine)
{
    if (commandLine.positional.empty()) {
        if (std::optional<std::filesystem::path> candidate = findDefaultMap()) {
            std::u8string utf8 = candidate->u8string();
            loadOsmMap(std::string(utf8.begin(), utf8.end()));
        }
    }
}

void PathlarkEngine::setStatus(const std::string& text)
{
    statusText = text;
}

void PathlarkEngine::render(AppWindow* window)
{
    if (!window || !window->root || !window->renderer)
        return;
    window->root->tick(SDL_GetTicks());
    window->root->draw(window->renderer);
    SDL_RenderPresent(window->renderer);
}

void PathlarkEngine::handleEvent(AppWindow* window, GuiEvent& event)
{
    if (!window || !window->root)
        return;
    if (event.kind == GuiEvent::SdlInput && event.sdlEvent) {
        const SDL_Event& sdl = *event.sdlEvent;
        if (sdl.type == SDL_WINDOWEVENT) {
            if (sdl.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                appFlag = true;
            else if (sdl.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
                appFlag = false;
        }
        window->root->handleEvent(event);
    }
}

} // namespace pathlark
