#pragma once
// Small tracks, image surfaces and pixel probes shared by the view tests.

#include "track/Track.h"
#include "view/MapProjection.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>

namespace viewtest {

constexpr int kTolerance = 3;

struct PointSpec {
    double lat = 0.0, lon = 0.0, ele = 0.0;
    std::int32_t time = 0;
};

inline void addPoint(Track& track, PointSpec spec)
{
    auto point = std::make_unique<WayPoint>();
    point->setLat(spec.lat);
    point->setLon(spec.lon);
    point->setEle(spec.ele);
    point->setTime(spec.time);
    track.addWayPoint(std::move(point));
}

inline std::unique_ptr<Track> makeTrack(std::initializer_list<PointSpec> points)
{
    auto track = std::make_unique<Track>();
    for (const PointSpec& spec : points)
        addPoint(*track, spec);
    return track;
}

inline testing::AssertionResult isAt(pathlark::ScreenPoint p, double x, double y, double tolerance = 1e-6)
{
    if (std::abs(p.x - x) <= tolerance && std::abs(p.y - y) <= tolerance)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "expected (" << x << ", " << y << "), got (" << p.x << ", " << p.y << ")";
}

struct Rgb {
    int r = 0, g = 0, b = 0;
};

// The colour at (x, y), un-premultiplied, channels 0..255.
inline Rgb pixelAt(cairo_surface_t* surface, int x, int y)
{
    cairo_surface_flush(surface);
    const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    std::uint32_t word = reinterpret_cast<const std::uint32_t*>(row)[x];
    int a = (word >> 24) & 0xFF;
    auto channel = [a](int premultiplied) { return a == 0 ? 0 : (premultiplied * 255 + a / 2) / a; };
    return Rgb{channel((word >> 16) & 0xFF), channel((word >> 8) & 0xFF), channel(word & 0xFF)};
}

// The colour a fully covered pixel gets from painting (r, g, b, alpha) over `under`.
inline Rgb blend(double r, double g, double b, double alpha, Rgb under = Rgb{})
{
    auto mix = [alpha](double top, int bottom) { return int(top * 255.0 * alpha + bottom * (1.0 - alpha) + 0.5); };
    return Rgb{mix(r, under.r), mix(g, under.g), mix(b, under.b)};
}

inline Rgb rgb(double r, double g, double b) { return blend(r, g, b, 1.0); }

inline testing::AssertionResult rgbNear(Rgb expected, Rgb actual, int tolerance)
{
    auto close = [tolerance](int a, int b) { return std::abs(a - b) <= tolerance; };
    if (close(expected.r, actual.r) && close(expected.g, actual.g) && close(expected.b, actual.b))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "expected rgb(" << expected.r << ", " << expected.g << ", " << expected.b
                                       << "), got rgb(" << actual.r << ", " << actual.g << ", " << actual.b << ")";
}

// An ARGB image surface and its context, freed together.
struct Canvas {
    Canvas(int width, int height)
        : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)), cr(cairo_create(surface))
    {
    }
    ~Canvas()
    {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    Rgb at(double x, double y) const { return pixelAt(surface, int(x), int(y)); }

    cairo_surface_t* surface;
    cairo_t* cr;
};

// The share of pixels whose colours, composed over `background`, differ by
// more than `tolerance` in some channel. Both images the same size.
inline double differingShare(cairo_surface_t* a, cairo_surface_t* b, Rgb background, int tolerance)
{
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    int width = cairo_image_surface_get_width(a);
    int height = cairo_image_surface_get_height(a);
    auto over = [&](std::uint32_t pixel, int shift, int under) {
        return int((pixel >> shift) & 0xFF) + under * (255 - int(pixel >> 24)) / 255;
    };
    long differing = 0;
    for (int y = 0; y < height; ++y) {
        auto* rowA = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(a)
                                                            + y * cairo_image_surface_get_stride(a));
        auto* rowB = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(b)
                                                            + y * cairo_image_surface_get_stride(b));
        for (int x = 0; x < width; ++x) {
            int unders[3] = {background.r, background.g, background.b};
            for (int channel = 0; channel < 3; ++channel)
                if (std::abs(over(rowA[x], 16 - 8 * channel, unders[channel])
                             - over(rowB[x], 16 - 8 * channel, unders[channel]))
                    > tolerance) {
                    ++differing;
                    break;
                }
        }
    }
    return double(differing) / (double(width) * height);
}

} // namespace viewtest

// Per-channel comparison of un-premultiplied colours; messages can be streamed after it.
#define EXPECT_RGB_NEAR(expected, actual, tolerance) EXPECT_TRUE(viewtest::rgbNear((expected), (actual), (tolerance)))
