#include "gui/GuiImagePanel.h"

#include "gui/GuiWindow.h"

#include <SDL_image.h>

#include <algorithm>

GuiImagePanel::GuiImagePanel(GuiObject* parent_, int id_, int x_, int y_, int w_, int h_, Uint32 colour_)
    : GuiObject(parent_, id_, x_, y_, w_, h_, colour_ & 0x00FFFFFFu)
{
}

GuiImagePanel::~GuiImagePanel()
{
    clearImage();
}

bool GuiImagePanel::isCacheable() { return false; }

const char* GuiImagePanel::className() { return "GuiImagePanel"; }

void GuiImagePanel::handleEvent(GuiEvent& event)
{
    if (event.kind != GuiEvent::SdlInput || !event.sdlEvent || event.sdlEvent->type != SDL_MOUSEBUTTONDOWN)
        return;
    if (window)
        window->postNotification(GuiNotify::ImageClicked, Uint32(id), 0, this);
}

bool GuiImagePanel::loadImage(SDL_Renderer* renderer, const std::string& path)
{
    clearImage();
    if (!renderer)
        return false;
    SDL_Surface* surface = IMG_Load(path.c_str());
    if (!surface)
        return false;
    image = SDL_CreateTextureFromSurface(renderer, surface);
    const int sw = surface->w, sh = surface->h;
    SDL_FreeSurface(surface);
    if (!image)
        return false;
    SDL_SetTextureBlendMode(image, SDL_BLENDMODE_BLEND);
    SDL_SetTextureScaleMode(image, SDL_ScaleModeLinear);
    imageWidth = sw;
    imageHeight = sh;
    imagePath = path;
    markDirty();
    return true;
}

void GuiImagePanel::clearImage()
{
    if (image)
        SDL_DestroyTexture(image);
    image = nullptr;
    imageWidth = imageHeight = 0;
    imagePath.clear();
    markDirty();
}

SDL_Rect GuiImagePanel::imageRect() const
{
    if (imageWidth <= 0 || imageHeight <= 0 || w <= 0 || h <= 0)
        return SDL_Rect{x, y, 0, 0};
    const double s = std::min(double(h) / imageHeight, double(w) / imageWidth);
    const int dw = std::max(1, int(imageWidth * s));
    const int dh = std::max(1, int(imageHeight * s));
    return SDL_Rect{x + (w - dw) / 2, y + (h - dh) / 2, dw, dh};
}

void GuiImagePanel::draw(SDL_Renderer* renderer)
{
    if (!renderer)
        return;
    if (colour.a != 0)
        GuiObject::draw(renderer);
    if (!image)
        return;
    const SDL_Rect where = imageRect();
    SDL_RenderCopy(renderer, image, nullptr, &where);
}
