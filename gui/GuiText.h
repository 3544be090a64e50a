#pragma once
// The toolkit's one typeface, shared by every widget, and the single way text
// is put on screen.
//
// Process-wide state: opened by the GuiEngine constructor, released by its
// destructor, used only on the thread that runs the engine's loop.

#include <SDL.h>
#include <SDL_ttf.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <libintl.h>

#include <string>

extern TTF_Font* uiFont;       // 14-point interface font; null when it could not be opened
extern FT_Library ftLibrary;
extern FT_Face ftFace;         // same typeface, Unicode charmap, 14 px; null without a font

// Opens the typeface at the given size: from the embedded data when the
// application gave some, else from the data file "data/fonts/Vera.ttf". Null on failure.
TTF_Font* openFont(int pointSize);

enum class TextRelease { Deferred, Immediate };

// Renders UTF-8 text blended at (x, y) with its natural size and returns the
// rectangle it covered (w = h = 0 when nothing was drawn: null font, empty text).
// Text drawn into a widget's cached texture must use Deferred release.
SDL_Rect drawText(SDL_Renderer* renderer, TTF_Font* font, const std::string& text,
                  SDL_Color colour, int x, int y, TextRelease release = TextRelease::Deferred);

// Width and height of the text in pixels; false when it cannot be measured.
bool measureText(TTF_Font* font, const std::string& text, int& w, int& h);

// The toolkit's own texts live in the "framewerk" catalogue.
inline const char* guiText(const char* messageId)
{
    return dgettext("framewerk", messageId);
}

// Engine use only: opens uiFont and ftFace (false when the font is missing,
// after saying so on standard error) and closes them again.
bool openFonts();
void closeFonts();
