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

// Edges add their steps into a buffer over the shape's box only: small
// shapes, most of a map, then stay in the cache from one to the next.
bool MapRaster::beginArea(double minX, double maxX, double minY, double maxY)
{
    m_areaLeft = clampToInt(std::floor(minX), 0, m_width);
    int right = clampToInt(std::ceil(maxX), 0, m_width);
    m_areaTop = clampToInt(std::floor(minY), 0, m_height);
    int bottom = clampToInt(std::ceil(maxY), 0, m_height);
    if (m_areaLeft > right || m_areaTop >= bottom)
        return false;
    // Cells run to the right edge's column and one beyond it.
    m_areaStride = right - m_areaLeft + 2;
    std::size_t size = std::size_t(m_areaStride) * std::size_t(bottom - m_areaTop);
    if (m_buffers.area.size() < size)
        m_buffers.area.resize(size, 0.0f);
    return true;
}

void MapRaster::fill(FillRule rule, RasterColor color)
{
    if (!m_surface)
        return;
    double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
    for (const Point& p : m_points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    if (!beginArea(minX, maxX, minY, maxY))
        return;
    for (const SubPath& path : m_subPaths) {
        // A point that is not finite is left out; the ring stays closed, as
        // an open one would fill everything to its right.
        const Point* first = nullptr;
        const Point* previous = nullptr;
        for (std::size_t i = path.begin; i < path.end; ++i) {
            const Point& p = m_points[i];
            if (!std::isfinite(p.x) || !std::isfinite(p.y))
                continue;
            if (previous)
                addEdge(*previous, p);
            else
                first = &p;
            previous = &p;
        }
        if (first && previous != first)
            addEdge(*previous, *first);
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
    if (y0 >= 0.0 && y1 <= height && x0 >= 0.0 && x0 <= width && x1 >= 0.0 && x1 <= width) {
        accumulate(x0, y0, x1, y1, direction);
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
            accumulate(0.0, top, 0.0, bottom, direction);
        else
            accumulate(std::clamp(xOn(top), 0.0, width), top, std::clamp(xOn(bottom), 0.0, width), bottom,
                       direction);
    }
}

// One edge within the image, y0 < y1.
void MapRaster::accumulate(double x0, double y0, double x1, double y1, float direction)
{
    // Cells count from the box's left edge.
    x0 -= m_areaLeft;
    x1 -= m_areaLeft;
    const double width = m_width - m_areaLeft;
    std::int32_t* rowMin = m_buffers.rowMin.data();
    std::int32_t* rowMax = m_buffers.rowMax.data();
    auto touchRow = [&](int y, int from, int to) {
        rowMin[y] = std::min(rowMin[y], from);
        rowMax[y] = std::max(rowMax[y], to);
    };
    int firstRow = int(y0);
    double dxdy = (x1 - x0) / (y1 - y0);
    // A row the edge crosses whole spans |dxdy| cells; a part row, that times its height.
    double perSpan = dxdy != 0.0 ? 1.0 / std::fabs(dxdy) : 0.0;
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
        float* row = areaRow(y);
        if (rightCell <= leftCell + 1) {
            float middle = float(0.5 * (x + next) - leftCell);
            row[leftCell] += d - d * middle;
            row[leftCell + 1] += d * middle;
            touchRow(y, leftCell + m_areaLeft, leftCell + 1 + m_areaLeft);
        } else {
            double s = dy == 1.0 ? perSpan : perSpan / dy;
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
            touchRow(y, leftCell + m_areaLeft, rightCell + m_areaLeft);
        }
        x = next;
    }
    m_top = std::min(m_top, firstRow);
    m_bottom = std::max(m_bottom, last - 1);
}

void MapRaster::compositeFill(FillRule rule, std::uint32_t source)
{
    for (int y = m_top; y <= m_bottom; ++y) {
        int from = m_buffers.rowMin[std::size_t(y)];
        int to = m_buffers.rowMax[std::size_t(y)];
        if (from > to)
            continue;
        m_buffers.rowMin[std::size_t(y)] = INT_MAX;
        m_buffers.rowMax[std::size_t(y)] = INT_MIN;
        // From here on columns count from `from`: cells are kept from the
        // box's left edge, pixels from the image's.
        float* row = areaRow(y) + (from - m_areaLeft);
        std::uint32_t* pixels = m_pixels + std::size_t(y) * std::size_t(m_stride) + from;
        int width = m_width - from;
        to -= from;
        from = 0;
        int drawn = std::min(to, width - 1);
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
            std::uint64_t pair;
            while (end + 2 <= drawn + 1 && (std::memcpy(&pair, row + end, 8), pair == 0))
                end += 2;
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
        if (coverage && drawn + 1 < width)
            blendRun(pixels + drawn + 1, width - drawn - 1, source, coverage);
    }
    m_top = m_height;
    m_bottom = -1;
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
    m_miterJoins = style.joins == LineJoins::Miter;
    m_roundCaps = style.ends == LineEnds::Round;
    m_pen = &penOfRadius(radius);
    // Everything lies within reach of the path: a miter reaches out at most
    // ten half-widths.
    double reach = (m_miterJoins ? 10.0 * radius : radius) + 1.0;
    double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
    for (const Point& p : m_points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    if (!beginArea(minX - reach, maxX + reach, minY - reach, maxY + reach))
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
    auto same = [](Point p, Point q) { return p.x == q.x && p.y == q.y; };
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
    m_contour.push_back(in);
    if (m_miterJoins) {
        // cairo's miter limit of 10: 2 <= limit^2 (1 + in . out), else a bevel.
        if (2.0 <= 100.0 * (1.0 + straight))
            m_contour.push_back(crossing());
    } else {
        double from = std::atan2(normalIn.y, normalIn.x);
        double sweep = std::atan2(normalOut.y, normalOut.x) - from;
        if (sweep > 0.0)
            sweep -= 2.0 * std::numbers::pi;
        outlineArc(joint, from, sweep, radius);
    }
    m_contour.push_back(out);
}

// Round the end facing `ahead`, from its left to its right; a butt end adds nothing.
void MapRaster::outlineCap(Point end, Point ahead, double radius)
{
    if (m_roundCaps)
        outlineArc(end, std::atan2(ahead.x, -ahead.y), -std::numbers::pi, radius);
}

// The pen's vertices strictly between the angles `from` and `from + sweep`.
void MapRaster::outlineArc(Point centre, double from, double sweep, double radius)
{
    const std::vector<PenVertex>& pen = *m_pen;
    int count = int(pen.size());
    double step = 2.0 * std::numbers::pi / count;
    double direction = sweep < 0.0 ? -1.0 : 1.0;
    double k = direction < 0.0 ? std::ceil(from / step - 1e-9) - 1.0 : std::floor(from / step + 1e-9) + 1.0;
    for (; (k * step - from - sweep) * direction < -1e-9; k += direction) {
        const PenVertex& v = pen[std::size_t(((long(k) % count) + count) % count)];
        m_contour.push_back(Point{centre.x + radius * v.x, centre.y + radius * v.y});
    }
}

void MapRaster::accumulateContour()
{
    std::size_t count = m_contour.size();
    for (std::size_t i = 0; i < count; ++i)
        addEdge(m_contour[i], m_contour[(i + 1) % count]);
}

} // namespace pathlark
