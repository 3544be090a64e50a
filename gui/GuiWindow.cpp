// GuiWindow: ownership, event routing, cached drawing and tooltips.
//
// [SECTION] Children and ownership
// [SECTION] Focus, popups, notifications
// [SECTION] Event routing
// [SECTION] Tick and tooltips
// [SECTION] Drawing and resize

#include "gui/GuiWindow.h"

#include "gui/AppWindow.h"
#include "gui/GuiCairoPanel.h"
#include "gui/GuiEngine.h"
#include "gui/GuiText.h"
#include "gui/IEditable.h"

#include <SDL_ttf.h>

#include <algorithm>

namespace {
constexpr Uint32 TooltipDelayMs = 499;
constexpr int CacheHoldoffFrames = 15;

// Only cairo panels follow the window's size; every other widget keeps its own.
bool stretchFlags(GuiObject* widget, bool& stretchX, bool& stretchY)
{
    auto* panel = dynamic_cast<GuiCairoPanel*>(widget);
    if (!panel)
        return false;
    stretchX = panel->stretchX;
    stretchY = panel->stretchY;
    return true;
}
} // namespace

// [SECTION] Children and ownership

GuiWindow::GuiWindow(AppWindow* platformWindow_, int id_, int x_, int y_, int w_, int h_, Uint32 colour_)
    : GuiObject(nullptr, id_, x_, y_, w_, h_, colour_), platformWindow(platformWindow_),
      engine(platformWindow_ ? platformWindow_->engine : nullptr)
{
}

GuiWindow::~GuiWindow()
{
    pendingDeletes.clear();
    popups.clear();
    focus = capture = hovered = popupGrab = activePopup = tooltipOwner = nullptr;
    for (GuiObject* child : children)
        delete child;
    children.clear();
    if (scratchTexture) {
        if (SDL_Renderer* r = renderer())
            GuiEngine::releaseTexture(r, scratchTexture);
        scratchTexture = nullptr;
    }
}

SDL_Renderer* GuiWindow::renderer() const
{
    return platformWindow ? platformWindow->renderer : nullptr;
}

GuiObject* GuiWindow::add(GuiObject* widget)
{
    widget->parent = this;
    widget->window = this;
    widget->x += x;
    widget->y += y;
    widget->layout();
    children.push_back(widget);
    GuiEngine::requestRedraw();
    return widget;
}

void GuiWindow::move(int newX, int newY)
{
    if (newX != -1)
        x = newX;
    if (newY != -1)
        y = newY;
    for (GuiObject* child : children) {
        child->x = child->initialX + x;
        child->y = child->initialY + y;
    }
    GuiEngine::requestRedraw();
}

void GuiWindow::scheduleDelete(GuiObject* widget)
{
    if (std::find(pendingDeletes.begin(), pendingDeletes.end(), widget) == pendingDeletes.end())
        pendingDeletes.push_back(widget);
}

void GuiWindow::flushPendingDeletes()
{
    // Deleting may schedule more (a popup closing its own children), so take the list first.
    while (!pendingDeletes.empty()) {
        std::vector<GuiObject*> doomed;
        doomed.swap(pendingDeletes);
        for (GuiObject* widget : doomed) {
            for (GuiObject** ref : {&focus, &hovered, &capture, &popupGrab, &activePopup, &tooltipOwner})
                if (*ref == widget)
                    *ref = nullptr;
            if (engine && engine->focusedEditable && engine->focusedEditable == dynamic_cast<IEditable*>(widget))
                engine->focusedEditable = nullptr;
            if (auto gone = std::remove(popups.begin(), popups.end(), widget); gone != popups.end()) {
                popups.erase(gone, popups.end());
                if (popups.empty())
                    SDL_StartTextInput();
            }
            auto it = std::find(children.begin(), children.end(), widget);
            if (it != children.end()) {
                children.erase(it);
                delete widget;
            }
        }
    }
}

GuiObject* GuiWindow::findByName(const std::string& wanted)
{
    if (GuiObject* self = GuiObject::findByName(wanted))
        return self;
    for (GuiObject* child : children)
        if (GuiObject* found = child->findByName(wanted))
            return found;
    return nullptr;
}

bool GuiWindow::findPart(const std::string& partName, GuiObject*& owner, SDL_Rect& rect)
{
    for (auto it = popups.rbegin(); it != popups.rend(); ++it)
        if ((*it)->findPart(partName, owner, rect))
            return true;
    for (GuiObject* child : children)
        if (child->findPart(partName, owner, rect))
            return true;
    return false;
}

GuiObject* GuiWindow::childAt(int px, int py)
{
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if ((*it)->hitTest(px, py))
            return *it;
    return nullptr;
}

GuiObject* GuiWindow::hitTest(int px, int py)
{
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (GuiObject* hit = (*it)->hitTest(px, py))
            return hit;
    return GuiObject::hitTest(px, py);
}

const char* GuiWindow::className() { return "GuiWindow"; }

// [SECTION] Focus, popups, notifications

void GuiWindow::setFocus(GuiObject* widget)
{
    if (widget == focus)
        return;
    GuiObject* old = focus;
    if (old) {
        old->focused = false;
        old->focusLost(widget);
        old->markDirty();
    }
    for (GuiObject* child : children)
        child->focused = false;
    focus = widget;
    if (widget) {
        widget->focused = true;
        widget->markDirty();
    }
    if (engine)
        engine->focusedEditable = dynamic_cast<IEditable*>(widget);
}

void GuiWindow::openPopup(GuiObject* popup)
{
    SDL_StopTextInput();
    popup->parent = this;
    if (std::find(children.begin(), children.end(), popup) == children.end())
        add(popup);
    popups.push_back(popup);
    popupGrab = activePopup = popup;
    GuiEngine::requestRedraw();
}

void GuiWindow::closeTopPopup()
{
    if (popups.empty())
        return;
    GuiObject* top = popups.back();
    popups.pop_back();
    top->deleteLater();
    popupGrab = activePopup = popups.empty() ? nullptr : popups.back();
    // Whatever closed the last popup (a pick, Return, Escape, a click outside),
    // the text fields must take typing again.
    if (popups.empty())
        SDL_StartTextInput();
    GuiEngine::requestRedraw();
}

void GuiWindow::closeAllPopups()
{
    while (!popups.empty())
        closeTopPopup();
}

void GuiWindow::postNotification(Uint32 code, Uint32 param, Uint64 value, GuiObject* source)
{
    if (!engine || !platformWindow)
        return;
    // A modal dialog owns the user's attention: other windows stay quiet.
    if (engine->modalRoot && engine->modalRoot != this)
        return;
    GuiEvent event;
    event.kind = GuiEvent::Notification;
    event.windowId = platformWindow->windowId;
    event.code = code;
    event.param = param;
    event.value = value;
    event.source = source ? source : this;
    event.targetId = -1;
    engine->handleEvent(platformWindow, event);
}

void GuiWindow::releaseCapture()
{
    if (!capture)
        return;
    GuiObject* holder = capture;
    SDL_Event sdl{};
    sdl.type = SDL_MOUSEBUTTONUP;
    sdl.button.button = SDL_BUTTON_LEFT;
    sdl.button.x = -1;
    sdl.button.y = 0;
    sdl.button.windowID = platformWindow ? platformWindow->windowId : 0;
    GuiEvent event;
    event.sdlEvent = &sdl;
    dispatch(holder, event, -1, 0);
    capture = nullptr;
}

// [SECTION] Event routing

void GuiWindow::dispatch(GuiObject* widget, GuiEvent& event, int px, int py)
{
    event.localX = px - widget->x;
    event.localY = py - widget->y;
    dispatch(widget, event);
}

void GuiWindow::dispatch(GuiObject* widget, GuiEvent& event)
{
    event.target = widget;
    event.targetId = widget->id;
    widget->handleEvent(event);
}

void GuiWindow::endHover()
{
    if (hovered) {
        hovered->mouseLeave();
        hovered->markDirty();
        hovered = nullptr;
    }
}

void GuiWindow::handleMotion(GuiEvent& event, int px, int py)
{
    mouseX = px;
    mouseY = py;
    if (!popups.empty()) {
        for (auto it = popups.rbegin(); it != popups.rend(); ++it) {
            if ((*it)->hitTest(px, py)) {
                if (*it != popupGrab)
                    popupGrab = activePopup = *it;
                break;
            }
        }
        return;
    }
    if (capture) {
        dispatch(capture, event, px, py);
        return;
    }
    GuiObject* under = childAt(px, py);
    if (!under) {
        endHover();
        return;
    }
    if (under != hovered) {
        if (hovered) {
            hovered->mouseLeave();
            hovered->markDirty();
        }
        hovered = under;
        under->mouseEnter(px - under->x, py - under->y);
        under->markDirty();
    }
    dispatch(under, event, px, py);
}

void GuiWindow::handleEvent(GuiEvent& event)
{
    SDL_Event* sdl = event.sdlEvent;
    if (event.kind != GuiEvent::SdlInput || !sdl)
        return;

    const Uint32 type = sdl->type;
    if (popupGrab) {
        switch (type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
        case SDL_TEXTEDITING:
        case SDL_TEXTINPUT:
        case SDL_MOUSEWHEEL:
            dispatch(popupGrab, event);
            flushPendingDeletes();
            return;
        case SDL_MOUSEBUTTONUP:
            // The press that opened the popup set a capture; the release ends it
            // here too, or motion would keep going to the opener.
            capture = nullptr;
            dispatch(popupGrab, event, sdl->button.x, sdl->button.y);
            flushPendingDeletes();
            return;
        case SDL_MOUSEMOTION:
            handleMotion(event, sdl->motion.x, sdl->motion.y);
            if (popupGrab)
                dispatch(popupGrab, event, sdl->motion.x, sdl->motion.y);
            flushPendingDeletes();
            return;
        default:
            break;
        }
    }

    switch (type) {
    case SDL_MOUSEBUTTONDOWN: {
        const int px = sdl->button.x, py = sdl->button.y;
        tooltipSince = SDL_GetTicks();
        if (tooltipVisible)
            GuiEngine::requestRedraw();
        tooltipVisible = false;
        if (!popups.empty()) {
            bool insideAny = false;
            for (GuiObject* p : popups)
                insideAny = insideAny || p->hitTest(px, py);
            // A press outside only dismisses the popup: a list dropped over a
            // button must not let that button fire on the same click.
            if (!insideAny) {
                closeAllPopups();
                break;
            }
        }
        if (popupGrab) {
            dispatch(popupGrab, event, px, py);
        } else if (GuiObject* under = childAt(px, py)) {
            setFocus(under);
            capture = under;
            dispatch(under, event, px, py);
        }
        break;
    }
    case SDL_MOUSEBUTTONUP:
        if (capture) {
            GuiObject* holder = capture;
            dispatch(holder, event, sdl->button.x, sdl->button.y);
            capture = nullptr;
        } else if (focus) {
            dispatch(focus, event, sdl->button.x, sdl->button.y);
        }
        break;
    case SDL_MOUSEMOTION:
        handleMotion(event, sdl->motion.x, sdl->motion.y);
        break;
    case SDL_MOUSEWHEEL: {
        GuiObject* target = nullptr;
        if (GuiObject* under = childAt(sdl->wheel.mouseX, sdl->wheel.mouseY))
            target = under->wheelTarget(sdl->wheel.mouseX, sdl->wheel.mouseY);
        if (!target)
            target = focus;
        if (target)
            dispatch(target, event, sdl->wheel.mouseX, sdl->wheel.mouseY);
        break;
    }
    case SDL_WINDOWEVENT:
        if (sdl->window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            closeAllPopups();
            endHover();
        }
        // Copy: a child may add or remove widgets while it reacts.
        for (GuiObject* child : std::vector<GuiObject*>(children))
            if (std::find(children.begin(), children.end(), child) != children.end())
                dispatch(child, event);
        break;
    default:
        if (focus)
            dispatch(focus, event);
        break;
    }
    flushPendingDeletes();
}

// [SECTION] Tick and tooltips

void GuiWindow::tick(Uint32 now)
{
    for (GuiObject* child : std::vector<GuiObject*>(children))
        child->tick(now);

    const bool wasVisible = tooltipVisible;
    const bool trackable = hovered && popups.empty() && !popupGrab && !capture;
    if (trackable) {
        GuiObject* owner = hovered->hoverTarget(now);
        if (owner != tooltipOwner) {
            tooltipOwner = owner;
            tooltipSince = now;
            tooltipVisible = false;
        }
        if (tooltipOwner && !tooltipOwner->tooltip.empty() && now - tooltipSince > TooltipDelayMs)
            tooltipVisible = true;
    } else {
        tooltipOwner = nullptr;
        tooltipSince = now;
        tooltipVisible = false;
    }
    if (wasVisible != tooltipVisible)
        GuiEngine::requestRedraw();
}

Uint32 GuiWindow::msUntilWakeUp(Uint32 now)
{
    Uint32 wait = NoWakeUp;
    for (GuiObject* child : children)
        wait = std::min(wait, child->msUntilWakeUp(now));

    // The tooltip as tick times it: shown once the pointer rested long enough,
    // hidden at once when tracking is no longer possible.
    const bool trackable = hovered && popups.empty() && !popupGrab && !capture;
    if (!trackable)
        return tooltipVisible ? 0 : wait;
    if (hovered->hoverTarget(now) != tooltipOwner)
        return 0;
    if (tooltipOwner && !tooltipOwner->tooltip.empty() && !tooltipVisible)
        wait = std::min(wait, msUntil(tooltipSince + TooltipDelayMs + 1, now));
    return wait;
}

// [SECTION] Drawing and resize

void GuiWindow::draw(SDL_Renderer* renderer)
{
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(renderer, colour.r, colour.g, colour.b, colour.a);
    SDL_RenderFillRect(renderer, nullptr);
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);

    if (!cacheProbed) {
        cacheProbed = true;
        // Render targets cost more than they save on a software renderer.
        SDL_RendererInfo info;
        if (SDL_GetRendererInfo(renderer, &info) == 0 && (info.flags & SDL_RENDERER_SOFTWARE))
            cacheEnabled = false;
    }
    drawChildren(renderer);
    drawTooltip(renderer);
}

void GuiWindow::drawChildren(SDL_Renderer* renderer)
{
    bool caching = false;
    if (cacheEnabled) {
        if (cacheHoldoff > 0)
            --cacheHoldoff;
        else
            caching = true;
    }
    if (caching) {
        int tw = 0, th = 0;
        if (scratchTexture)
            SDL_QueryTexture(scratchTexture, nullptr, nullptr, &tw, &th);
        if (!scratchTexture || tw != w || th != h) {
            if (scratchTexture)
                GuiEngine::releaseTexture(renderer, scratchTexture);
            scratchTexture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA8888, SDL_TEXTUREACCESS_TARGET, w, h);
            if (scratchTexture)
                SDL_SetTextureBlendMode(scratchTexture, SDL_BLENDMODE_NONE);
            else
                caching = false;
        }
    }

    for (GuiObject* child : std::vector<GuiObject*>(children)) {
        if (!caching || !child->isCacheable()) {
            child->draw(renderer);
            continue;
        }
        int tw = 0, th = 0;
        if (child->cacheTexture)
            SDL_QueryTexture(child->cacheTexture, nullptr, nullptr, &tw, &th);
        if (!child->cacheTexture || tw != child->w || th != child->h) {
            if (child->cacheTexture)
                GuiEngine::releaseTexture(renderer, child->cacheTexture);
            child->cacheTexture = nullptr;
            if (child->w > 0 && child->h > 0)
                child->cacheTexture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA8888,
                                                        SDL_TEXTUREACCESS_TARGET, child->w, child->h);
            if (child->cacheTexture)
                SDL_SetTextureBlendMode(child->cacheTexture, SDL_BLENDMODE_BLEND);
            child->dirty = true;
        }
        const bool inside = child->x >= 0 && child->y >= 0 && child->x + child->w <= w && child->y + child->h <= h;
        if (!child->cacheTexture || !inside) {
            child->draw(renderer);
            continue;
        }
        SDL_Rect r = child->rect();
        if (child->dirty) {
            SDL_SetRenderTarget(renderer, scratchTexture);
            SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
            SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0);
            SDL_RenderFillRect(renderer, &r);
            SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
            child->draw(renderer);
            SDL_SetRenderTarget(renderer, child->cacheTexture);
            SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
            SDL_RenderCopy(renderer, scratchTexture, &r, nullptr);
            SDL_SetRenderTarget(renderer, nullptr);
            SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
            child->dirty = false;
        }
        SDL_RenderCopy(renderer, child->cacheTexture, nullptr, &r);
    }
}

void GuiWindow::drawTooltip(SDL_Renderer* renderer)
{
    if (!tooltipVisible || !tooltipOwner || tooltipOwner->tooltip.empty() || !uiFont)
        return;
    int tw = 0, th = 0;
    if (!measureText(uiFont, tooltipOwner->tooltip, tw, th))
        return;
    SDL_Rect box{mouseX + 14, mouseY + 18, tw + 12, th + 6};
    if (box.x + box.w > w)
        box.x = w - box.w;
    if (box.y + box.h > h)
        box.y = h - box.h;
    box.x = std::max(box.x, 0);
    box.y = std::max(box.y, 0);
    SDL_SetRenderDrawColor(renderer, 255, 255, 225, 255);
    SDL_RenderFillRect(renderer, &box);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderDrawRect(renderer, &box);
    drawText(renderer, uiFont, tooltipOwner->tooltip, SDL_Color{0, 0, 0, 255}, box.x + 6, box.y + 3,
             TextRelease::Immediate);
}

void GuiWindow::resize(SDL_Renderer* renderer, int newW, int newH)
{
    const int oldW = w, oldH = h;
    GuiObject::resize(renderer, newW, newH);
    for (GuiObject* child : children) {
        bool stretchX = false, stretchY = false;
        if (!stretchFlags(child, stretchX, stretchY))
            continue;
        const int cw = stretchX ? std::max(1, child->w + (newW - oldW)) : child->w;
        const int ch = stretchY ? std::max(1, child->h + (newH - oldH)) : child->h;
        if (cw != child->w || ch != child->h)
            child->resize(renderer, cw, ch);
    }
    cacheHoldoff = CacheHoldoffFrames;
    GuiEngine::requestRedraw();
}
