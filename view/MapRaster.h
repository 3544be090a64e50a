#pragma once
// Antialiased fills and strokes for the map layer, drawn straight into the
// pixels of an ARGB32 image surface.
//
// cairo composites every translucent pixel row of a fill or stroke through
// pixman's general path and strokes through a general stroker, which made a
// layer of 30,000 features take a third of a second. The layer needs only
// polygons and polylines in one solid colour each. Those are drawn here with
// the coverage cairo gives them (the share of each pixel inside the shape)
// and blended with pixman's arithmetic, so the picture stays the same within
// a few levels on antialiased edges.

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
// Miters reaching out more than ten half-widths are cut square, as with
// cairo's default limit.
enum class LineJoins { Round, Miter };

struct StrokeStyle {
    double width = 1.0; // pixels
    LineEnds ends = LineEnds::Round;
    LineJoins joins = LineJoins::Round;
    // On, off, on, ... lengths in pixels, restarting with every sub-path; empty for a solid line.
    std::span<const double> dashes;
};

struct PenVertex {
    double x = 0.0; // unit vector
    double y = 0.0;
};

// The polygon cairo draws for a circle of this radius.
struct Pen {
    double radius = 0.0;
    std::vector<PenVertex> vertices;
};

// Working memory of a raster, kept from one layer to the next so a rebuild
// neither allocates nor clears it. `area` and the row bounds are left zeroed.
struct RasterBuffers {
    std::vector<float> area; // per pixel of the shape's box, six spare columns a row: signed coverage steps
    std::vector<std::int32_t> rowMin; // per row of the image: first and last cell touched, min > max when none
    std::vector<std::int32_t> rowMax;
    std::vector<Pen> pens; // one per stroke width in use
};

class MapRaster {
public:
    // Draws into `surface`, an ARGB32 image surface (anything else is ignored),
    // with every path coordinate shifted by (offsetX, offsetY).
    MapRaster(cairo_surface_t* surface, double offsetX, double offsetY, RasterBuffers& buffers);
    // Draws only rows firstRow..endRow-1, exactly as the whole image would
    // have them, so bands drawn on several threads make the same picture.
    // The caller flushes the surface before and marks it dirty after.
    MapRaster(cairo_surface_t* surface, double offsetX, double offsetY, RasterBuffers& buffers, int firstRow,
              int endRow);
    // Tells cairo the pixels changed under it (whole images only).
    ~MapRaster();
    MapRaster(const MapRaster&) = delete;
    MapRaster& operator=(const MapRaster&) = delete;

    void newPath();
    void moveTo(double x, double y);
    void lineTo(double x, double y);
    void closePath();

    // True when nothing between these heights (path coordinates) can touch
    // the rows drawn.
    bool missesRows(double minY, double maxY) const;

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

    bool beginArea(double minX, double maxX, double minY, double maxY);
    // beginArea over the path's points, widened by `reach` on every side.
    bool beginPathArea(double reach);
    void addEdge(Point from, Point to);
    void compositeFill(FillRule rule, std::uint32_t source);

    const std::vector<PenVertex>& penOfRadius(double radius);
    void strokeDashed(std::span<const Point> points, bool closed, std::span<const double> dashes, double period,
                      double radius);
    void outlinePiece(std::span<const Point> points, bool closed, double radius);
    void outlineJoin(Point joint, Point arriving, Point leaving, double lengthIn, double lengthOut, double radius);
    void outlineCap(Point end, Point ahead, double radius);
    void outlineArc(Point centre, Point from, Point to, double radius);
    void accumulateContour();


    std::uint32_t* m_pixels = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_stride = 0; // in pixels
    double m_offsetX = 0.0;
    double m_offsetY = 0.0;
    cairo_surface_t* m_surface = nullptr;
    bool m_band = false;
    int m_firstRow = 0;
    int m_endRow = 0;
    RasterBuffers& m_buffers;

    std::vector<Point> m_points;
    std::vector<SubPath> m_subPaths;

    // The box of the shape being drawn: its cells' first column and row, and cells a row.
    int m_areaLeft = 0;
    int m_areaTop = 0;
    int m_areaBottom = 0; // the row below the box
    int m_areaStride = 0;

    // The stroke being drawn, and scratch space for its pieces.
    bool m_miterJoins = false;
    bool m_roundCaps = false;
    const std::vector<PenVertex>* m_pen = nullptr;
    std::vector<Point> m_piece;
    std::vector<Point> m_moving;     // a piece without repeated points
    std::vector<Point> m_directions; // its segments' unit directions and lengths
    std::vector<double> m_lengths;
    std::vector<Point> m_contour;    // the outline being built
};

} // namespace pathlark
