// Index:
// [SECTION] Pixels: colour and blending
// [SECTION] Path
// [SECTION] Fill: exact area coverage
// [SECTION] Stroke: the outline, filled

#include "view/MapRaster.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <numbers>

namespace pathlark {

//-----------------------------------------------------------------------------
// [SECTION] Pixels: colour and blending
//-----------------------------------------------------------------------------

namespace {

double unit(double v)
{
    return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0);
}

// Premultiplied ARGB with cairo's rounding: components go to 16 bits, and
// pixman keeps their high bytes.
std::uint32_t premultiply(RasterColor color)
{
    double alpha = unit(color.alpha);
    auto byte = [](double v) { return std::uint32_t(std::uint16_t(v * 65535.0 + 0.5) >> 8); };
    return byte(alpha) << 24 | byte(unit(color.red) * alpha) << 16 | byte(unit(color.green) * alpha) << 8
        | byte(unit(color.blue) * alpha);
}

// Four pixels at a time: their channels in 16-bit lanes, or whole in 32-bit ones.
using Lanes16 = std::uint16_t __attribute__((vector_size(16)));
using Lanes32 = std::uint32_t __attribute__((vector_size(16)));

// Each lane times a / 255, rounded the way pixman does it.
[[gnu::always_inline]] inline Lanes16 times(Lanes16 x, Lanes16 a)
{
    Lanes16 t = x * a + 0x80;
    return (t + (t >> 8)) >> 8;
}

// The source in each pixel's coverage (0..255), over the pixel: pixman's OVER
// with an a8 mask. pixman saturates the sum; with premultiplied colours it
// never needs to. A pixel without coverage comes out as it was.
[[gnu::always_inline]] inline Lanes32 blend(Lanes32 pixels, Lanes32 coverage, Lanes32 source)
{
    Lanes16 k = Lanes16(coverage | coverage << 16);
    Lanes32 redBlue = Lanes32(times(Lanes16(source & 0xff00ff), k));
    Lanes32 alphaGreen = Lanes32(times(Lanes16((source >> 8) & 0xff00ff), k));
    Lanes32 keep = 255 - (alphaGreen >> 16);
    k = Lanes16(keep | keep << 16);
    redBlue += Lanes32(times(Lanes16(pixels & 0xff00ff), k));
    alphaGreen += Lanes32(times(Lanes16((pixels >> 8) & 0xff00ff), k));
    return redBlue | alphaGreen << 8;
}

using Floats = float __attribute__((vector_size(16)));
using Ints = std::int32_t __attribute__((vector_size(16)));

// Coverage 0..255 from winding-weighted areas.
template<FillRule rule>
Lanes32 coverageOf(Floats sum)
{
    Floats v = Floats(Ints(sum) & 0x7fffffff);
    Floats one = {1.0f, 1.0f, 1.0f, 1.0f};
    if constexpr (rule == FillRule::EvenOdd) {
        v -= 2.0f * __builtin_convertvector(__builtin_convertvector(v * 0.5f, Ints), Floats);
        v = v < 2.0f - v ? v : 2.0f - v;
    } else {
        v = v < one ? v : one;
    }
    return Lanes32(__builtin_convertvector(v * 255.0f + 0.5f, Ints));
}

// One row of a shape: the running sum of cells[0..count) (count a multiple
// of four, the cells cleared on the way) gives each pixel its coverage, and
// the source is blended into the first `shown` pixels under it.
template<FillRule rule>
void compositeRow(float* cells, int count, std::uint32_t* pixels, int shown, std::uint32_t source)
{
    Lanes32 sources = {source, source, source, source};
    std::uint32_t keep = 255 - (source >> 24);
    Lanes16 keeps = Lanes16(Lanes32{keep, keep, keep, keep} * 0x10001);
    constexpr std::uint64_t kFull = 0x000000ff000000ffULL;
    auto apply = [&](int x, Lanes32 coverage) __attribute__((always_inline)) {
        std::uint64_t halves[2];
        std::memcpy(halves, &coverage, 16);
        // Between the two sides of an outline nothing is covered.
        if ((halves[0] | halves[1]) == 0)
            return;
        if (x + 4 > shown) {
            for (int i = 0; i < shown - x; ++i)
                pixels[x + i] = blend(Lanes32{pixels[x + i]}, Lanes32{coverage[i]}, sources)[0];
            return;
        }
        Lanes32 p;
        std::memcpy(&p, pixels + x, 16);
        if (halves[0] == kFull && halves[1] == kFull)
            p = sources + (Lanes32(times(Lanes16(p & 0xff00ff), keeps)) | Lanes32(times(Lanes16((p >> 8) & 0xff00ff), keeps)) << 8);
        else
            p = blend(p, coverage, sources);
        std::memcpy(pixels + x, &p, 16);
    };
    Floats sum = {};
    Lanes32 coverage = {};
    for (int x = 0; x < count; x += 4) {
        std::uint64_t halves[2];
        std::memcpy(halves, cells + x, 16);
        // Where no edge passed, the coverage stays: inside an area, and between an outline's sides.
        if ((halves[0] | halves[1]) == 0) {
            apply(x, coverage);
            continue;
        }
        Floats v;
        std::memcpy(&v, cells + x, 16);
        std::memset(cells + x, 0, 16);
        v += __builtin_shufflevector(v, Floats{}, 4, 0, 1, 2);
        v += __builtin_shufflevector(v, Floats{}, 4, 4, 0, 1);
        v += __builtin_shufflevector(sum, sum, 3, 3, 3, 3);
        sum = v;
        Lanes32 c = coverageOf<rule>(v);
        apply(x, c);
        coverage = __builtin_shufflevector(c, c, 3, 3, 3, 3);
    }
    // A shape reaching past the right edge still covers the rest of the row.
    if (coverage[0])
        for (int x = count; x < shown; x += 4)
            apply(x, coverage);
}

// The angle of (x, y), within a few thousandths of a radian.
double roughAngle(double x, double y)
{
    double ax = std::fabs(x);
    double ay = std::fabs(y);
    double z = std::min(ax, ay) / std::max(ax, ay);
    double angle = z * (0.25 * std::numbers::pi + 0.273 * (1.0 - z));
    if (ay > ax)
        angle = 0.5 * std::numbers::pi - angle;
    if (x < 0.0)
        angle = std::numbers::pi - angle;
    return y < 0.0 ? -angle : angle;
}

int clampToInt(double v, int low, int high)
{
    return v <= low ? low : v >= high ? high : int(v);
}

} // namespace

MapRaster::MapRaster(cairo_surface_t* surface, double offsetX, double offsetY, RasterBuffers& buffers)
    : MapRaster(surface, offsetX, offsetY, buffers, 0, INT_MAX)
{
    m_band = false;
    if (m_surface)
        cairo_surface_flush(m_surface);
}

MapRaster::MapRaster(cairo_surface_t* surface, double offsetX, double offsetY, RasterBuffers& buffers, int firstRow,
                     int endRow)
    : m_offsetX(offsetX)
    , m_offsetY(offsetY)
    , m_band(true)
    , m_buffers(buffers)
{
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS
        || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE
        || cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32)
        return;
    m_surface = surface;
    m_pixels = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface));
    m_width = cairo_image_surface_get_width(surface);
    m_height = cairo_image_surface_get_height(surface);
    m_stride = cairo_image_surface_get_stride(surface) / 4;
    if (!m_pixels || m_width <= 0 || m_height <= 0) {
        m_surface = nullptr;
        m_width = m_height = 0;
        return;
    }
    m_firstRow = std::clamp(firstRow, 0, m_height);
    m_endRow = std::clamp(endRow, m_firstRow, m_height);
    // The buffers are always left zeroed, so only a new size needs clearing.
    if (buffers.rowMin.size() != std::size_t(m_height)) {
        buffers.rowMin.assign(std::size_t(m_height), INT_MAX);
        buffers.rowMax.assign(std::size_t(m_height), INT_MIN);
    }
}

MapRaster::~MapRaster()
{
    if (m_surface && !m_band)
        cairo_surface_mark_dirty(m_surface);
}

//-----------------------------------------------------------------------------
// [SECTION] Path
//-----------------------------------------------------------------------------

void MapRaster::newPath()
{
    m_points.clear();
    m_subPaths.clear();
}

namespace {

// Coordinates come from map files and a projection at any zoom. Finite ones
// are kept within a range where no sum or product of two can overflow (far
// beyond any image, so nothing visible changes); the others stay not
// finite and are left out when drawing.
constexpr double kFarAway = 1e12;

double bounded(double v)
{
    return std::isfinite(v) ? std::clamp(v, -kFarAway, kFarAway) : v;
}

} // namespace

void MapRaster::moveTo(double x, double y)
{
    m_subPaths.push_back(SubPath{m_points.size(), m_points.size() + 1, false});
    m_points.push_back(Point{bounded(x + m_offsetX), bounded(y + m_offsetY)});
}

void MapRaster::lineTo(double x, double y)
{
    if (m_subPaths.empty() || m_subPaths.back().closed) {
        moveTo(x, y);
        return;
    }
    m_points.push_back(Point{bounded(x + m_offsetX), bounded(y + m_offsetY)});
    m_subPaths.back().end = m_points.size();
}

void MapRaster::closePath()
{
    if (!m_subPaths.empty())
        m_subPaths.back().closed = true;
}

bool MapRaster::missesRows(double minY, double maxY) const
{
    // A row of margin covers rounding and the pixel a stroke's box adds.
    return maxY + m_offsetY + 2.0 < m_firstRow || minY + m_offsetY - 2.0 > m_endRow;
}

//-----------------------------------------------------------------------------
// [SECTION] Fill: exact area coverage
//-----------------------------------------------------------------------------
// Each edge adds, to the pixels it crosses, the signed share of the pixel to
// its right, and to the next pixel the rest of its height; a running sum
// along the row then gives every pixel its winding-weighted area. Unlike
// cairo's fifteen sub-rows this is exact in both directions, so the two agree
// to within the sub-row error on near-horizontal edges.

namespace {

// The cells of the shape being drawn, in registers while its edges are added.
struct Cells {
    float* area;
    std::ptrdiff_t stride;
    int top;
    int left;
    std::int32_t* rowMin;
    std::int32_t* rowMax;
    int firstRow; // the rows drawn
    int endRow;
};

// The part of an edge within row y, from column xa to xb (from the box's
// left edge), `height` high, signed by the edge's direction: each cell it
// crosses gets the share of the pixel right of the edge, less what the
// cells before it already got, so a running sum gives every pixel its area.
[[gnu::always_inline]] inline void addSpan(const Cells& c, int y, double xa, double xb, double height)
{
    float* cells = c.area + (y - c.top) * c.stride;
    double left = xa < xb ? xa : xb;
    double right = xa < xb ? xb : xa;
    int first = int(left);
    double border = first + 1.0;
    int end; // one past the last cell changed
    if (right <= border) {
        // Within one cell, as most edges of a map are.
        double share = height * (border - 0.5 * (left + right));
        cells[first] += float(share);
        cells[first + 1] += float(height - share);
        end = first + 2;
    } else if (right <= border + 1.0) {
        double half = 0.5 * height / (right - left);
        double share = half * (border - left) * (border - left);
        double beyond = half * (right - border) * (right - border);
        cells[first] += float(share);
        cells[first + 1] += float(height - share - beyond);
        cells[first + 2] += float(beyond);
        end = first + 3;
    } else {
        // The area right of the edge up to a cell's right side, per unit of height.
        int last = int(right);
        last -= last == right;
        double perWidth = height / (right - left);
        double before = 0.5 * (border - left) * (border - left) * perWidth;
        cells[first] += float(before);
        for (int cell = first + 1; cell < last; ++cell) {
            double area = (cell - left + 0.5) * perWidth;
            cells[cell] += float(area - before);
            before = area;
        }
        double b = right - last;
        double area = (last - left + b - 0.5 * b * b) * perWidth;
        cells[last] += float(area - before);
        cells[last + 1] += float(height - area);
        end = last + 2;
    }
    std::int32_t& rowMin = c.rowMin[y];
    std::int32_t& rowMax = c.rowMax[y];
    rowMin = std::min(rowMin, first + c.left);
    rowMax = std::max(rowMax, end - 1 + c.left);
}

// An edge within the image from (x0, y0) down to (x1, y1), y0 < y1, its
// height signed by `direction`: its part in each row it crosses.
[[gnu::always_inline]] inline void addEdgeInside(const Cells& c, double x0, double y0, double x1, double y1,
                                                 double direction)
{
    x0 -= c.left;
    x1 -= c.left;
    int y = int(y0);
    double below = y + 1.0;
    if (y1 <= below) {
        if (y >= c.firstRow && y < c.endRow)
            addSpan(c, y, x0, x1, (y1 - y0) * direction);
        return;
    }
    // Each row's ends worked out from the edge's, so long edges gather no
    // error, and a band's rows get the very numbers the whole image would.
    double dxdy = (x1 - x0) / (y1 - y0);
    double x = x0;
    double top = y0;
    if (y < c.firstRow) {
        y = c.firstRow;
        top = y;
        below = y + 1.0;
        x = x0 + dxdy * (top - y0);
        if (y1 <= top)
            return;
    }
    int last = std::min(c.endRow, int(std::ceil(y1))) - 1; // the last row drawn
    for (; y1 > below && y <= last; ++y, below += 1.0) {
        double next = x0 + dxdy * (below - y0);
        addSpan(c, y, x, next, (below - top) * direction);
        x = next;
        top = below;
    }
    if (y <= last)
        addSpan(c, y, x, x1, (y1 - top) * direction);
}

} // namespace

// Edges add their steps into a buffer over the shape's box only: small
// shapes, most of a map, then stay in the cache from one to the next.
bool MapRaster::beginArea(double minX, double maxX, double minY, double maxY)
{
    m_areaLeft = clampToInt(std::floor(minX), 0, m_width);
    int right = clampToInt(std::ceil(maxX), 0, m_width);
    m_areaTop = clampToInt(std::floor(minY), m_firstRow, m_endRow);
    m_areaBottom = clampToInt(std::ceil(maxY), m_firstRow, m_endRow);
    if (m_areaLeft > right || m_areaTop >= m_areaBottom)
        return false;
    // Cells run to the right edge's column and two beyond it, and three
    // more that stay zero, so rows can be summed four cells at a time.
    m_areaStride = right - m_areaLeft + 6;
    std::size_t size = std::size_t(m_areaStride) * std::size_t(m_areaBottom - m_areaTop);
    if (m_buffers.area.size() < size)
        m_buffers.area.resize(size, 0.0f);
    return true;
}

bool MapRaster::beginPathArea(double reach)
{
    double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
    for (const Point& p : m_points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    return beginArea(minX - reach, maxX + reach, minY - reach, maxY + reach);
}

void MapRaster::fill(FillRule rule, RasterColor color)
{
    if (!m_surface)
        return;
    if (!beginPathArea(0.0))
        return;
    for (const SubPath& path : m_subPaths) {
        // A point that is not finite is left out; the ring stays closed, as
        // an open one would fill everything to its right.
        m_contour.clear();
        for (std::size_t i = path.begin; i < path.end; ++i)
            if (std::isfinite(m_points[i].x) && std::isfinite(m_points[i].y))
                m_contour.push_back(m_points[i]);
        accumulateContour();
    }
    compositeFill(rule, premultiply(color));
}

// The edges of the closed polygon in m_contour.
void MapRaster::accumulateContour()
{
    std::size_t count = m_contour.size();
    if (count < 2)
        return;
    // Polygons within the image, nearly all of them, need no clipping; a
    // point that is not finite fails the test too.
    bool inside = true;
    for (const Point& p : m_contour)
        inside &= p.x >= 0.0 && p.x <= m_width && p.y >= 0.0 && p.y <= m_height;
    if (!inside) {
        for (std::size_t i = 0; i < count; ++i)
            addEdge(m_contour[i], m_contour[i + 1 < count ? i + 1 : 0]);
        return;
    }
    Cells cells{m_buffers.area.data(), m_areaStride, m_areaTop, m_areaLeft, m_buffers.rowMin.data(),
                m_buffers.rowMax.data(), m_firstRow, m_endRow};
    Point from = m_contour[count - 1];
    for (const Point& to : m_contour) {
        bool down = from.y < to.y;
        Point top = down ? from : to;
        Point bottom = down ? to : from;
        if (from.y != to.y)
            addEdgeInside(cells, top.x, top.y, bottom.x, bottom.y, down ? 1.0 : -1.0);
        from = to;
    }
}

void MapRaster::addEdge(Point from, Point to)
{
    double x0 = from.x, y0 = from.y, x1 = to.x, y1 = to.y;
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1) || y0 == y1)
        return;
    double direction = 1.0;
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        direction = -1.0;
    }
    const double width = m_width;
    const double height = m_height;
    if (y1 <= m_firstRow || y0 >= m_endRow)
        return;
    Cells cells{m_buffers.area.data(), m_areaStride, m_areaTop, m_areaLeft, m_buffers.rowMin.data(),
                m_buffers.rowMax.data(), m_firstRow, m_endRow};
    if (y0 >= 0.0 && y1 <= height && x0 >= 0.0 && x0 <= width && x1 >= 0.0 && x1 <= width) {
        addEdgeInside(cells, x0, y0, x1, y1, direction);
        return;
    }
    // Clip to the rows, interpolating from the original ends so that edges
    // thousands of pixels long at a high zoom stay exact.
    auto xAt = [&](double y) { return x0 + (x1 - x0) * ((y - y0) / (y1 - y0)); };
    double ya = std::max(y0, 0.0);
    double yb = std::min(y1, height);
    double xa = ya == y0 ? x0 : xAt(ya);
    double xb = yb == y1 ? x1 : xAt(yb);
    // Left of the image an edge still covers every pixel to its right, so it
    // runs down column 0 instead; right of the image it covers nothing here.
    double cuts[4] = {ya, yb, yb, yb};
    int count = 1;
    for (double column : {0.0, width})
        if ((xa - column) * (xb - column) < 0.0)
            cuts[count++] = ya + (yb - ya) * ((column - xa) / (xb - xa));
    if (count == 3 && cuts[2] < cuts[1])
        std::swap(cuts[1], cuts[2]);
    cuts[count++] = yb;
    auto xOn = [&](double y) { return xa + (xb - xa) * ((y - ya) / (yb - ya)); };
    for (int i = 0; i + 1 < count; ++i) {
        double top = cuts[i];
        double bottom = cuts[i + 1];
        if (bottom <= top)
            continue;
        double middle = xOn((top + bottom) / 2.0);
        if (middle >= width)
            continue;
        if (middle <= 0.0)
            addEdgeInside(cells, 0.0, top, 0.0, bottom, direction);
        else
            addEdgeInside(cells, std::clamp(xOn(top), 0.0, width), top, std::clamp(xOn(bottom), 0.0, width), bottom,
                          direction);
    }
}

void MapRaster::compositeFill(FillRule rule, std::uint32_t source)
{
    // The image is larger than the caches and a shape touches a few pixels
    // of each row: ask for the rows ahead while this one is blended.
    constexpr int kAhead = 6;
    auto prefetchRow = [&](int y) {
        int from = m_buffers.rowMin[std::size_t(y)];
        int to = m_buffers.rowMax[std::size_t(y)];
        const std::uint32_t* row = m_pixels + std::size_t(y) * std::size_t(m_stride);
        for (int x = from; x <= std::min(to, m_width - 1); x += 16)
            __builtin_prefetch(row + x, 1);
        if (from <= to && to < m_width)
            __builtin_prefetch(row + to, 1);
    };
    for (int y = m_areaTop; y < std::min(m_areaTop + kAhead, m_areaBottom); ++y)
        prefetchRow(y);
    for (int y = m_areaTop; y < m_areaBottom; ++y) {
        if (y + kAhead < m_areaBottom)
            prefetchRow(y + kAhead);
        int from = m_buffers.rowMin[std::size_t(y)];
        int to = m_buffers.rowMax[std::size_t(y)];
        if (from > to)
            continue;
        m_buffers.rowMin[std::size_t(y)] = INT_MAX;
        m_buffers.rowMax[std::size_t(y)] = INT_MIN;
        // Cells are kept from the box's left edge, pixels from the image's;
        // the last cells may lie beyond the image's right edge.
        float* cells = m_buffers.area.data() + std::size_t(y - m_areaTop) * std::size_t(m_areaStride)
            + std::size_t(from - m_areaLeft);
        std::uint32_t* pixels = m_pixels + std::size_t(y) * std::size_t(m_stride) + from;
        int count = (to - from + 4) & ~3;
        if (rule == FillRule::EvenOdd)
            compositeRow<FillRule::EvenOdd>(cells, count, pixels, m_width - from, source);
        else
            compositeRow<FillRule::NonZero>(cells, count, pixels, m_width - from, source);
    }
}

//-----------------------------------------------------------------------------
// [SECTION] Stroke: the outline, filled
//-----------------------------------------------------------------------------
// A stroke is drawn as the polygon around it, filled non-zero like any
// shape: each side's offset line, cut where it meets the next one inside a
// turn, taken round the outside of a turn and round the ends with cairo's pen
// (or mitered), and two rings for a closed sub-path. That is cairo's own
// construction, so the two agree to the antialiasing.

const std::vector<PenVertex>& MapRaster::penOfRadius(double radius)
{
    for (const Pen& pen : m_buffers.pens)
        if (pen.radius == radius)
            return pen.vertices;
    // A layer uses a dozen widths.
    if (m_buffers.pens.size() >= 32)
        m_buffers.pens.clear();
    // As many vertices as keep the polygon within a tenth of a pixel of the
    // circle, an even number, at least four: cairo's rule.
    constexpr double kTolerance = 0.1;
    int count = 4;
    if (kTolerance >= 4.0 * radius)
        count = 1;
    else if (kTolerance < radius)
        count = std::max(4, int(std::ceil(2.0 * std::numbers::pi / std::acos(1.0 - kTolerance / radius))));
    count += count % 2 && count > 1;
    Pen pen{radius, {}};
    for (int k = 0; k < count; ++k) {
        double angle = 2.0 * std::numbers::pi * k / count;
        pen.vertices.push_back(PenVertex{std::cos(angle), std::sin(angle)});
    }
    m_buffers.pens.push_back(std::move(pen));
    return m_buffers.pens.back().vertices;
}

void MapRaster::stroke(const StrokeStyle& style, RasterColor color)
{
    // Wider than any image is as good as infinitely wide, and keeps the pen finite.
    double radius = std::min(style.width / 2.0, 1e6);
    if (!m_surface || !(radius > 0.0))
        return;
    double period = 0.0;
    bool dashesValid = style.dashes.size() % 2 == 0;
    for (double length : style.dashes) {
        dashesValid = dashesValid && length >= 0.0 && std::isfinite(length);
        period += length;
    }
    // A pattern repeating within a tenth of a pixel looks solid, and would
    // cost a piece for every tenth of a pixel of the line.
    bool dashed = !style.dashes.empty() && dashesValid && period >= 0.1;
    m_miterJoins = style.joins == LineJoins::Miter;
    m_roundCaps = style.ends == LineEnds::Round;
    m_pen = &penOfRadius(radius);
    // Everything lies within reach of the path: a miter reaches out at most
    // ten half-widths.
    double reach = (m_miterJoins ? 10.0 * radius : radius) + 1.0;
    if (!beginPathArea(reach))
        return;
    for (const SubPath& path : m_subPaths) {
        std::span<const Point> points(m_points.data() + path.begin, path.end - path.begin);
        if (points.size() < 2)
            continue;
        if (dashed)
            strokeDashed(points, path.closed, style.dashes, period, radius);
        else
            outlinePiece(points, path.closed, radius);
    }
    compositeFill(FillRule::NonZero, premultiply(color));
}

void MapRaster::strokeDashed(std::span<const Point> points, bool closed, std::span<const double> dashes,
                             double period, double radius)
{
    std::size_t index = 0;
    double remaining = dashes[0];
    std::vector<Point>& piece = m_piece;
    piece.clear();
    auto finishPiece = [&] {
        if (piece.size() >= 2)
            outlinePiece(piece, false, radius);
        piece.clear();
    };
    // Moves along the pattern by `length` without drawing.
    auto skip = [&](double length) {
        finishPiece();
        length = std::fmod(length, period);
        while (length > 0.0) {
            double step = std::min(remaining, length);
            length -= step;
            remaining -= step;
            if (remaining <= 0.0) {
                index = (index + 1) % dashes.size();
                remaining = dashes[index];
            }
        }
    };
    // Dashes this far outside the image cannot touch it; at a high zoom a
    // single segment may hold hundreds of thousands of them.
    double margin = radius + 2.0;
    double left = -margin, top = -margin, right = m_width + margin, bottom = m_height + margin;
    std::size_t count = points.size();
    std::size_t segments = closed ? count : count - 1;
    for (std::size_t i = 0; i < segments; ++i) {
        Point a = points[i];
        Point b = points[(i + 1) % count];
        double dx = b.x - a.x;
        double dy = b.y - a.y;
        double length = std::sqrt(dx * dx + dy * dy);
        if (!(length > 0.0) || !std::isfinite(length))
            continue;
        // The part of the segment near the image, as distances along it.
        double enter = 0.0, leave = length;
        auto clip = [&](double delta, double distance) {
            if (delta == 0.0)
                return distance >= 0.0;
            double t = distance / delta * length;
            if (delta > 0.0)
                leave = std::min(leave, t);
            else
                enter = std::max(enter, t);
            return true;
        };
        bool near = clip(-dx, a.x - left) && clip(dx, right - a.x) && clip(-dy, a.y - top) && clip(dy, bottom - a.y);
        if (!near || enter >= leave) {
            skip(length);
            continue;
        }
        if (enter > 0.0)
            skip(enter);
        auto at = [&](double distance) { return Point{a.x + dx * distance / length, a.y + dy * distance / length}; };
        double position = enter;
        while (position < leave) {
            double step = std::min(remaining, leave - position);
            bool on = index % 2 == 0;
            if (on) {
                if (piece.empty())
                    piece.push_back(at(position));
                piece.push_back(at(position + step));
            }
            position += step;
            remaining -= step;
            if (remaining <= 0.0) {
                if (on)
                    finishPiece();
                index = (index + 1) % dashes.size();
                remaining = dashes[index];
            }
        }
        if (leave < length)
            skip(length - leave);
    }
    finishPiece();
}

void MapRaster::outlinePiece(std::span<const Point> points, bool closed, double radius)
{
    // Points closer than the segment length can tell apart would give no direction.
    auto same = [](Point p, Point q) { return !((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) > 0.0); };
    std::vector<Point>& moving = m_moving;
    moving.clear();
    for (Point p : points)
        if (std::isfinite(p.x) && std::isfinite(p.y) && (moving.empty() || !same(p, moving.back())))
            moving.push_back(p);
    if (closed && moving.size() > 1 && same(moving.front(), moving.back()))
        moving.pop_back();
    if (moving.empty())
        return;
    m_contour.clear();
    if (moving.size() == 1) {
        // One repeated point: a dot with round caps, as cairo draws it, and nothing otherwise.
        if (!closed && m_roundCaps) {
            for (PenVertex v : *m_pen)
                m_contour.push_back(Point{moving[0].x + radius * v.x, moving[0].y + radius * v.y});
            accumulateContour();
        }
        return;
    }
    std::size_t count = moving.size();
    std::size_t segments = closed ? count : count - 1;
    m_directions.clear();
    m_lengths.clear();
    for (std::size_t k = 0; k < segments; ++k) {
        Point a = moving[k];
        Point b = moving[(k + 1) % count];
        double length = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
        m_directions.push_back(Point{(b.x - a.x) / length, (b.y - a.y) / length});
        m_lengths.push_back(length);
    }
    const std::vector<Point>& directions = m_directions;
    auto reversed = [](Point u) { return Point{-u.x, -u.y}; };
    // The point half a width to the left of p, facing u.
    auto side = [&](Point p, Point u) { m_contour.push_back(Point{p.x - radius * u.y, p.y + radius * u.x}); };
    if (!closed) {
        // Along the left side, round the far end, back along the right side, round the near end.
        std::size_t last = segments;
        side(moving[0], directions[0]);
        for (std::size_t i = 1; i < last; ++i)
            outlineJoin(moving[i], directions[i - 1], directions[i], m_lengths[i - 1], m_lengths[i], radius);
        side(moving[last], directions[last - 1]);
        outlineCap(moving[last], directions[last - 1], radius);
        side(moving[last], reversed(directions[last - 1]));
        for (std::size_t i = last - 1; i >= 1; --i)
            outlineJoin(moving[i], reversed(directions[i]), reversed(directions[i - 1]), m_lengths[i],
                        m_lengths[i - 1], radius);
        side(moving[0], reversed(directions[0]));
        outlineCap(moving[0], reversed(directions[0]), radius);
        accumulateContour();
        return;
    }
    // A ring along each side; between them the winding is one.
    for (std::size_t i = 0; i < segments; ++i) {
        std::size_t before = (i + segments - 1) % segments;
        outlineJoin(moving[i], directions[before], directions[i], m_lengths[before], m_lengths[i], radius);
    }
    accumulateContour();
    m_contour.clear();
    for (std::size_t i = segments; i-- > 0;) {
        std::size_t before = (i + segments - 1) % segments;
        outlineJoin(moving[i], reversed(directions[i]), reversed(directions[before]), m_lengths[i], m_lengths[before],
                    radius);
    }
    accumulateContour();
}

// A round join whose miter would add less than this (square pixels) is
// drawn mitered: the joins of a curve drawn in many short segments, whose
// arcs would cost many tiny edges and change no pixel visibly.
constexpr double kGentle = 1.0 / 16.0;

// The left side of a joint, travelling from `arriving` to `leaving`.
void MapRaster::outlineJoin(Point joint, Point arriving, Point leaving, double lengthIn, double lengthOut,
                            double radius)
{
    Point normalIn{-arriving.y, arriving.x};
    Point normalOut{-leaving.y, leaving.x};
    double turn = arriving.x * leaving.y - arriving.y * leaving.x;
    double straight = arriving.x * leaving.x + arriving.y * leaving.y;
    Point in{joint.x + radius * normalIn.x, joint.y + radius * normalIn.y};
    Point out{joint.x + radius * normalOut.x, joint.y + radius * normalOut.y};
    // Where the two offset lines cross: the inner corner, or the miter's tip.
    auto crossing = [&] {
        double scale = radius / (1.0 + straight);
        return Point{joint.x + scale * (normalIn.x + normalOut.x), joint.y + scale * (normalIn.y + normalOut.y)};
    };
    if (turn == 0.0 && straight > 0.0) {
        m_contour.push_back(in);
        return;
    }
    if (turn > 0.0) {
        // Inside the turn. Where the crossing lies past either segment's
        // other end, go round through the joint instead, as cairo always
        // does: the overlap that leaves is inside the stroke, though its
        // antialiased edge then counts twice.
        double cut = radius * turn / (1.0 + straight);
        if (straight > -0.999 && cut <= lengthIn && cut <= lengthOut) {
            m_contour.push_back(crossing());
        } else {
            m_contour.push_back(in);
            m_contour.push_back(joint);
            m_contour.push_back(out);
        }
        return;
    }
    // Outside the turn. The points before and after the miter's tip lie on
    // the sides' lines, so leaving them out changes nothing. `spread` is
    // the area between the miter and the bevel; a round join lies between.
    bool withinLimit = 2.0 <= 100.0 * (1.0 + straight); // cairo's miter limit of 10: 2 <= limit^2 (1 + in . out)
    double spread = radius * radius * -turn / (1.0 + straight) * (1.0 - straight) / 2.0;
    if (m_miterJoins ? withinLimit : spread < kGentle) {
        m_contour.push_back(crossing());
        return;
    }
    m_contour.push_back(in);
    if (!m_miterJoins)
        outlineArc(joint, normalIn, normalOut, radius);
    m_contour.push_back(out);
}

// Round the end facing `ahead`, from its left to its right; a butt end adds nothing.
void MapRaster::outlineCap(Point end, Point ahead, double radius)
{
    if (m_roundCaps)
        outlineArc(end, Point{-ahead.y, ahead.x}, Point{ahead.y, -ahead.x}, radius);
}

// The pen's vertices strictly between the unit vectors `from` and `to`,
// clockwise, at most half a turn apart.
void MapRaster::outlineArc(Point centre, Point from, Point to, double radius)
{
    const std::vector<PenVertex>& pen = *m_pen;
    int count = int(pen.size());
    auto cross = [](Point a, PenVertex v) { return a.x * v.y - a.y * v.x; };
    // An estimate of the first vertex clockwise of `from`, then made exact.
    int k = int(std::floor(roughAngle(from.x, from.y) / (2.0 * std::numbers::pi) * count)) % count;
    k += k < 0 ? count : 0;
    for (int i = 0; i < count && cross(from, pen[std::size_t(k)]) >= 0.0; ++i)
        k = k == 0 ? count - 1 : k - 1;
    for (int i = 0; i < count; ++i) {
        int next = k + 1 == count ? 0 : k + 1;
        if (cross(from, pen[std::size_t(next)]) >= 0.0)
            break;
        k = next;
    }
    for (int i = 0; i < count && cross(from, pen[std::size_t(k)]) < 0.0 && cross(to, pen[std::size_t(k)]) > 0.0; ++i) {
        m_contour.push_back(Point{centre.x + radius * pen[std::size_t(k)].x, centre.y + radius * pen[std::size_t(k)].y});
        k = k == 0 ? count - 1 : k - 1;
    }
}

} // namespace pathlark
