#pragma once
// Shows a picture file scaled to fit, centred, and reports clicks (1002).

#include "gui/GuiObject.h"

#include <string>

class GuiImagePanel : public GuiObject {
public:
    // The colour's alpha is cleared: no background unless the panel later gets an opaque colour.
    GuiImagePanel(GuiObject* parent, int id, int x, int y, int w, int h, Uint32 colour);
    ~GuiImagePanel() override;

    bool isCacheable() override;
    const char* className() override;
    void draw(SDL_Renderer* renderer) override;
    void handleEvent(GuiEvent& event) override;

    // False when the file cannot be read; the panel then shows only its background.
    bool loadImage(SDL_Renderer* renderer, const std::string& path);
    void clearImage();
    // Where draw puts the picture; exposed for tests.
    SDL_Rect imageRect() const;

    SDL_Texture* image = nullptr;  // owned
    int imageWidth = 0;
    int imageHeight = 0;
    std::string imagePath;
};
