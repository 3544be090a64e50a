#include "gui/GuiCairoPanel.h"

#include "gui/GuiEngine.h"

#include <cstdlib>

GuiCairoPanel::GuiCairoPanel(GuiObject* parent_, int id_, int x_, int y_, int w_, int h_, Uint32 colour_,
                             SDL_Renderer* renderer)
    : GuiObject(parent_, id_, x_, y_, w_, h_, colour_)
{
    createBuffers(renderer);
}

GuiCairoPanel::~GuiCairoPanel()
{
    destroyBuffers();
}

void GuiCairoPanel::createBuffers(SDL_Renderer* renderer)
{
    // cairo's ARGB32 and SDL's ARGB8888 are the same 32-bit word, so the
    // buffer goes to the texture unchanged, never converted pixel by pixel.
    stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, w);
    if (w > 0 && h > 0 && stride > 0)
        pixels = static_cast<unsigned char*>(malloc(size_t(stride) * size_t(h)));
    if (pixels)
        surface = cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, w, h, stride);
    else
        surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 0, 0);  // a valid, empty surface
    cairo = cairo_create(surface);
    if (renderer && w > 0 && h > 0) {
        texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, w, h);
        if (texture)
            SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
        else
            SDL_Log("SDL_CreateTexture: %s", SDL_GetError());
    }
}

void GuiCairoPanel::destroyBuffers()
{
    if (texture)
        SDL_DestroyTexture(texture);
    texture = nullptr;
    if (cairo)
        cairo_destroy(cairo);
    cairo = nullptr;
    if (surface)
        cairo_surface_destroy(surface);
    surface = nullptr;
    free(pixels);
    pixels = nullptr;
}

void GuiCairoPanel::resize(SDL_Renderer* renderer, int newW, int newH)
{
    GuiObject::resize(renderer, newW, newH);
    destroyBuffers();
    createBuffers(renderer);
    changed = true;
    markDirty();
}

bool GuiCairoPanel::isCacheable() { return false; }

const char* GuiCairoPanel::className() { return "GuiCairoPanel"; }

void GuiCairoPanel::handleEvent(GuiEvent&) {}

void GuiCairoPanel::markChanged()
{
    changed = true;
    GuiEngine::requestRedraw();
}

void GuiCairoPanel::setMaxFps(int fps)
{
    uploadInterval = fps > 0 ? 1000 / fps : 0;
}

bool GuiCairoPanel::readyForFrame()
{
    return readyForFrame(SDL_GetTicks());
}

bool GuiCairoPanel::readyForFrame(Uint32 now) const
{
    return uploadInterval == 0 || now - lastUpload >= Uint32(uploadInterval);
}

Uint32 GuiCairoPanel::msUntilReady(Uint32 now) const
{
    return uploadInterval > 0 ? msUntil(lastUpload + Uint32(uploadInterval), now) : 0;
}

Uint32 GuiCairoPanel::msUntilWakeUp(Uint32 now)
{
    return changed && texture && pixels ? msUntilReady(now) : NoWakeUp;
}

void GuiCairoPanel::draw(SDL_Renderer* renderer)
{
    drawAt(renderer, SDL_GetTicks());
}

void GuiCairoPanel::drawAt(SDL_Renderer* renderer, Uint32 now)
{
    if (!renderer || !texture)
        return;
    const bool due = uploadInterval <= 0 || now - lastUpload >= Uint32(uploadInterval);
    if (due && (changed || !uploadOnlyWhenChanged) && pixels) {
        cairo_surface_flush(surface);
        SDL_UpdateTexture(texture, nullptr, pixels, stride);
        changed = false;
        lastUpload = now;
        ++uploads;
    }
    SDL_Rect where = rect();
    SDL_RenderCopy(renderer, texture, nullptr, &where);
}
