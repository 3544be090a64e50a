#pragma once
// Antialiased fills and strokes for the map layer, drawn straight into the
// pixels of an ARGB32 image surface.
//
// cairo strokes every polyline through a general stroker and composites each
// translucent pixel row through pixman's general path, which made a layer of
// 30,000 features take a third of a second. The layer needs only polygons and
// polylines with round or butt ends, solid or dashed, in one colour each.
// Those are drawn here with the coverage cairo gives them (the share of each
// pixel inside the shape) and blended with pixman's arithmetic, so the picture
// stays the same within a few levels on antialiased edges.

#include <cairo.h>

#include <cstdint>
#include <span>
#include <vector>

namespace pathlark {

// Straight colour components 0..1, as given to cairo_set_source_rgba.
struct RasterColor {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    double alpha = 1.0;
};

enum class FillRule { NonZero, EvenOdd };

// Ends of open polylines and of dashes.
enum class LineEnds { Round, Butt };
// Miters longer than ten half-widths are cut square, as cairo's default limit does.
enum class LineJoins { Round, Miter };

struct StrokeStyle {
    double width = 1.0; // pixels
    LineEnds ends = LineEnds::Round;
    LineJoins joins = LineJoins::Round;
    // On, off, on, ... lengths in pixels, restarting with every sub-path; empty for a solid line.
    std::span<const double> dashes;
};

// How much of a pixel a disc covers, by the offset of the pixel's centre
// from the disc's, sampled every `step` pixels along each axis.
struct DiscCoverage {
    double radius = 0.0;
    double step = 0.0;
    int size = 0; // samples per axis, from offset 0
    std::vector<float> values;
};

// Working memory of a raster, kept from one layer to the next so a rebuild
// does not fault in and clear ten megabytes first. All of it is left zeroed.
struct RasterBuffers {
    std::vector<DiscCoverage> discs; // one per stroke radius in use
    std::vector<float> area;         // per pixel (two spare columns): signed coverage steps of a fill
    std::vector<std::uint8_t> mask;  // per pixel of the stroke's box: its coverage
    std::vector<std::int32_t> rowMin; // per row: first and last column touched, min > max when none
    std::vector<std::int32_t> rowMax;
};

class MapRaster {
public:
    // Draws into `surface`, an ARGB32 image surface (anything else is ignored),
    // with every path coordinate shifted by (offsetX, offsetY).
    MapRaster(cairo_surface_t* surface, double offsetX, double offsetY, RasterBuffers& buffers);
    // Tells cairo the pixels changed under it.
    ~MapRaster();
    MapRaster(const MapRaster&) = delete;
    MapRaster& operator=(const MapRaster&) = delete;

    void newPath();
    void moveTo(double x, double y);
    void lineTo(double x, double y);
    void closePath();

    // Both keep the path. Every sub-path is filled as if closed.
    void fill(FillRule rule, RasterColor color);
    void stroke(const StrokeStyle& style, RasterColor color);

private:
    struct SubPath {
        std::size_t begin = 0;
        std::size_t end = 0;
        bool closed = false;
    };
    struct Point {
        double x = 0.0;
        double y = 0.0;
    };

    // How a segment of a stroke ends: open where the neighbouring segment
    // draws the joint, a round join, its band running on half a pixel past a
    // gentle joint, a round cap, or cut square.
    enum class SegmentEnd : std::uint8_t { Open, Join, Extend, Cap, Butt };

    void addEdge(Point from, Point to);
    void accumulate(double x0, double y0, double x1, double y1, float direction);
    void strokePiece(std::span<const Point> points, bool closed, LineEnds ends, const DiscCoverage& disc);
    void strokeDashed(std::span<const Point> points, bool closed, const StrokeStyle& style, const DiscCoverage& disc);
    void strokeSegment(Point a, Point b, SegmentEnd start, SegmentEnd end, Point next, const DiscCoverage& disc);
    void strokeDisc(Point centre, Point ahead, double beyond, const Point* leaving, const DiscCoverage& disc);
    void strokeMiter(Point joint, Point arriving, Point leaving, double radius);
    const DiscCoverage& discOfRadius(double radius);
    void touch(int y, int x0, int x1);
    void compositeFill(FillRule rule, std::uint32_t source);
    void compositeMask(std::uint32_t source);

    std::uint32_t* m_pixels = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_stride = 0; // in pixels
    double m_offsetX = 0.0;
    double m_offsetY = 0.0;
    cairo_surface_t* m_surface = nullptr;
    RasterBuffers& m_buffers;
    int m_top = 0; // rows touched since the last composite
    int m_bottom = -1;

    std::vector<Point> m_points;
    std::vector<Point> m_moving; // scratch: a polyline without repeated points
    std::vector<Point> m_directions; // scratch: its segments' unit directions and lengths
    std::vector<double> m_lengths;
    struct Span {
        int y = 0;
        int from = 0;
        int to = 0;
    };
    std::vector<Span> m_spans; // where the stroke being drawn has set its mask
    bool m_miterJoins = false; // of the stroke being drawn
    // The box the stroke being drawn can touch, and so its mask's extent.
    int m_clipLeft = 0;
    int m_clipRight = 0; // exclusive
    int m_clipTop = 0;
    int m_clipBottom = 0; // exclusive
    // The mask's row y, indexed by image column minus m_clipLeft.
    std::uint8_t* maskRow(int y)
    {
        return m_buffers.mask.data() + std::size_t(y - m_clipTop) * std::size_t(m_clipRight - m_clipLeft);
    }
    std::vector<SubPath> m_subPaths;
};

} // namespace pathlark
