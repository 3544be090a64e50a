#pragma once
// What reading a device's activity file (FIT, TCX) gives, and the helpers
// both readers share.

#include "track/Gpx.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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

// A file's whole content, in memory never cleared first: for a few
// megabytes that clearing would cost as much as the reading.
struct FileBytes {
    std::unique_ptr<char[]> data;
    std::size_t size { 0 };
    std::string_view view() const { return std::string_view(data.get(), size); }
};

// Nothing when the file is missing, not a regular file, larger than `limit`
// or unreadable.
std::optional<FileBytes> readWholeFile(const std::filesystem::path& path, std::size_t limit);

// "YYYY-MM-DDThh:mm:ssZ" for UTC seconds since 1970 from 0000 to 9999. The
// date is worked out again only when the day changes, which for a track of
// a point a second is once in 86,400 points. The text lasts until the next call.
class UtcTimeText {
public:
    std::string_view operator()(std::int64_t seconds);

private:
    std::int64_t m_day { INT64_MIN };
    char m_text[20] {};
};
