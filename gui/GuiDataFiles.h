#pragma once
// Where run-time data ("data/images/logo.png", "data/locale", ...) is found.
// The first place that has it wins:
//   1. the working directory, as given;
//   2. beside the program (a build directory, an unpacked archive);
//   3. ../share/pathlark/ from the program's real location, without the
//      leading "data/" (an installed program: /usr/bin -> /usr/share/pathlark).

#include <string>

// The path to open for a data file or folder; the relative path itself when
// no place has it, so that messages name what was looked for.
std::string dataFilePath(const std::string& relative);
