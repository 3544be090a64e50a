#include "gui/GuiImagePanel.h"

#include "gui/GuiWindow.h"
#include "gui/Picture.h"

#include <SDL_image.h>

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
    image = pictureTexture(renderer, IMG_Load(path.c_str()), imageWidth, imageHeight);
    if (!image)
        return false;
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

SDL_Rect GuiImagePanel::imageRect() const { return fitPicture(imageWidth, imageHeight, rect()); }

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
