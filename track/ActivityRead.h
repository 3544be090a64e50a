#pragma once
// What reading a device's activity file (FIT, TCX) gives, and the helpers
// both readers share.

#include "track/Gpx.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

// The document, null when nothing in the file had a position, and whether
// damage (a cut-off file, a wrong checksum, bytes that are no message) ended
// the reading early. Damage is salvaged: every complete point before it is
// kept.
struct ActivityRead {
    std::unique_ptr<Gpx> gpx;
    bool damaged { false };
};

// Activity files are read whole; real ones are a few megabytes at most (a
// TCX file of a day's ride about 30 MB).
inline constexpr std::size_t kMaxActivityBytes = std::size_t { 256 } << 20;

// The file's whole content in `content`; false when it is missing, not a
// regular file, larger than `limit` or unreadable.
bool readWholeFile(const std::filesystem::path& path, std::size_t limit, std::string& content);

// "YYYY-MM-DDThh:mm:ssZ" for UTC seconds since 1970.
std::string utcTimeText(std::int64_t seconds);
