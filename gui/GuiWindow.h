#pragma once
// Root widget of a platform window. Owns the widgets and routes every event:
// keyboard to the focus, mouse presses to the topmost widget (which then holds
// the capture until release), motion to the capture or the hovered widget, and
// everything to the top popup while one grabs input. Also draws the children
// through their cached textures and shows tooltips.

#include "gui/GuiObject.h"

#include <vector>

struct AppWindow;
class GuiEngine;

class GuiWindow : public GuiObject {
public:
    GuiWindow(AppWindow* platformWindow, int id, int x, int y, int w, int h, Uint32 colour);
    ~GuiWindow() override;

    GuiObject* findByName(const std::string& wanted) override;
    bool findPart(const std::string& partName, GuiObject*& owner, SDL_Rect& rect) override;
    GuiObject* hitTest(int px, int py) override;
    const char* className() override;
    void tick(Uint32 now) override;
    Uint32 msUntilWakeUp(Uint32 now) override;
    void draw(SDL_Renderer* renderer) override;
    void resize(SDL_Renderer* renderer, int newW, int newH) override;
    void handleEvent(GuiEvent& event) override;

    // Takes ownership; offsets the widget by the window position and lays it out.
    GuiObject* add(GuiObject* widget);
    template <class T>
    T* add(T* widget)
    {
        add(static_cast<GuiObject*>(widget));
        return widget;
    }

    void move(int newX, int newY);  // -1 keeps a coordinate
    void setFocus(GuiObject* widget);
    // Text input stops while a popup is open and runs again once the last one closes.
    void openPopup(GuiObject* popup);
    void closeTopPopup();
    void closeAllPopups();
    void postNotification(Uint32 code, Uint32 param, Uint64 value, GuiObject* source = nullptr);
    void releaseCapture();

    // Entered once; deleted after the current dispatch.
    void scheduleDelete(GuiObject* widget);
    // Runs the pending deletes now (after each dispatch, and from tests).
    void flushPendingDeletes();
    // Topmost child containing the point, or null.
    GuiObject* childAt(int px, int py);
    SDL_Renderer* renderer() const;

    std::vector<GuiObject*> children;        // owned, in add order; later ones on top
    std::vector<GuiObject*> pendingDeletes;
    AppWindow* platformWindow;
    GuiObject* focus = nullptr;
    GuiObject* capture = nullptr;
    GuiObject* hovered = nullptr;
    std::vector<GuiObject*> popups;          // bottom to top; each also a child
    GuiObject* popupGrab = nullptr;
    GuiObject* activePopup = nullptr;
    GuiEngine* engine;
    SDL_Texture* scratchTexture = nullptr;
    bool cacheProbed = false;
    bool cacheEnabled = true;
    int cacheHoldoff = 0;
    GuiObject* tooltipOwner = nullptr;
    Uint32 tooltipSince = 0;
    bool tooltipVisible = false;
    int mouseX = 0;
    int mouseY = 0;

private:
    void dispatch(GuiObject* widget, GuiEvent& event, int px, int py);
    void dispatch(GuiObject* widget, GuiEvent& event);
    void handleMotion(GuiEvent& event, int px, int py);
    void endHover();
    void drawChildren(SDL_Renderer* renderer);
    void drawTooltip(SDL_Renderer* renderer);
};
