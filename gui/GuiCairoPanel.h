#pragma once
// A panel the application paints freely with cairo. It owns a cairo image
// surface over its own pixel buffer and a streaming texture of the same size;
// draw uploads the pixels (no more often than setMaxFps allows) and copies
// the texture to the window.

#include "gui/GuiObject.h"

#include <cairo.h>

class GuiCairoPanel : public GuiObject {
public:
    GuiCairoPanel(GuiObject* parent, int id, int x, int y, int w, int h, Uint32 colour, SDL_Renderer* renderer);
    ~GuiCairoPanel() override;

    bool isCacheable() override;
    const char* className() override;
    void draw(SDL_Renderer* renderer) override;
    // Re-creates buffer, surface, context and texture; a context taken before is invalid after.
    void resize(SDL_Renderer* renderer, int newW, int newH) override;
    // Input for the panel is read by the application's own event handler.
    void handleEvent(GuiEvent& event) override;

    // draw with an explicit clock, so the upload throttle can be tested without waiting.
    void drawAt(SDL_Renderer* renderer, Uint32 now);

    cairo_t* getCairo() const { return cairo; }
    cairo_surface_t* getSurface() const { return surface; }
    SDL_Texture* getTexture() const { return texture; }
    // The pixels were painted anew: upload them at the next allowed draw.
    void markChanged();
    void setMaxFps(int fps);  // fps <= 0 removes the limit
    // True when an upload would happen now, so the application paints no faster than it is shown.
    bool readyForFrame();
    bool readyForFrame(Uint32 now) const;
    Uint32 msUntilReady(Uint32 now) const;
    // Painted pixels held back by the upload limit want a frame once it allows one.
    Uint32 msUntilWakeUp(Uint32 now) override;

    bool getUploadOnlyWhenChanged() const { return uploadOnlyWhenChanged; }
    void setUploadOnlyWhenChanged(bool on) { uploadOnlyWhenChanged = on; }
    bool getStretchX() const { return stretchX; }
    bool getStretchY() const { return stretchY; }
    void setStretch(bool x_, bool y_)
    {
        stretchX = x_;
        stretchY = y_;
    }

    unsigned char* pixels = nullptr;    // stride * h bytes, malloc'ed, owned; not cleared
    cairo_surface_t* surface = nullptr;  // ARGB32 over pixels
    cairo_t* cairo = nullptr;
    SDL_Texture* texture = nullptr;      // ARGB8888, streaming, blend mode none
    int stride = 0;
    int uploadInterval = 0;              // ms between uploads; 0 = no limit
    Uint32 lastUpload = 0;
    bool uploadOnlyWhenChanged = false;
    bool changed = true;
    bool stretchX = true;                // follow the window's width changes
    bool stretchY = true;                // follow the window's height changes
    int uploads = 0;                     // how many times the pixels went to the texture

private:
    void createBuffers(SDL_Renderer* renderer);
    void destroyBuffers();
};
