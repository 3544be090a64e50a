#pragma once
// The whole program in-process for the loop and download benchmarks: SDL's
// dummy video driver with the software renderer, the embedded font, the
// bundled sample track and its map.

#include "app/CommandLine.h"
#include "app/PathlarkEngine.h"

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>

extern const unsigned char embeddedVeraFont[];
extern const std::size_t embeddedVeraFont_size;

namespace bench {

inline std::unique_ptr<pathlark::PathlarkEngine> startRealEngine()
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    GuiEngine::setEmbeddedFont(embeddedVeraFont, int(embeddedVeraFont_size));
    auto engine = std::make_unique<pathlark::PathlarkEngine>();
    pathlark::CommandLine commandLine;
    commandLine.positional = {std::string(PATHLARK_SOURCE_DIR) + "/data/data.osm"};
    engine->createMainWindow(commandLine);
    engine->loadFirstData(commandLine);
    return engine;
}

} // namespace bench
