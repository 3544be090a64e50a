#pragma once
// The combo box's arrow picture, decoded once per renderer.
//
// Process-wide cache keyed by renderer, used only on the thread that runs the
// engine's loop. An entry lives until its renderer is destroyed: the cache
// registers releaseDropArrow with the engine on first use.

#include <SDL.h>

struct DropArrow {
    SDL_Texture* texture = nullptr;  // null when decoding failed; not retried
    int width = 0;
    int height = 0;
};

// The arrow for this renderer, created on first request.
const DropArrow& dropArrowFor(SDL_Renderer* renderer);

// Destroys the renderer's arrow texture and forgets the entry.
void releaseDropArrow(SDL_Renderer* renderer);

// Number of renderers with an entry (for tests).
size_t dropArrowCacheSize();
