#pragma once
// The whole application in-process on SDL's dummy driver: a fixture that
// starts the engine as the program does, in an empty working directory of
// its own, plus small GPX and OSM documents built in the test.

#include "app/CommandLine.h"
#include "app/PathlarkEngine.h"
#include "gui/GuiLabel.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

extern const unsigned char embeddedVeraFont[];
extern const std::size_t embeddedVeraFont_size;

namespace apptest {

namespace fs = std::filesystem;
using namespace pathlark;

inline std::string gpxWithTracks(const std::string& tracks)
{
    return "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"test\">\n" + tracks + "</gpx>\n";
}

// Heading north, one point a second, 0.001 degrees apart.
inline std::string trackXml(const std::string& name, int points)
{
    std::string xml = "<trk>" + (name.empty() ? std::string() : "<name>" + name + "</name>") + "<trkseg>\n";
    for (int i = 0; i < points; ++i)
        xml += "<trkpt lat=\"" + std::to_string(47.1 + 0.001 * i) + "\" lon=\"9.5\"><ele>" + std::to_string(400 + i) +
               "</ele><time>2020-05-01T10:00:" + (i < 10 ? "0" : "") + std::to_string(i) + "Z</time></trkpt>\n";
    return xml + "</trkseg></trk>\n";
}

inline const std::string smallMap = "<osm version=\"0.6\">\n  <node id=\"1\" lat=\"47.1\" lon=\"9.5\"/>\n"
                                    "  <node id=\"2\" lat=\"47.2\" lon=\"9.6\"/>\n  <way id=\"10\">\n"
                                    "    <nd ref=\"1\"/>\n    <nd ref=\"2\"/>\n"
                                    "    <tag k=\"highway\" v=\"primary\"/>\n  </way>\n</osm>\n";

inline std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Error boxes are recorded instead of shown (a real box waits for a click).
inline std::vector<std::string> shownErrorBoxes;

// Each test runs in an empty working directory of its own (no default map),
// downloads go to a loopback port where nothing listens.
class Application : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = fs::current_path();
        dir = fs::temp_directory_path() / ("pathlark-app-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "data");
        fs::create_directory_symlink(fs::path(PATHLARK_SOURCE_DIR) / "data" / "images", dir / "data" / "images");
        ASSERT_EQ(chdir(dir.c_str()), 0);
        GuiEngine::setEmbeddedFont(embeddedVeraFont, int(embeddedVeraFont_size));
        shownErrorBoxes.clear();
    }
    void TearDown() override
    {
        engine.reset();
        GuiEngine::setEmbeddedFont(nullptr, 0);
        ASSERT_EQ(chdir(previous.c_str()), 0);
        fs::remove_all(dir);
    }

    void start(std::vector<std::string> args = {}, int w = 1100, int h = 720)
    {
        CommandLine commandLine;
        commandLine.width = w;
        commandLine.height = h;
        commandLine.positional = std::move(args);
        engine.reset();  // the fonts are process-wide: the old engine lets go of them first
        engine = std::make_unique<PathlarkEngine>();
        engine->overpassEndpoints = {{"127.0.0.1", "http://127.0.0.1:1/api/interpreter"}};
        engine->downloadRetryPauseMs = 0;
        engine->showErrorBox = [](const std::string&, const std::string& text) {
            shownErrorBoxes.push_back(text);
            return true;
        };
        engine->createMainWindow(commandLine);
        engine->loadFirstData(commandLine);
        engine->render(engine->mainWindow);
    }

    std::string write(const std::string& name, const std::string& content)
    {
        std::ofstream(dir / name, std::ios::binary) << content;
        return (dir / name).string();
    }

    void send(SDL_Event sdl, AppWindow* window = nullptr)
    {
        GuiEvent event;
        event.sdlEvent = &sdl;
        window = window ? window : engine->mainWindow;
        event.windowId = window->windowId;
        engine->handleEvent(window, event);
    }

    SDL_Event keyEvent(SDL_Keycode sym, Uint16 mod = KMOD_NONE) const
    {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.windowID = engine->mainWindow->windowId;
        e.key.keysym.sym = sym;
        e.key.keysym.mod = mod;
        return e;
    }
    void key(SDL_Keycode sym, Uint16 mod = KMOD_NONE) { send(keyEvent(sym, mod)); }
    // Through the event queue, as the loop gets it.
    void pushKey(SDL_Keycode sym)
    {
        SDL_Event e = keyEvent(sym);
        SDL_PushEvent(&e);
    }

    std::string status() const { return engine->statusLabel->text; }

    fs::path previous, dir;
    std::unique_ptr<PathlarkEngine> engine;
};

} // namespace apptest
