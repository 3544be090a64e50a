#include "gui/GuiDataFiles.h"

#include <SDL.h>

#include <filesystem>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

std::string dataFilePath(const std::string& relative)
{
    std::error_code ec;
    if (fs::exists(relative, ec))
        return relative;
    // SDL reads the program's location from the system, symbolic links resolved,
    // so a "pathlark" link on the PATH still finds the installed data.
    std::unique_ptr<char, void (*)(void*)> base(SDL_GetBasePath(), SDL_free);
    if (!base)
        return relative;
    const fs::path programDir(base.get());
    const fs::path besideProgram = programDir / relative;
    if (fs::exists(besideProgram, ec))
        return besideProgram.string();
    const fs::path inData = fs::path(relative).lexically_relative("data");
    if (!inData.empty() && *inData.begin() != "..") {
        const fs::path installed = (programDir / ".." / "share" / "pathlark" / inData).lexically_normal();
        if (fs::exists(installed, ec))
            return installed.string();
    }
    return relative;
}
