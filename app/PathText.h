#pragma once
// Paths as the user sees them (UTF-8 text) and file-status tests that never
// throw: a path the user typed may be anything.

#include <filesystem>
#include <string>
#include <system_error>

namespace pathlark {

inline std::string utf8Text(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

inline bool isRegularFile(const std::filesystem::path& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

// Something is there, but not a file to read through: a FIFO would block the
// reader for good and a device may never end, so only regular files are opened.
inline bool isNonRegularFile(const std::filesystem::path& path)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    return !ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
}

inline bool isDirectory(const std::filesystem::path& path)
{
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

} // namespace pathlark
