#pragma once
// Program entry: command line, locale, libcurl, engine, first data, loop, teardown.

#include <filesystem>
#include <optional>

namespace pathlark {

// The whole program; returns the process exit code (0, 1 start-up failure, 2 usage).
int runMain(int argc, char** argv);

// Binds the "pathlark" catalogue from the data folder "data/locale", wherever that is found.
void setupLocale();

// The first default map candidate that is a regular file, if any.
std::optional<std::filesystem::path> findDefaultMap();

} // namespace pathlark
