#include "gui/GuiImageButton.h"

#include "gui/Picture.h"

#include <SDL_image.h>

#include <cstddef>

// The toolkit's built-in picture, compiled in by embed_file (CMakeLists.txt).
extern const unsigned char embeddedButtonIcon[];
extern const std::size_t embeddedButtonIcon_size;

GuiImageButton::GuiImageButton(GuiObject* parent_, int id_, int x_, int y_, int w_, int h_, Uint32 colour_,
                               SDL_Renderer* renderer, Uint32 flags_)
    : GuiButton(parent_, id_, x_, y_, w_, h_, colour_, std::string(), nullptr, flags_)
{
    loadDefaultIcon(renderer);
}

bool GuiImageButton::loadDefaultIcon(SDL_Renderer* renderer)
{
    clearIcon();
    if (!renderer)
        return false;
    SDL_RWops* stream = SDL_RWFromConstMem(embeddedButtonIcon, int(embeddedButtonIcon_size));
    // A picture that fails to decode leaves the button without an icon.
    return stream && setIconFrom(renderer, IMG_LoadTyped_RW(stream, 1, "PNG"));
}

GuiImageButton::~GuiImageButton()
{
    clearIcon();
}

bool GuiImageButton::isCacheable() { return false; }

const char* GuiImageButton::className() { return "GuiImageButton"; }

bool GuiImageButton::setIconFrom(SDL_Renderer* renderer, SDL_Surface* surface)
{
    icon = pictureTexture(renderer, surface, iconWidth, iconHeight);
    if (!icon)
        return false;
    markDirty();
    return true;
}

bool GuiImageButton::loadIcon(SDL_Renderer* renderer, const std::string& path)
{
    clearIcon();
    if (!renderer)
        return false;
    if (!setIconFrom(renderer, IMG_Load(path.c_str())))
        return false;
    iconPath = path;
    return true;
}

void GuiImageButton::clearIcon()
{
    if (icon)
        SDL_DestroyTexture(icon);
    icon = nullptr;
    iconWidth = iconHeight = 0;
    iconPath.clear();
    markDirty();
}

SDL_Rect GuiImageButton::iconRect() const
{
    // Inside the frame and its bevel, one pixel lower while pressed.
    return fitPicture(iconWidth, iconHeight, SDL_Rect{x + 4, y + 4 + (pressed ? 1 : 0), w - 8, h - 8});
}

void GuiImageButton::draw(SDL_Renderer* renderer)
{
    if (!renderer)
        return;
    drawFrame(renderer);
    if (!icon)
        return;
    const SDL_Rect where = iconRect();
    SDL_RenderCopy(renderer, icon, nullptr, &where);
}
