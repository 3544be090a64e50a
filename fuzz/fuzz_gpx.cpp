// libFuzzer target: any bytes through the GPX reader and the statistics of
// whatever tracks come out. Limit errors are an expected answer.

#include "track/GpxReader.h"
#include "track/TrackStatistics.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        auto gpx = readGpxString(std::string_view(reinterpret_cast<const char*>(data), size));
        if (!gpx)
            return 0;
        for (int i = 0; i < gpx->getTrackCount(); ++i) {
            const Track& track = *gpx->getTrack(i);
            if (auto stats = trackStatistics(track)) {
                formatDuration(stats->duration);
                formatFixed(stats->average, 1, " km/h");
            }
            stretchStatistics(track, 0, track.getWayPointCount() - 1);
        }
    } catch (const GpxLimitError&) {
    }
    return 0;
}
