#pragma once
// Fetches OSM data from Overpass servers with libcurl: one POST per server,
// in order, until one answers with an OSM document. The answer is written to
// "<target>.part" and renamed into place only when it passed, so an existing
// map survives every failure. Blocking; the caller keeps its window painted
// through the progress and waiting callbacks, and may cancel from the latter.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace pathlark {

struct OverpassEndpoint {
    std::string label;  // the host, shown in progress and error texts
    std::string url;
};

// Three public interpreters, tried in this order.
std::vector<OverpassEndpoint> defaultOverpassEndpoints();

struct OverpassDownloadSettings {
    std::vector<OverpassEndpoint> endpoints = defaultOverpassEndpoints();
    // Receives each progress text for the status line; the place to redraw.
    std::function<void(const std::string& text)> progress;
    // Called at least every waitStepMs while a transfer or the pause between
    // servers runs, with the status text of the moment (the attempt with the
    // bytes received so far, or the pause notice); false cancels the download.
    std::function<bool(const std::string& text)> waiting;
    int waitStepMs = 50;
    int retryPauseMs = 2000;  // between one failed server and the next
    std::ostream* log = &std::cerr;
};

struct OverpassDownloadResult {
    bool saved = false;
    bool cancelled = false;  // the waiting callback said stop; error then says so
    std::string error;       // translated reason for the user when not saved
};

inline constexpr const char* OverpassUserAgent = "Pathlark/0.0.0 (GPX map download)";

// Only errors of the file system while deleting the .part file escape as exceptions.
OverpassDownloadResult downloadOverpassMap(const std::string& query, const std::filesystem::path& target,
                                           const OverpassDownloadSettings& settings);

// libcurl write callback: appends to the std::ostream given as user data; 0
// (which aborts the transfer) once the stream has failed.
std::size_t writeToStream(char* data, std::size_t size, std::size_t count, void* stream);

// Whether a saved answer looks like map data: "<osm" near the start and no
// "<remark>", which is how Overpass reports a failed query with status 200,
// and "</osm>" at the end, so an answer cut off mid-way is not taken for a map.
bool looksLikeOsmAnswer(const std::filesystem::path& file);

// " (380 kB)", " (1.4 MB)": the amount received, for the status line; empty for 0.
std::string receivedAmountText(std::uint64_t bytes);

} // namespace pathlark
