// libFuzzer target for the OSM reader; see fuzz/CMakeLists.txt for building
// it with clang and running it.
// The reader may reject input with an exception; it must never crash, hang or
// leak, whatever the bytes.

#include "map/OsmReader.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        std::vector<pathlark::MapFeature> features =
            pathlark::readOsmText(std::string_view(reinterpret_cast<const char*>(data), size));
        for (const pathlark::MapFeature& feature : features) {
            if (feature.points.size() < 2)
                __builtin_trap();
            (void)pathlark::drawOrderKey(feature);
        }
    } catch (const std::exception&) {
    }
    return 0;
}
