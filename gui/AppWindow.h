#pragma once
// One platform window: the SDL window, its renderer, the root widget and a
// cairo surface of the window's size. Stored as SDL window data "AppWindow".

#include <SDL.h>
#include <cairo.h>

#include <string>

class GuiWindow;
class GuiEngine;

struct AppWindow {
    Uint32 windowId = 0;
    SDL_Window* sdlWindow = nullptr;     // owned
    SDL_Renderer* renderer = nullptr;    // owned
    GuiWindow* root = nullptr;           // owned
    GuiEngine* engine = nullptr;
    int width = 0;                       // logical size; the renderer's logical size follows it
    int height = 0;
    std::string title;
    SDL_Color background{20, 20, 20, 255};
    unsigned char* pixels = nullptr;     // width * height * 4, calloc'ed, owned
    cairo_surface_t* surface = nullptr;  // ARGB32 over pixels
    cairo_t* cairo = nullptr;
    SDL_Texture* texture = nullptr;      // optional, destroyed with the record
};
