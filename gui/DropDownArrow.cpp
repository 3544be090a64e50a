#include "gui/DropDownArrow.h"

#include "gui/GuiEngine.h"

#include <SDL_image.h>

#include <unordered_map>

namespace {

// A downward black triangle, five rows high, on a transparent 9 x 9 field.
const char* const arrowXpm[] = {
    "9 9 2 1",
    ". c None",
    "# c #000000",
    ".........",
    "#########",
    ".#######.",
    "..#####..",
    "...###...",
    "....#....",
    ".........",
    ".........",
    ".........",
};

std::unordered_map<SDL_Renderer*, DropArrow> dropArrowCache;

DropArrow decodeArrow(SDL_Renderer* renderer)
{
    DropArrow arrow;
    // SDL_image only reads the lines; the cast is for its C signature.
    SDL_Surface* surface = IMG_ReadXPMFromArray(const_cast<char**>(arrowXpm));
    if (!surface) {
        SDL_Log("IMG_ReadXPMFromArray failed: %s", SDL_GetError());
        return arrow;
    }
    arrow.texture = SDL_CreateTextureFromSurface(renderer, surface);
    if (arrow.texture) {
        arrow.width = surface->w;
        arrow.height = surface->h;
    } else {
        SDL_Log("SDL_CreateTextureFromSurface failed: %s", SDL_GetError());
    }
    SDL_FreeSurface(surface);
    return arrow;
}

} // namespace

const DropArrow& dropArrowFor(SDL_Renderer* renderer)
{
    auto it = dropArrowCache.find(renderer);
    if (it != dropArrowCache.end())
        return it->second;
    GuiEngine::addRendererCleanup(releaseDropArrow);
    // A failure is stored too, so a broken image is reported once, not every frame.
    return dropArrowCache.emplace(renderer, decodeArrow(renderer)).first->second;
}

void releaseDropArrow(SDL_Renderer* renderer)
{
    auto it = dropArrowCache.find(renderer);
    if (it == dropArrowCache.end())
        return;
    if (it->second.texture)
        SDL_DestroyTexture(it->second.texture);
    dropArrowCache.erase(it);
}

size_t dropArrowCacheSize()
{
    return dropArrowCache.size();
}
