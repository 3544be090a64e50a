#pragma once
// Pictures of image buttons and image panels: a texture made from a decoded
// image, and the rectangle that fits it into a box.

#include <SDL.h>

// Turns `surface` (taken over and freed; may be null) into a texture that
// blends and scales smoothly, and gives its size. Null when it cannot.
SDL_Texture* pictureTexture(SDL_Renderer* renderer, SDL_Surface* surface, int& width, int& height);

// The largest rectangle of the picture's proportions inside `box`, centred;
// an empty one at the box's corner when the picture or the box has no size.
SDL_Rect fitPicture(int width, int height, const SDL_Rect& box);
