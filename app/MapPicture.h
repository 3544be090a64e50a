#pragma once
// The map panel saved as a picture (Ctrl+S).

#include <cairo.h>

#include <string>

namespace pathlark {

// Writes the surface as a PNG file at `path` through a temporary file in the
// same folder, renamed over the target only once it is complete, so a failure
// (no permission, disk full) leaves neither a partial picture nor a changed
// file behind. A replaced file's permissions are kept. Returns empty on
// success, else the reason as the system words it.
std::string writePngFile(cairo_surface_t* surface, const std::string& path);

} // namespace pathlark
