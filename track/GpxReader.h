#pragma once
// Reads GPX 1.0 and 1.1 documents, tidy or sloppy, into a Gpx: HTML Tidy
// repairs the markup, Mini-XML parses the result, and the tree is walked into
// tracks, then routes, then one single-point track per stand-alone waypoint.
// Well-formed files take a direct path to the same document, many times
// faster.

#include "track/Gpx.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string_view>

// Tidy keeps about ten times its input in memory and Mini-XML as much again,
// so a larger file is refused before reading rather than exhausting memory.
inline constexpr std::size_t kMaxGpxBytes = std::size_t { 128 } << 20;
// Real GPX files nest about eight elements deep. Tidy indents every level,
// so its output grows with the square of the depth; sloppy files with
// unclosed elements would otherwise grow without bound.
inline constexpr int kMaxGpxNesting = 64;

// Thrown when an input exceeds one of the limits above. The message is
// translated and meant for the user.
class GpxLimitError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The document, or null when the input has no gpx element, cannot be parsed,
// or (for files) is missing, unreadable or not a regular file. Nothing in
// the input can make these crash; they throw only GpxLimitError.
std::unique_ptr<Gpx> readGpxFile(const std::filesystem::path& path);
std::unique_ptr<Gpx> readGpxString(std::string_view text);

// The two readers behind readGpxString, which tries the direct one first.
// The direct reader passes once over well-formed UTF-8 GPX and builds the
// very document the repairing reader would; for any input it cannot read
// with that certainty it returns null. The repairing reader takes anything.
std::unique_ptr<Gpx> readGpxDirect(std::string_view text);
// The same from a stream read `chunkBytes` at a time (more where one piece
// of markup is longer), so that a large file is never held whole. The
// stream is left anywhere.
std::unique_ptr<Gpx> readGpxDirect(std::istream& input, std::size_t chunkBytes = std::size_t { 64 } << 10);
std::unique_ptr<Gpx> readGpxRepairing(std::string_view text);

// The number rule for coordinates, bounds and elevation: a decimal number in
// std::from_chars general format at the start of the text (no blanks, no plus
// sign; inf and nan allowed), the rest ignored. 0 when there is none or it is
// out of the range of a double.
double readGpxNumber(std::string_view text);

// The time rule: "YYYY-MM-DDThh:mm:ss", an optional fraction (dropped), then
// "Z" or a numeric offset ("+02:00", "-0500", "+02"). The result is UTC
// seconds since 1970 truncated to 32 bits, or -1 when the text does not match.
std::int32_t readGpxTime(std::string_view text);
