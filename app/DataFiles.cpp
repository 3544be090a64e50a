#include "app/DataFiles.h"

#include <SDL.h>

#include <filesystem>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace pathlark {

std::string dataFilePath(const std::string& relative)
{
    std::error_code ec;
    if (fs::exists(relative, ec))
        return relative;
    std::unique_ptr<char, void (*)(void*)> base(SDL_GetBasePath(), SDL_free);
    if (base) {
        const fs::path besideProgram = fs::path(base.get()) / relative;
        if (fs::exists(besideProgram, ec))
            return besideProgram.string();
    }
    return relative;
}

} // namespace pathlark
