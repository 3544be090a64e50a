#include "gui/GuiObject.h"

#include "gui/AppWindow.h"
#include "gui/GuiEngine.h"
#include "gui/GuiWindow.h"

SDL_Color colourFromValue(Uint32 value)
{
    return SDL_Color{Uint8(value & 0xFF), Uint8((value >> 8) & 0xFF), Uint8((value >> 16) & 0xFF),
                     Uint8((value >> 24) & 0xFF)};
}

Uint32 colourValue(SDL_Color c)
{
    return Uint32(c.r) | (Uint32(c.g) << 8) | (Uint32(c.b) << 16) | (Uint32(c.a) << 24);
}

GuiObject::GuiObject(GuiObject* parent_, int id_, int x_, int y_, int w_, int h_, Uint32 colour_)
    : x(x_), y(y_), initialX(x_), initialY(y_), w(w_), h(h_), parent(parent_), id(id_),
      colour(colourFromValue(colour_))
{
}

GuiObject::~GuiObject()
{
    if (cacheTexture) {
        // The texture may still be referenced by the frame being built.
        if (window && window->platformWindow && window->platformWindow->renderer)
            GuiEngine::releaseTexture(window->platformWindow->renderer, cacheTexture);
        cacheTexture = nullptr;
    }
}

GuiObject* GuiObject::hoverTarget(Uint32) { return this; }

GuiObject* GuiObject::findByName(const std::string& wanted)
{
    return (!name.empty() && name == wanted) ? this : nullptr;
}

bool GuiObject::locatePart(const std::string&, SDL_Rect&) { return false; }

bool GuiObject::findPart(const std::string& partName, GuiObject*& owner, SDL_Rect& rect)
{
    if (!locatePart(partName, rect))
        return false;
    owner = this;
    return true;
}

bool GuiObject::getValue(std::string&) { return false; }
bool GuiObject::setValue(const std::string&) { return false; }
bool GuiObject::getValue(const std::string&, std::string&) { return false; }
bool GuiObject::setValue(const std::string&, const std::string&) { return false; }

GuiObject* GuiObject::hitTest(int px, int py) { return contains(px, py) ? this : nullptr; }

bool GuiObject::wantsWheel() { return false; }

GuiObject* GuiObject::wheelTarget(int, int) { return wantsWheel() ? this : nullptr; }

bool GuiObject::isCacheable() { return false; }

const char* GuiObject::className() { return "GuiObject"; }

void GuiObject::tick(Uint32) {}

Uint32 GuiObject::msUntilWakeUp(Uint32) { return NoWakeUp; }

void GuiObject::draw(SDL_Renderer* renderer)
{
    SDL_SetRenderDrawColor(renderer, colour.r, colour.g, colour.b, colour.a);
    SDL_Rect r = rect();
    SDL_RenderFillRect(renderer, &r);
}

void GuiObject::resize(SDL_Renderer*, int newW, int newH)
{
    w = newW;
    h = newH;
}

void GuiObject::mouseEnter(int, int) {}
void GuiObject::mouseLeave() {}
void GuiObject::focusLost(GuiObject*) {}
void GuiObject::layout() {}

void GuiObject::markDirty()
{
    dirty = true;
    GuiEngine::requestRedraw();
}

void GuiObject::deleteLater()
{
    if (window)
        window->scheduleDelete(this);
}
