#include "app/Startup.h"

#include "app/CommandLine.h"
#include "app/PathText.h"
#include "app/PathlarkEngine.h"
#include "gui/GuiDataFiles.h"
#include "i18n/Translate.h"

#include <SDL.h>
#include <curl/curl.h>

#include <clocale>
#include <cstddef>
#include <iostream>
#include <libintl.h>
#include <memory>
#include <system_error>

extern const unsigned char embeddedVeraFont[];
extern const std::size_t embeddedVeraFont_size;

namespace fs = std::filesystem;

namespace pathlark {

void setupLocale()
{
    setlocale(LC_ALL, "");
    // Absolute, as the toolkit binds its own: gettext remembers missing catalogues by path.
    std::error_code ec;
    const fs::path dir = fs::absolute(dataFilePath("data/locale"), ec);
    if (!ec && isDirectory(dir))
        bindtextdomain("pathlark", dir.c_str());
    bind_textdomain_codeset("pathlark", "UTF-8");
    textdomain("pathlark");
}

std::optional<fs::path> findDefaultMap()
{
    std::vector<fs::path> candidates;
    std::unique_ptr<char, void (*)(void*)> base(SDL_GetBasePath(), SDL_free);
    const bool haveBase = base != nullptr;
    const fs::path basePath = haveBase ? fs::path(base.get()) : fs::path();
    if (haveBase) {
        candidates.push_back(basePath / "data" / "data.osm");
        candidates.push_back(basePath / "data.osm");
    }
    for (const char* relative : {"data.osm", "data/data.osm", "../../data.osm", "map.osm", "../../map.osm"})
        candidates.emplace_back(relative);
    if (haveBase)
        candidates.push_back(basePath / ".." / ".." / "data.osm");
    // Last, the installed copy (share/pathlark/data.osm).
    candidates.emplace_back(dataFilePath("data/data.osm"));
    for (const fs::path& candidate : candidates)
        if (isRegularFile(candidate))
            return candidate;
    return std::nullopt;
}

int runMain(int argc, char** argv)
{
    const std::optional<CommandLine> commandLine = parseCommandLine(argc, argv);
    if (!commandLine) {
        std::cerr << UsageText << '\n';
        return 2;
    }

    bool curlReady = false;
    std::unique_ptr<PathlarkEngine> engine;
    try {
        setupLocale();
        if (curl_global_init(CURL_GLOBAL_ALL) != 0)
            throw std::runtime_error(tr("Could not initialize libcurl"));
        curlReady = true;
        GuiEngine::setEmbeddedFont(embeddedVeraFont, int(embeddedVeraFont_size));
        engine = std::make_unique<PathlarkEngine>();
        engine->createMainWindow(*commandLine);
        engine->loadFirstData(*commandLine);
        engine->run();
    } catch (const std::exception& error) {
        std::cerr << tr("Pathlark initialization failed: ") << error.what() << '\n';
        engine.reset();
        if (curlReady)
            curl_global_cleanup();
        return 1;
    }
    engine.reset();
    curl_global_cleanup();
    return 0;
}

} // namespace pathlark
