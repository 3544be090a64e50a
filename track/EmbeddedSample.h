#pragma once
// The demonstration ride compiled into the program (data/sample.gpx), shown
// when it starts without a track.

#include <string_view>

// The path shown for the sample wherever a file path would be.
inline constexpr std::string_view kEmbeddedSamplePath = "sample.gpx";

// The sample's GPX text, UTF-8. A NUL follows the view's last byte.
std::string_view embeddedSampleGpx();
