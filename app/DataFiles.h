#pragma once
// Run-time data ("data/images/logo.png", ...) is looked up relative to the
// working directory first and then beside the program, so Pathlark finds its
// pictures wherever it is started from.

#include <string>

namespace pathlark {

// The path to open for a data file; the relative path itself when neither place has it.
std::string dataFilePath(const std::string& relative);

} // namespace pathlark
