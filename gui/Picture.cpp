#include "gui/Picture.h"

#include <algorithm>

SDL_Texture* pictureTexture(SDL_Renderer* renderer, SDL_Surface* surface, int& width, int& height)
{
    if (!surface)
        return nullptr;
    SDL_Texture* texture = renderer ? SDL_CreateTextureFromSurface(renderer, surface) : nullptr;
    const int sw = surface->w, sh = surface->h;
    SDL_FreeSurface(surface);
    if (!texture)
        return nullptr;
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    // Pictures are usually shown a little smaller than drawn; nearest-neighbour
    // scaling (the window's default) would drop whole rows of them.
    SDL_SetTextureScaleMode(texture, SDL_ScaleModeLinear);
    width = sw;
    height = sh;
    return texture;
}

SDL_Rect fitPicture(int width, int height, const SDL_Rect& box)
{
    if (width <= 0 || height <= 0 || box.w <= 0 || box.h <= 0)
        return SDL_Rect{box.x, box.y, 0, 0};
    const double s = std::min(double(box.h) / height, double(box.w) / width);
    const int dw = std::max(1, int(width * s));
    const int dh = std::max(1, int(height * s));
    return SDL_Rect{box.x + (box.w - dw) / 2, box.y + (box.h - dh) / 2, dw, dh};
}
