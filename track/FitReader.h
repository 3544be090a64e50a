#pragma once
// Reads FIT activity files, the binary format sport devices record, into the
// document a GPX file gives: one track per FIT file (several may be chained
// in one file) made of the record messages that carry a position, named
// "Activity" and its start time; creator the device's manufacturer, version
// "FIT" and the protocol version.

#include "track/ActivityRead.h"

#include <filesystem>
#include <string_view>

// Any input is safe: sizes declared in the file are checked against what is
// there, and nothing is allocated by them.
ActivityRead readFit(std::string_view bytes);
// A missing, unreadable or oversized file reads as nothing, undamaged.
ActivityRead readFitFile(const std::filesystem::path& path);
