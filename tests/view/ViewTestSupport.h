#pragma once
// Small tracks, image surfaces and pixel probes shared by the view tests.

#include "track/Track.h"
#include "view/MapProjection.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
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

inline std::unique_ptr<Track> makeTrack(std::initializer_list<PointSpec> points)
{
    auto track = std::make_unique<Track>();
    for (const PointSpec& spec : points) {
        auto point = std::make_unique<WayPoint>();
        point->setLat(spec.lat);
        point->setLon(spec.lon);
        point->setEle(spec.ele);
        point->setTime(spec.time);
        track->addWayPoint(std::move(point));
    }
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
    int distance(Rgb o) const { return std::max({std::abs(r - o.r), std::abs(g - o.g), std::abs(b - o.b)}); }
};

// The colour at (x, y) composed over `under` (the premultiplied pixel un-premultiplied when `under` is omitted).
inline Rgb pixelAt(cairo_surface_t* surface, int x, int y, const Rgb* under = nullptr)
{
    const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    const std::uint32_t word = reinterpret_cast<const std::uint32_t*>(row)[x];
    const int a = int(word >> 24);
    auto channel = [&](int shift, int bottom) {
        int premultiplied = int(word >> shift) & 0xFF;
        return under ? premultiplied + bottom * (255 - a) / 255 : a == 0 ? 0 : (premultiplied * 255 + a / 2) / a;
    };
    return Rgb{channel(16, under ? under->r : 0), channel(8, under ? under->g : 0), channel(0, under ? under->b : 0)};
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
    if (expected.distance(actual) <= tolerance)
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
    Rgb at(double x, double y) const { return cairo_surface_flush(surface), pixelAt(surface, int(x), int(y)); }

    cairo_surface_t* surface;
    cairo_t* cr;
};

// The share of pixels whose colours, composed over `background`, differ by
// more than `tolerance` in some channel. Both images the same size.
inline double differingShare(cairo_surface_t* a, cairo_surface_t* b, Rgb background, int tolerance)
{
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    const int width = cairo_image_surface_get_width(a), height = cairo_image_surface_get_height(a);
    long differing = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            differing += pixelAt(a, x, y, &background).distance(pixelAt(b, x, y, &background)) > tolerance;
    return double(differing) / (double(width) * height);
}

} // namespace viewtest

// Per-channel comparison of un-premultiplied colours; messages can be streamed after it.
#define EXPECT_RGB_NEAR(expected, actual, tolerance) EXPECT_TRUE(viewtest::rgbNear((expected), (actual), (tolerance)))
