#pragma once
// A button showing a picture scaled to fit inside its frame. It starts with the
// toolkit's built-in picture; loadIcon replaces it with a file.

#include "gui/GuiButton.h"

class GuiImageButton : public GuiButton {
public:
    GuiImageButton(GuiObject* parent, int id, int x, int y, int w, int h, Uint32 colour, SDL_Renderer* renderer,
                   Uint32 flags);
    ~GuiImageButton() override;

    bool isCacheable() override;
    const char* className() override;
    void draw(SDL_Renderer* renderer) override;

    // False when the file cannot be read; the button then has no icon at all.
    bool loadIcon(SDL_Renderer* renderer, const std::string& path);
    void clearIcon();
    // Replaces the icon with the toolkit's built-in picture (what a new button shows).
    // loadIcon leaves no icon when a file fails; callers that prefer the built-in
    // picture then (the main window's icon buttons) call this.
    bool loadDefaultIcon(SDL_Renderer* renderer);

    // Where draw puts the icon (w = h = 0 when nothing fits); exposed for tests.
    SDL_Rect iconRect() const;

    SDL_Texture* icon = nullptr;  // owned
    int iconWidth = 0;
    int iconHeight = 0;
    std::string iconPath;

private:
    bool setIconFrom(SDL_Renderer* renderer, SDL_Surface* surface);
};
