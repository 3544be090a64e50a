// libFuzzer target for the FIT reader: any bytes read safely, and what comes
// back keeps the reader's promises.

#include "track/FitReader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ActivityRead read = readFit(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read.gpx)
        return 0;
    const Gpx& gpx = *read.gpx;
    // Empty tracks are dropped, and every point costs at least a byte of the
    // bytes it was read from.
    std::size_t points = 0;
    for (int i = 0; i < gpx.getTrackCount(); ++i) {
        const Track* track = gpx.getTrack(i);
        if (track->getWayPointCount() == 0)
            __builtin_trap();
        points += static_cast<std::size_t>(track->getWayPointCount());
        for (int j = 0; j < track->getWayPointCount(); ++j) {
            const WayPoint* point = track->getWayPoint(j);
            std::string_view time = point->getTimeString();
            if (!(point->getLat() >= -180 && point->getLat() <= 180) || (!time.empty() && time.size() != 20))
                __builtin_trap();
        }
    }
    if (points > size)
        __builtin_trap();
    return 0;
}
