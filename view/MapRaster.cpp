// Index:
// [SECTION] Pixels: colour and blending
// [SECTION] Path
// [SECTION] Fill: exact area coverage
// [SECTION] Stroke: distance to the polyline

#include "view/MapRaster.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace pathlark {

//-----------------------------------------------------------------------------
// [SECTION] Pixels: colour and blending
//-----------------------------------------------------------------------------

namespace {

// Half the diagonal of a pixel: a pixel whose centre is farther than this
// from a shape does not touch it.
constexpr double kHalfDiagonal = 0.70711;

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

// All four channels times a / 255, rounded the way pixman does it.
[[gnu::always_inline]] inline std::uint32_t multiply(std::uint32_t x, std::uint32_t a)
{
    std::uint32_t t = (x & 0xff00ff) * a + 0x800080;
    t = ((t + ((t >> 8) & 0xff00ff)) >> 8) & 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a + 0x800080;
    x = (x + ((x >> 8) & 0xff00ff)) & 0xff00ff00;
    return x | t;
}

// The source in the coverage, over the pixel: pixman's OVER with an a8 mask.
// pixman saturates the sum; with premultiplied colours it never needs to.
[[gnu::always_inline]] inline void blend(std::uint32_t& pixel, std::uint32_t source, std::uint32_t coverage)
{
    std::uint32_t s = coverage == 255 ? source : multiply(source, coverage);
    pixel = s + multiply(pixel, 255 - (s >> 24));
}

// The same for a run of pixels under one coverage, two pixels to a 64-bit
// word: inside an area most pixels are such runs.
void blendRun(std::uint32_t* pixels, int count, std::uint32_t source, std::uint32_t coverage)
{
    std::uint32_t s = coverage == 255 ? source : multiply(source, coverage);
    std::uint64_t keep = 255 - (s >> 24);
    std::uint64_t pair = std::uint64_t(s) << 32 | s;
    constexpr std::uint64_t kLow = 0x00ff00ff00ff00ffULL;
    constexpr std::uint64_t kHalf = 0x0080008000800080ULL;
    int i = 0;
    for (; i + 2 <= count; i += 2) {
        std::uint64_t x;
        std::memcpy(&x, pixels + i, 8);
        std::uint64_t t = (x & kLow) * keep + kHalf;
        t = ((t + ((t >> 8) & kLow)) >> 8) & kLow;
        std::uint64_t u = ((x >> 8) & kLow) * keep + kHalf;
        u = (u + ((u >> 8) & kLow)) & ~kLow;
        x = (u | t) + pair;
        std::memcpy(pixels + i, &x, 8);
    }
    if (i < count)
        pixels[i] = s + multiply(pixels[i], std::uint32_t(keep));
}

int clampToInt(double v, int low, int high)
{
    return v <= low ? low : v >= high ? high : int(v);
}

} // namespace

MapRaster::MapRaster(cairo_surface_t* surface, double offsetX, double offsetY, RasterBuffers& buffers)
    : m_offsetX(offsetX)
    , m_offsetY(offsetY)
    , m_buffers(buffers)
{
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS
        || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE
        || cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32)
        return;
    cairo_surface_flush(surface);
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
    // The buffers are always left zeroed, so only a new size needs clearing.
    if (buffers.area.size() != (std::size_t(m_width) + 2) * std::size_t(m_height))
        buffers.area.assign((std::size_t(m_width) + 2) * std::size_t(m_height), 0.0f);
    if (buffers.rowMin.size() != std::size_t(m_height)) {
        buffers.rowMin.assign(std::size_t(m_height), INT_MAX);
        buffers.rowMax.assign(std::size_t(m_height), INT_MIN);
    }
    m_top = m_height;
}

MapRaster::~MapRaster()
{
    if (m_surface)
        cairo_surface_mark_dirty(m_surface);
}

void MapRaster::touch(int y, int x0, int x1)
{
    m_buffers.rowMin[std::size_t(y)] = std::min(m_buffers.rowMin[std::size_t(y)], x0);
    m_buffers.rowMax[std::size_t(y)] = std::max(m_buffers.rowMax[std::size_t(y)], x1);
    m_top = std::min(m_top, y);
    m_bottom = std::max(m_bottom, y);
}

//-----------------------------------------------------------------------------
// [SECTION] Path
//-----------------------------------------------------------------------------

void MapRaster::newPath()
{
    m_points.clear();
    m_subPaths.clear();
}

void MapRaster::moveTo(double x, double y)
{
    m_subPaths.push_back(SubPath{m_points.size(), m_points.size() + 1, false});
    m_points.push_back(Point{x + m_offsetX, y + m_offsetY});
}

void MapRaster::lineTo(double x, double y)
{
    if (m_subPaths.empty() || m_subPaths.back().closed) {
        moveTo(x, y);
        return;
    }
    m_points.push_back(Point{x + m_offsetX, y + m_offsetY});
    m_subPaths.back().end = m_points.size();
}

void MapRaster::closePath()
{
    if (!m_subPaths.empty())
        m_subPaths.back().closed = true;
}

//-----------------------------------------------------------------------------
// [SECTION] Fill: exact area coverage
//-----------------------------------------------------------------------------
// Each edge adds, to the pixels it crosses, the signed share of the pixel to
// its right, and to the next pixel the rest of its height; a running sum
// along the row then gives every pixel its winding-weighted area. Unlike
// cairo's fifteen sub-rows this is exact in both directions, so the two agree
// to within the sub-row error on near-horizontal edges.

void MapRaster::fill(FillRule rule, RasterColor color)
{
    if (!m_surface)
        return;
    for (const SubPath& path : m_subPaths) {
        if (path.end - path.begin < 2)
            continue;
        for (std::size_t i = path.begin; i + 1 < path.end; ++i)
            addEdge(m_points[i], m_points[i + 1]);
        addEdge(m_points[path.end - 1], m_points[path.begin]);
    }
    compositeFill(rule, premultiply(color));
}

void MapRaster::addEdge(Point from, Point to)
{
    double x0 = from.x, y0 = from.y, x1 = to.x, y1 = to.y;
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1) || y0 == y1)
        return;
    float direction = 1.0f;
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        direction = -1.0f;
    }
    const double width = m_width;
    const double height = m_height;
    if (y1 <= 0.0 || y0 >= height)
        return;
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
            accumulate(0.0, top, 0.0, bottom, direction);
        else
            accumulate(std::clamp(xOn(top), 0.0, width), top, std::clamp(xOn(bottom), 0.0, width), bottom,
                       direction);
    }
}

// One edge within the image, y0 < y1.
void MapRaster::accumulate(double x0, double y0, double x1, double y1, float direction)
{
    const std::size_t stride = std::size_t(m_width) + 2;
    const double width = m_width;
    double dxdy = (x1 - x0) / (y1 - y0);
    double x = x0;
    int last = std::min(m_height, int(std::ceil(y1)));
    for (int y = int(y0); y < last; ++y) {
        double dy = std::min(double(y + 1), y1) - std::max(double(y), y0);
        double next = y + 1 >= y1 ? x1 : std::clamp(x + dxdy * dy, 0.0, width);
        float d = float(dy) * direction;
        double left = std::min(x, next);
        double right = std::max(x, next);
        int leftCell = int(left);
        int rightCell = int(std::ceil(right));
        float* row = m_buffers.area.data() + std::size_t(y) * stride;
        if (rightCell <= leftCell + 1) {
            float middle = float(0.5 * (x + next) - leftCell);
            row[leftCell] += d - d * middle;
            row[leftCell + 1] += d * middle;
            touch(y, leftCell, leftCell + 1);
        } else {
            double s = 1.0 / (right - left);
            double leftFraction = left - leftCell;
            double first = 0.5 * s * (1.0 - leftFraction) * (1.0 - leftFraction);
            double rightFraction = right - rightCell + 1.0;
            double lastShare = 0.5 * s * rightFraction * rightFraction;
            row[leftCell] += float(d * first);
            if (rightCell == leftCell + 2) {
                row[leftCell + 1] += float(d * (1.0 - first - lastShare));
            } else {
                double second = s * (1.5 - leftFraction);
                row[leftCell + 1] += float(d * (second - first));
                float step = float(d * s);
                for (int cell = leftCell + 2; cell < rightCell - 1; ++cell)
                    row[cell] += step;
                double beforeLast = second + (rightCell - leftCell - 3) * s;
                row[rightCell - 1] += float(d * (1.0 - beforeLast - lastShare));
            }
            row[rightCell] += float(d * lastShare);
            touch(y, leftCell, rightCell);
        }
        x = next;
    }
}

void MapRaster::compositeFill(FillRule rule, std::uint32_t source)
{
    const std::size_t stride = std::size_t(m_width) + 2;
    for (int y = m_top; y <= m_bottom; ++y) {
        int from = m_buffers.rowMin[std::size_t(y)];
        int to = m_buffers.rowMax[std::size_t(y)];
        if (from > to)
            continue;
        m_buffers.rowMin[std::size_t(y)] = INT_MAX;
        m_buffers.rowMax[std::size_t(y)] = INT_MIN;
        float* row = m_buffers.area.data() + std::size_t(y) * stride;
        std::uint32_t* pixels = m_pixels + std::size_t(y) * std::size_t(m_stride);
        int drawn = std::min(to, m_width - 1);
        float sum = 0.0f;
        std::uint32_t coverage = 0;
        int x = from;
        while (x <= drawn) {
            sum += row[x];
            row[x] = 0.0f;
            float v = std::fabs(sum);
            if (rule == FillRule::EvenOdd) {
                v -= 2.0f * float(int(v * 0.5f));
                if (v > 1.0f)
                    v = 2.0f - v;
            } else {
                v = std::min(v, 1.0f);
            }
            coverage = std::uint32_t(v * 255.0f + 0.5f);
            // Up to the next cell an edge passed through, the coverage stays.
            int end = x + 1;
            while (end <= drawn && row[end] == 0.0f)
                ++end;
            if (coverage && end - x >= 8)
                blendRun(pixels + x, end - x, source, coverage);
            else if (coverage)
                for (int k = x; k < end; ++k)
                    blend(pixels[k], source, coverage);
            x = end;
        }
        for (int x = drawn + 1; x <= to; ++x)
            row[x] = 0.0f;
        // A shape reaching past the right edge still covers the rest of the row.
        if (coverage && drawn + 1 < m_width)
            blendRun(pixels + drawn + 1, m_width - drawn - 1, source, coverage);
    }
    m_top = m_height;
    m_bottom = -1;
}

//-----------------------------------------------------------------------------
// [SECTION] Stroke: distance to the polyline
//-----------------------------------------------------------------------------
// A stroke is the set of points within half its width of the polyline: a band
// along each segment and a disc at each joint and round end. A pixel beside a
// segment gets the exact share of it between the band's edges; a pixel past a
// joint or a round end gets the share of it inside the disc there, from a
// table made once per radius. The polyline covers a pixel as much as its best
// piece does, so pieces overlapping at joints do not darken them.

namespace {

// The share of a pixel on the near side of a straight edge, for edges whose
// unit normal has components of magnitude a >= b.
struct EdgeProfile {
    EdgeProfile(double cx, double cy)
        : a(std::max(cx, cy))
        , b(std::min(cx, cy))
        , half((a + b) / 2.0)
        , flat((a - b) / 2.0)
        , corner(b > 1e-12 ? 1.0 / (2.0 * a * b) : 0.0)
        , slope(1.0 / a)
    {
    }

    // The edge lies d beyond the pixel's centre.
    double below(double d) const
    {
        if (d <= -half)
            return 0.0;
        if (d >= half)
            return 1.0;
        if (d < -flat) {
            double e = d + half;
            return e * e * corner;
        }
        if (d > flat) {
            double e = half - d;
            return 1.0 - e * e * corner;
        }
        return 0.5 + d * slope;
    }

    // A band of half-width r whose middle lies t from the pixel's centre.
    double band(double t, double r) const { return below(r - t) - below(-r - t); }

    double a, b, half, flat, corner, slope;
};

constexpr double kDiscStep = 1.0 / 16.0;

// The area of the pixel centred (cx, cy) from the centre of a disc of radius r,
// integrated column by column.
double discArea(double cx, double cy, double r)
{
    constexpr int kColumns = 48;
    double area = 0.0;
    for (int i = 0; i < kColumns; ++i) {
        double x = cx - 0.5 + (i + 0.5) / kColumns;
        double h = r * r - x * x;
        if (h <= 0.0)
            continue;
        h = std::sqrt(h);
        area += std::max(0.0, std::min(cy + 0.5, h) - std::max(cy - 0.5, -h));
    }
    return area / kColumns;
}

float discCoverage(const DiscCoverage& disc, double dx, double dy)
{
    double fx = std::fabs(dx) / disc.step;
    double fy = std::fabs(dy) / disc.step;
    if (fx >= disc.size - 1 || fy >= disc.size - 1)
        return 0.0f;
    int ix = int(fx);
    int iy = int(fy);
    float wx = float(fx - ix);
    float wy = float(fy - iy);
    const float* row = disc.values.data() + std::size_t(iy) * std::size_t(disc.size) + std::size_t(ix);
    const float* next = row + disc.size;
    return (row[0] * (1.0f - wx) + row[1] * wx) * (1.0f - wy) + (next[0] * (1.0f - wx) + next[1] * wx) * wy;
}

void raise(std::uint8_t& level, double coverage)
{
    auto value = std::uint8_t(std::min(coverage, 1.0) * 255.0 + 0.5);
    if (value > level)
        level = value;
}

// Four pixels at a time, without branches: the share of a pixel below an
// edge is the distribution function of the sum of two uniform variables
// (the pixel's extent across the edge), a difference of clipped squares.
using Float4 = float __attribute__((vector_size(16)));
using Int4 = std::int32_t __attribute__((vector_size(16)));

Float4 positivePart(Float4 x)
{
    return x * -__builtin_convertvector(x > 0.0f, Float4);
}

Float4 below4(Float4 d, const EdgeProfile& profile)
{
    if (profile.b < 1e-4) {
        // Along a pixel edge the share grows linearly, then stays at 1.
        Float4 v = positivePart(0.5f + d * float(profile.slope));
        return v + (1.0f - v) * -__builtin_convertvector(v > 1.0f, Float4);
    }
    auto square = [](Float4 x) {
        Float4 p = positivePart(x);
        return p * p;
    };
    float half = float(profile.half);
    float flat = float(profile.flat);
    return (square(d + half) - square(d + flat) - square(d - flat) + square(d - half)) * float(profile.corner);
}

// Raises `count` mask bytes to the band's coverage; the band's middle lies
// `across` from the first pixel's centre and moves by `step` a pixel.
void raiseBand(std::uint8_t* mask, int count, float across, float step, const EdgeProfile& profile, float radius)
{
    const Float4 offsets = {0.0f, 1.0f, 2.0f, 3.0f};
    for (int x = 0; x < count; x += 4) {
        Float4 t = across + (offsets + float(x)) * step;
        Float4 coverage = below4(radius - t, profile) - below4(-radius - t, profile);
        Int4 levels = __builtin_convertvector(coverage * 255.0f + 0.5f, Int4);
        int lanes = std::min(4, count - x);
        for (int i = 0; i < lanes; ++i) {
            auto level = std::uint8_t(std::clamp(levels[i], 0, 255));
            if (level > mask[x + i])
                mask[x + i] = level;
        }
    }
}

} // namespace

const DiscCoverage& MapRaster::discOfRadius(double radius)
{
    for (const DiscCoverage& disc : m_buffers.discs)
        if (disc.radius == radius)
            return disc;
    // A layer uses a dozen widths; a table is a few thousand numbers.
    if (m_buffers.discs.size() >= 32)
        m_buffers.discs.clear();
    DiscCoverage disc;
    disc.radius = radius;
    // Sixteen samples a pixel; wide discs are straight enough at a pixel's scale for fewer.
    disc.step = std::max(kDiscStep, (radius + kHalfDiagonal) / 256.0);
    disc.size = int(std::ceil((radius + kHalfDiagonal) / disc.step)) + 2;
    disc.values.resize(std::size_t(disc.size) * std::size_t(disc.size));
    for (int iy = 0; iy < disc.size; ++iy)
        for (int ix = 0; ix <= iy; ++ix) {
            auto area = float(discArea(ix * disc.step, iy * disc.step, radius));
            disc.values[std::size_t(iy) * std::size_t(disc.size) + std::size_t(ix)] = area;
            disc.values[std::size_t(ix) * std::size_t(disc.size) + std::size_t(iy)] = area;
        }
    m_buffers.discs.push_back(std::move(disc));
    return m_buffers.discs.back();
}

void MapRaster::stroke(const StrokeStyle& style, RasterColor color)
{
    double radius = style.width / 2.0;
    if (!m_surface || !(radius > 0.0) || !std::isfinite(radius))
        return;
    double period = 0.0;
    bool dashesValid = style.dashes.size() % 2 == 0;
    for (double length : style.dashes) {
        dashesValid = dashesValid && length >= 0.0 && std::isfinite(length);
        period += length;
    }
    bool dashed = !style.dashes.empty() && dashesValid && period > 0.0;
    // Everything the stroke draws lies within its reach of the path; its
    // mask covers just that box, so it stays in the cache from one feature
    // to the next.
    m_miterJoins = style.joins == LineJoins::Miter;
    double reach = (m_miterJoins ? 10.0 * radius : radius) + 1.0;
    double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
    for (const Point& p : m_points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    m_clipLeft = clampToInt(std::floor(minX - reach), 0, m_width);
    m_clipRight = clampToInt(std::ceil(maxX + reach), 0, m_width);
    m_clipTop = clampToInt(std::floor(minY - reach), 0, m_height);
    m_clipBottom = clampToInt(std::ceil(maxY + reach), 0, m_height);
    if (m_clipLeft >= m_clipRight || m_clipTop >= m_clipBottom)
        return;
    std::size_t area = std::size_t(m_clipRight - m_clipLeft) * std::size_t(m_clipBottom - m_clipTop);
    if (m_buffers.mask.size() < area)
        m_buffers.mask.resize(area, 0);
    const DiscCoverage& disc = discOfRadius(radius);
    for (const SubPath& path : m_subPaths) {
        std::span<const Point> points(m_points.data() + path.begin, path.end - path.begin);
        if (points.size() < 2)
            continue;
        if (dashed)
            strokeDashed(points, path.closed, style, disc);
        else
            strokePiece(points, path.closed, style.ends, disc);
    }
    compositeMask(premultiply(color));
}

// A sharp joint is drawn once, as the disc at the end of the segment arriving
// there, and the segment leaving it starts right at it. At a gentle one both
// segments' bands reach half a pixel past it instead: they meet within a
// hundredth of a pixel of where the disc would round them off.
void MapRaster::strokePiece(std::span<const Point> points, bool closed, LineEnds ends, const DiscCoverage& disc)
{
    auto same = [](Point p, Point q) { return p.x == q.x && p.y == q.y; };
    std::vector<Point>& moving = m_moving;
    moving.clear();
    for (Point p : points)
        if (moving.empty() || !same(p, moving.back()))
            moving.push_back(p);
    if (closed && moving.size() > 1 && same(moving.front(), moving.back()))
        moving.pop_back();
    if (moving.size() == 1) {
        // One repeated point: a dot with round caps, as cairo draws it, and nothing otherwise.
        if (!closed && ends == LineEnds::Round)
            strokeSegment(moving[0], moving[0], SegmentEnd::Cap, SegmentEnd::Cap, Point{}, disc);
        return;
    }
    std::size_t count = moving.size();
    std::size_t segments = closed ? count : count - 1;
    // Direction and length of each segment.
    std::vector<Point>& directions = m_directions;
    directions.clear();
    for (std::size_t k = 0; k < segments; ++k) {
        Point a = moving[k];
        Point b = moving[(k + 1) % count];
        double length = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
        directions.push_back(Point{(b.x - a.x) / length, (b.y - a.y) / length});
        m_lengths.push_back(length);
    }
    // cos 10 degrees: past a smaller turn the two bands stray from each
    // other by less than 0.7 sin(10) of a pixel. Both segments must be longer
    // than that reach, or it would run past a cap or the next turn.
    constexpr double kGentle = 0.9848;
    auto gentle = [&](std::size_t k, std::size_t next) {
        return directions[k].x * directions[next].x + directions[k].y * directions[next].y > kGentle
            && m_lengths[k] > kHalfDiagonal && m_lengths[next] > kHalfDiagonal;
    };
    SegmentEnd cap = ends == LineEnds::Round ? SegmentEnd::Cap : SegmentEnd::Butt;
    SegmentEnd start = closed ? (gentle(segments - 1, 0) ? SegmentEnd::Extend : SegmentEnd::Open) : cap;
    for (std::size_t k = 0; k < segments; ++k) {
        bool lastSegment = k + 1 == segments;
        SegmentEnd end = cap;
        SegmentEnd nextStart = SegmentEnd::Open;
        std::size_t next = lastSegment ? 0 : k + 1;
        if (!lastSegment || closed) {
            bool smooth = gentle(k, next);
            end = smooth ? SegmentEnd::Extend : SegmentEnd::Join;
            nextStart = smooth ? SegmentEnd::Extend : SegmentEnd::Open;
        }
        strokeSegment(moving[k], moving[(k + 1) % count], start, end, directions[next], disc);
        start = nextStart;
    }
    m_lengths.clear();
}

void MapRaster::strokeDashed(std::span<const Point> points, bool closed, const StrokeStyle& style,
                             const DiscCoverage& disc)
{
    const std::span<const double> dashes = style.dashes;
    double period = 0.0;
    for (double length : dashes)
        period += length;
    std::size_t index = 0;
    double remaining = dashes[0];
    std::vector<Point> piece;
    auto finishPiece = [&] {
        if (piece.size() >= 2)
            strokePiece(piece, false, style.ends, disc);
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
    double margin = disc.radius + 2.0;
    double left = m_clipLeft - margin, top = m_clipTop - margin, right = m_clipRight + margin,
           bottom = m_clipBottom + margin;
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

void MapRaster::strokeSegment(Point a, Point b, SegmentEnd start, SegmentEnd end, Point next,
                              const DiscCoverage& disc)
{
    if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y))
        return;
    const double radius = disc.radius;
    const double reach = radius + kHalfDiagonal;
    double dx = b.x - a.x;
    double dy = b.y - a.y;
    double length = std::sqrt(dx * dx + dy * dy);
    if (length == 0.0) {
        strokeDisc(a, Point{1.0, 0.0}, -HUGE_VAL, nullptr, disc);
        return;
    }
    if (std::max(a.x, b.x) < m_clipLeft - reach || std::min(a.x, b.x) > m_clipRight + reach
        || std::max(a.y, b.y) < m_clipTop - reach || std::min(a.y, b.y) > m_clipBottom + reach)
        return;
    const double ux = dx / length;
    const double uy = dy / length;
    const double nx = -uy;
    const double ny = ux;
    EdgeProfile profile(std::fabs(nx), std::fabs(ny));
    bool roundStart = start == SegmentEnd::Cap;
    bool roundEnd = end == SegmentEnd::Cap;
    bool squareStart = roundStart || start == SegmentEnd::Butt;
    bool squareEnd = roundEnd || end == SegmentEnd::Butt;
    // The stretch along the segment whose pixels this band draws: from the
    // joint where the neighbour's disc takes over, half a pixel on past a
    // gentle joint, and over the whole pixel at a cap or butt end.
    double from = start == SegmentEnd::Open || start == SegmentEnd::Join ? 0.0 : -kHalfDiagonal;
    double to = end == SegmentEnd::Open || end == SegmentEnd::Join ? length : length + kHalfDiagonal;

    // Rows the parallelogram a + [from, to] u + [-reach, reach] n crosses.
    double spanY = std::fabs(ny) * reach;
    double top = std::min(a.y + from * uy, a.y + to * uy) - spanY;
    double bottom = std::max(a.y + from * uy, a.y + to * uy) + spanY;
    int firstRow = clampToInt(std::ceil(top - 0.5), m_clipTop, m_clipBottom);
    int lastRow = clampToInt(std::floor(bottom - 0.5), m_clipTop - 1, m_clipBottom - 1);
    // In each row the parallelogram spans the columns between two pairs of
    // parallel lines (across = -reach..reach, along = from..to), each bound
    // moving by a fixed step from row to row. A segment along a pixel axis
    // leaves one pair out.
    bool acrossBounds = std::fabs(nx) >= 1e-12;
    bool alongBounds = std::fabs(ux) >= 1e-12;
    double acrossStep = acrossBounds ? -ny / nx : 0.0;
    double alongStep = alongBounds ? -uy / ux : 0.0;
    double acrossWidth = acrossBounds ? reach / std::fabs(nx) : HUGE_VAL;
    double alongLow = alongBounds ? (ux > 0.0 ? from : to) / ux : -HUGE_VAL;
    double alongHigh = alongBounds ? (ux > 0.0 ? to : from) / ux : HUGE_VAL;
    for (int y = firstRow; y <= lastRow; ++y) {
        double py = y + 0.5 - a.y;
        if (!acrossBounds && std::fabs(py * ny) > reach)
            continue;
        if (!alongBounds && (py * uy < from || py * uy > to))
            continue;
        double acrossMiddle = py * acrossStep;
        double alongShift = py * alongStep;
        double left = std::max(acrossMiddle - acrossWidth, alongShift + alongLow);
        double right = std::min(acrossMiddle + acrossWidth, alongShift + alongHigh);
        if (left > right)
            continue;
        int firstColumn = clampToInt(std::ceil(a.x + left - 0.5), m_clipLeft, m_clipRight);
        int lastColumn = clampToInt(std::floor(a.x + right - 0.5), m_clipLeft - 1, m_clipRight - 1);
        if (firstColumn > lastColumn)
            continue;
        double px = firstColumn + 0.5 - a.x;
        double along = px * ux + py * uy;
        double across = px * nx + py * ny;
        std::uint8_t* mask = maskRow(y);
        // Pixels near a square end need its formula; between them the band alone.
        int middleFirst = firstColumn;
        int middleLast = lastColumn;
        if (squareStart || squareEnd) {
            double low = squareStart ? kHalfDiagonal : -HUGE_VAL;
            double high = squareEnd ? length - kHalfDiagonal : HUGE_VAL;
            if (low > high || (std::fabs(ux) < 1e-12 && (along < low || along > high))) {
                middleLast = middleFirst - 1;
            } else if (std::fabs(ux) >= 1e-12) {
                double x0 = (low - along) / ux;
                double x1 = (high - along) / ux;
                if (x0 > x1)
                    std::swap(x0, x1);
                middleFirst = firstColumn + clampToInt(std::ceil(x0), 0, lastColumn - firstColumn + 1);
                middleLast = firstColumn + clampToInt(std::floor(x1), -1, lastColumn - firstColumn);
            }
        }
        auto atEnds = [&](int x) {
            double s = along + (x - firstColumn) * ux;
            // The band cut square at the ends; with both ends square, the
            // share of the pixel between two parallel edges.
            double inside = squareStart && squareEnd ? profile.below(s) + profile.below(length - s) - 1.0
                : squareStart                        ? profile.below(s)
                                                     : profile.below(length - s);
            double coverage = profile.band(across + (x - firstColumn) * nx, radius) * inside;
            if (roundStart && s < kHalfDiagonal)
                coverage += discCoverage(disc, x + 0.5 - a.x, py) * profile.below(-s);
            if (roundEnd && s > length - kHalfDiagonal)
                coverage += discCoverage(disc, x + 0.5 - b.x, y + 0.5 - b.y) * profile.below(s - length);
            raise(mask[x - m_clipLeft], coverage);
        };
        if (middleFirst > middleLast) {
            for (int x = firstColumn; x <= lastColumn; ++x)
                atEnds(x);
        } else {
            for (int x = firstColumn; x < middleFirst; ++x)
                atEnds(x);
            raiseBand(mask + (middleFirst - m_clipLeft), middleLast - middleFirst + 1,
                      float(across + (middleFirst - firstColumn) * nx), float(nx), profile, float(radius));
            for (int x = middleLast + 1; x <= lastColumn; ++x)
                atEnds(x);
        }
        m_spans.push_back(Span{y, firstColumn, lastColumn});
    }
    // What the band leaves of the discs at its ends: the caps' outer parts,
    // and the wedge outside a sharp turn that neither segment's band covers.
    if (roundStart)
        strokeDisc(a, Point{-ux, -uy}, -from, nullptr, disc);
    if (roundEnd)
        strokeDisc(b, Point{ux, uy}, to - length, nullptr, disc);
    if (end == SegmentEnd::Join && m_miterJoins)
        strokeMiter(b, Point{ux, uy}, next, radius);
    else if (end == SegmentEnd::Join)
        strokeDisc(b, Point{ux, uy}, 0.0, &next, disc);
}

// The pixels around `centre` whose centres lie more than `beyond` along
// `ahead` from it and, with `leaving`, behind the segment leaving a joint
// there, get the disc's coverage. The box searched is that of the sector the
// two conditions leave: a half disc, or the wedge of a turn.
void MapRaster::strokeDisc(Point centre, Point ahead, double beyond, const Point* leaving, const DiscCoverage& disc)
{
    double reach = disc.radius + kHalfDiagonal;
    double left = -reach, right = reach, top = -reach, bottom = reach;
    if (beyond >= 0.0 || leaving) {
        // The sector runs counterclockwise from `from` to `to`, at most half a turn.
        Point from{ahead.y, -ahead.x};
        Point to{-ahead.y, ahead.x};
        if (leaving) {
            // Perpendicular to each segment, on the outside of the turn.
            double turn = ahead.x * leaving->y - ahead.y * leaving->x;
            Point outArriving = turn > 0.0 ? Point{ahead.y, -ahead.x} : Point{-ahead.y, ahead.x};
            Point outLeaving = turn > 0.0 ? Point{leaving->y, -leaving->x} : Point{-leaving->y, leaving->x};
            from = turn > 0.0 ? outArriving : outLeaving;
            to = turn > 0.0 ? outLeaving : outArriving;
        }
        left = std::min({0.0, from.x * reach, to.x * reach});
        right = std::max({0.0, from.x * reach, to.x * reach});
        top = std::min({0.0, from.y * reach, to.y * reach});
        bottom = std::max({0.0, from.y * reach, to.y * reach});
        auto within = [&](double vx, double vy) {
            return from.x * vy - from.y * vx >= 0.0 && vx * to.y - vy * to.x >= 0.0;
        };
        if (within(1.0, 0.0))
            right = reach;
        if (within(-1.0, 0.0))
            left = -reach;
        if (within(0.0, 1.0))
            bottom = reach;
        if (within(0.0, -1.0))
            top = -reach;
    }
    int firstRow = clampToInt(std::ceil(centre.y + top - 0.5), m_clipTop, m_clipBottom);
    int lastRow = clampToInt(std::floor(centre.y + bottom - 0.5), m_clipTop - 1, m_clipBottom - 1);
    int firstColumn = clampToInt(std::ceil(centre.x + left - 0.5), m_clipLeft, m_clipRight);
    int lastColumn = clampToInt(std::floor(centre.x + right - 0.5), m_clipLeft - 1, m_clipRight - 1);
    if (firstColumn > lastColumn)
        return;
    for (int y = firstRow; y <= lastRow; ++y) {
        std::uint8_t* mask = maskRow(y);
        double qy = y + 0.5 - centre.y;
        for (int x = firstColumn; x <= lastColumn; ++x) {
            double qx = x + 0.5 - centre.x;
            if (qx * ahead.x + qy * ahead.y <= beyond || (leaving && qx * leaving->x + qy * leaving->y >= 0.0))
                continue;
            raise(mask[x - m_clipLeft], discCoverage(disc, qx, qy));
        }
        m_spans.push_back(Span{y, firstColumn, lastColumn});
    }
}

// The corner outside a sharp turn, filled out to where the two outer edges
// meet, or cut square across the turn where that lies more than ten
// half-widths out: the pixels beyond the arriving segment's end and before the
// leaving one's start get the share of them inside both edges (and the cut).
void MapRaster::strokeMiter(Point joint, Point arriving, Point leaving, double radius)
{
    double turn = arriving.x * leaving.y - arriving.y * leaving.x;
    double straightness = arriving.x * leaving.x + arriving.y * leaving.y;
    if (turn == 0.0)
        return; // straight on, or back on itself: no corner outside
    Point outArriving = turn > 0.0 ? Point{arriving.y, -arriving.x} : Point{-arriving.y, arriving.x};
    Point outLeaving = turn > 0.0 ? Point{leaving.y, -leaving.x} : Point{-leaving.y, leaving.x};
    double bx = outArriving.x + outLeaving.x;
    double by = outArriving.y + outLeaving.y;
    double norm = std::sqrt(bx * bx + by * by);
    Point bisector{bx / norm, by / norm};
    double cosHalf = outArriving.x * bisector.x + outArriving.y * bisector.y;
    // cairo's test for its limit of 10: 2 <= limit^2 (1 + in . out).
    bool mitered = 2.0 <= 100.0 * (1.0 + straightness);
    double extent = mitered ? radius / cosHalf : radius;
    EdgeProfile arrivingEdge(std::fabs(outArriving.x), std::fabs(outArriving.y));
    EdgeProfile leavingEdge(std::fabs(outLeaving.x), std::fabs(outLeaving.y));
    EdgeProfile cut(std::fabs(bisector.x), std::fabs(bisector.y));

    double reach = extent + kHalfDiagonal;
    double left = std::min({0.0, outArriving.x * reach, outLeaving.x * reach, bisector.x * reach});
    double right = std::max({0.0, outArriving.x * reach, outLeaving.x * reach, bisector.x * reach});
    double top = std::min({0.0, outArriving.y * reach, outLeaving.y * reach, bisector.y * reach});
    double bottom = std::max({0.0, outArriving.y * reach, outLeaving.y * reach, bisector.y * reach});
    int firstRow = clampToInt(std::ceil(joint.y + top - 0.5), m_clipTop, m_clipBottom);
    int lastRow = clampToInt(std::floor(joint.y + bottom - 0.5), m_clipTop - 1, m_clipBottom - 1);
    int firstColumn = clampToInt(std::ceil(joint.x + left - 0.5), m_clipLeft, m_clipRight);
    int lastColumn = clampToInt(std::floor(joint.x + right - 0.5), m_clipLeft - 1, m_clipRight - 1);
    if (firstColumn > lastColumn)
        return;
    for (int y = firstRow; y <= lastRow; ++y) {
        std::uint8_t* mask = maskRow(y);
        double qy = y + 0.5 - joint.y;
        for (int x = firstColumn; x <= lastColumn; ++x) {
            double qx = x + 0.5 - joint.x;
            if (qx * arriving.x + qy * arriving.y <= 0.0 || qx * leaving.x + qy * leaving.y >= 0.0)
                continue;
            double coverage = arrivingEdge.below(radius - (qx * outArriving.x + qy * outArriving.y))
                * leavingEdge.below(radius - (qx * outLeaving.x + qy * outLeaving.y));
            if (!mitered)
                coverage *= cut.below(radius * cosHalf - (qx * bisector.x + qy * bisector.y));
            raise(mask[x - m_clipLeft], coverage);
        }
        m_spans.push_back(Span{y, firstColumn, lastColumn});
    }
}

// Spans of overlapping pieces repeat pixels; the first visit clears them.
void MapRaster::compositeMask(std::uint32_t source)
{
    for (const Span& span : m_spans) {
        std::uint8_t* mask = maskRow(span.y);
        std::uint32_t* pixels = m_pixels + std::size_t(span.y) * std::size_t(m_stride);
        int count = span.to - span.from + 1;
        mask += span.from - m_clipLeft;
        pixels += span.from;
        for (int i = 0; i < count; ++i) {
            // Pieces overlap, so most spans are already cleared.
            std::uint64_t eight;
            while (i + 8 <= count && (std::memcpy(&eight, mask + i, 8), eight == 0))
                i += 8;
            if (i < count && mask[i]) {
                blend(pixels[i], source, mask[i]);
                mask[i] = 0;
            }
        }
    }
    m_spans.clear();
}

} // namespace pathlark
