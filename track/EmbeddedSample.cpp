#include "track/EmbeddedSample.h"

#include <cstddef>

// Generated at build time from data/sample.gpx.
extern const unsigned char embeddedSampleGpxData[];
extern const std::size_t embeddedSampleGpxData_size;

std::string_view embeddedSampleGpx()
{
    return { reinterpret_cast<const char*>(embeddedSampleGpxData), embeddedSampleGpxData_size };
}
