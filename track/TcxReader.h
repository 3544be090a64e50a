#pragma once
// Reads TCX files, the XML training sites export, into the document a GPX
// file gives: each Activity a track (its laps joined) named by its Id, then
// each Course a route named by its Name; creator the first Creator's Name,
// version "TCX". Trackpoints without a position (indoor rides) are skipped.

#include "track/ActivityRead.h"

#include <filesystem>
#include <string_view>

// Malformed XML ends the reading where it breaks, which counts as damage.
ActivityRead readTcx(std::string_view text);
// A missing, unreadable or oversized file reads as nothing, undamaged.
ActivityRead readTcxFile(const std::filesystem::path& path);
