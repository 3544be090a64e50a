#include "gui/GuiText.h"

#include "gui/GuiDataFiles.h"
#include "gui/GuiEngine.h"

#include <cstdio>

TTF_Font* uiFont = nullptr;
FT_Library ftLibrary = nullptr;
FT_Face ftFace = nullptr;

namespace fontdata {
constexpr const char* FontFile = "data/fonts/Vera.ttf";
// Set by GuiEngine::setEmbeddedFont; the bytes belong to the application.
const unsigned char* embeddedFontData = nullptr;
int embeddedFontSize = 0;
} // namespace fontdata

void GuiEngine::setEmbeddedFont(const unsigned char* data, int size)
{
    fontdata::embeddedFontData = data;
    fontdata::embeddedFontSize = data ? size : 0;
}

TTF_Font* openFont(int pointSize)
{
    if (fontdata::embeddedFontData) {
        SDL_RWops* stream = SDL_RWFromConstMem(fontdata::embeddedFontData, fontdata::embeddedFontSize);
        if (!stream)
            return nullptr;
        return TTF_OpenFontRW(stream, 1, pointSize);
    }
    return TTF_OpenFont(dataFilePath(fontdata::FontFile).c_str(), pointSize);
}

bool measureText(TTF_Font* font, const std::string& text, int& w, int& h)
{
    w = h = 0;
    return font && TTF_SizeUTF8(font, text.c_str(), &w, &h) == 0;
}

SDL_Rect drawText(SDL_Renderer* renderer, TTF_Font* font, const std::string& text, SDL_Color colour, int x,
                  int y, TextRelease release)
{
    SDL_Rect where{x, y, 0, 0};
    if (!font || text.empty())
        return where;
    SDL_Surface* surface = TTF_RenderUTF8_Blended(font, text.c_str(), colour);
    if (!surface)
        return where;
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    where.w = surface->w;
    where.h = surface->h;
    SDL_FreeSurface(surface);
    if (!texture)
        return SDL_Rect{x, y, 0, 0};
    SDL_RenderCopy(renderer, texture, nullptr, &where);
    if (release == TextRelease::Deferred)
        GuiEngine::releaseTexture(renderer, texture);
    else
        SDL_DestroyTexture(texture);
    return where;
}

bool openFonts()
{
    FT_Init_FreeType(&ftLibrary);
    uiFont = openFont(14);
    if (!uiFont) {
        fprintf(stderr, "%s%s\n", guiText("Schriftart konnte nicht geladen werden: "), SDL_GetError());
        return false;
    }
    FT_Error error = 1;
    if (ftLibrary) {
        error = fontdata::embeddedFontData
                    ? FT_New_Memory_Face(ftLibrary, fontdata::embeddedFontData, fontdata::embeddedFontSize, 0, &ftFace)
                    : FT_New_Face(ftLibrary, dataFilePath(fontdata::FontFile).c_str(), 0, &ftFace);
    }
    if (error) {
        ftFace = nullptr;
        return true;
    }
    if (FT_Error charmapError = FT_Select_Charmap(ftFace, FT_ENCODING_UNICODE))
        fprintf(stderr, guiText("Fehler beim Setzen der Unicode-Charmap: %d\n"), charmapError);
    FT_Set_Pixel_Sizes(ftFace, 0, 14);
    return true;
}

void closeFonts()
{
    // Closed here rather than left to process exit, so engines can come and go (tests do).
    if (uiFont)
        TTF_CloseFont(uiFont);
    uiFont = nullptr;
    if (ftFace)
        FT_Done_Face(ftFace);
    ftFace = nullptr;
    if (ftLibrary)
        FT_Done_FreeType(ftLibrary);
    ftLibrary = nullptr;
}
