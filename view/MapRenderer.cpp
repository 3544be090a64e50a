// Index:
// [SECTION] Helpers
// [SECTION] Map layer: draw order, culling, cache
// [SECTION] Map features
// [SECTION] Labels
// [SECTION] Legend
// [SECTION] Track overlay
// [SECTION] Frame

#include "view/MapRenderer.h"

#include "i18n/Translate.h"
#include "track/Track.h"
#include "view/MapStyle.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace pathlark {

//-----------------------------------------------------------------------------
// [SECTION] Helpers
//-----------------------------------------------------------------------------

namespace {

// Long polylines are stroked in pieces to keep cairo's paths short.
constexpr int kStrokeChunk = 128;
// Layer margin that covers the widest stroke (motorway bridge casing at the
// largest width factor) with its round caps, so culling changes no pixel.
constexpr double kCullMargin = 8.0;
constexpr double kLabelReach = 256.0;
constexpr double kLabelCell = 64.0;
constexpr double kDashes[] = {5.0, 4.0};
// Along a dense track, points closer than this (pixels) to the last one drawn
// add nothing visible to the line, the curtain or the dots; skipping them keeps
// a 100,000-point track within a frame's time.
constexpr double kThinning = 0.25;

bool finite(ScreenPoint p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

bool closerThan(ScreenPoint a, ScreenPoint b, double distance)
{
    double dx = a.x - b.x;
    double dy = a.y - b.y;
    return dx * dx + dy * dy < distance * distance;
}

void setRgb(cairo_t* cr, double r, double g, double b)
{
    cairo_set_source_rgb(cr, r, g, b);
}

// cairo puts the context into an error state on malformed UTF-8, which would
// silently end all drawing on it; names from map files are not trusted.
bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
        if (extra < 0 || i + std::size_t(extra) >= text.size())
            return false;
        std::uint32_t code = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr std::uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (code < kMinimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || code == 0)
            return false;
        i += extra + 1;
    }
    return true;
}

bool validIndex(const Track& track, int index)
{
    return index >= 0 && index < track.getWayPointCount();
}

} // namespace

//-----------------------------------------------------------------------------
// [SECTION] Map layer: draw order, culling, cache
//-----------------------------------------------------------------------------

MapLayerCache::~MapLayerCache()
{
    clear();
    if (spare)
        cairo_surface_destroy(spare);
}

void MapLayerCache::clear()
{
    if (surface) {
        if (spare)
            cairo_surface_destroy(spare);
        spare = surface;
    }
    surface = nullptr;
    key = MapLayerKey{};
}

bool canReuseLayer(const MapLayerCache& cache, const MapLayerKey& wanted)
{
    const MapLayerKey& have = cache.key;
    return cache.surface && have.track == wanted.track && have.width == wanted.width
        && have.height == wanted.height && have.zoom == wanted.zoom && have.angleX == wanted.angleX
        && have.angleY == wanted.angleY && have.angleZ == wanted.angleZ && have.headingAngle == wanted.headingAngle
        && have.mapRevision == wanted.mapRevision && std::abs(wanted.panX - have.panX) <= 0.8 * wanted.width
        && std::abs(wanted.panY - have.panY) <= 0.8 * wanted.height;
}

namespace {

bool drawable(const MapFeature& feature, const CategoryStyle& style, double zoom)
{
    if (feature.points.size() < 2 || zoom < style.minZoom)
        return false;
    return !style.area || feature.closed;
}

} // namespace

std::vector<const MapFeature*> mapLayerFeatures(MapLayerCache& cache, const std::vector<MapFeature>& features,
                                                std::uint64_t mapRevision, const MapProjection& projection)
{
    cache.index.update(features, mapRevision);
    const ViewState& view = projection.view();
    ScreenBox layer{-view.width - kCullMargin, -view.height - kCullMargin, 2.0 * view.width + kCullMargin,
                    2.0 * view.height + kCullMargin};
    const std::vector<const MapFeature*>& order = cache.index.drawOrder();
    std::vector<const MapFeature*> shown;
    for (std::size_t i : cache.index.featuresTouching(projection, layer))
        if (drawable(*order[i], categoryStyle(order[i]->category), view.zoom))
            shown.push_back(order[i]);
    return shown;
}

//-----------------------------------------------------------------------------
// [SECTION] Map features
//-----------------------------------------------------------------------------

namespace {

// A point is left out of a feature's outline when the line past it strays
// less than this (pixels) from it: at low zoom a map has many such points,
// and leaving them out changes no pixel by more than a level or two. Dashed
// lines keep every point, as a shorter line would shift its dashes.
constexpr double kMapTolerance = 0.05;
// Points checked against one candidate segment, at most.
constexpr std::size_t kMaxSkipped = 32;

double squaredDistanceToSegment(ScreenPoint p, ScreenPoint a, ScreenPoint b)
{
    double dx = b.x - a.x;
    double dy = b.y - a.y;
    double squared = dx * dx + dy * dy;
    double t = squared > 0.0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / squared, 0.0, 1.0) : 0.0;
    double ex = p.x - a.x - t * dx;
    double ey = p.y - a.y - t * dy;
    return ex * ex + ey * ey;
}

// The ring projected and thinned: each segment runs from the last point kept
// to the farthest point that keeps every point skipped within the tolerance.
template<class Paths>
void addRing(Paths& raster, const std::vector<MapPoint>& points, bool close, const MapProjection& projection,
             double tolerance, std::vector<ScreenPoint>& skipped)
{
    ScreenPoint kept = projection.projectGround(points[0].latitude, points[0].longitude, Pan::Applied);
    raster.moveTo(kept.x, kept.y);
    skipped.clear();
    for (std::size_t i = 1; i < points.size(); ++i) {
        ScreenPoint p = projection.projectGround(points[i].latitude, points[i].longitude, Pan::Applied);
        bool fits = skipped.size() < kMaxSkipped;
        for (std::size_t k = 0; fits && k < skipped.size(); ++k)
            fits = squaredDistanceToSegment(skipped[k], kept, p) < tolerance * tolerance;
        if (!fits) {
            kept = skipped.back();
            raster.lineTo(kept.x, kept.y);
            skipped.clear();
        }
        skipped.push_back(p);
    }
    if (!skipped.empty())
        raster.lineTo(skipped.back().x, skipped.back().y);
    if (close)
        raster.closePath();
}

} // namespace

template<class Paths>
void drawMapFeature(Paths& raster, const MapFeature& feature, const MapProjection& projection)
{
    const CategoryStyle& style = categoryStyle(feature.category);
    double zoom = projection.view().zoom;
    if (!drawable(feature, style, zoom))
        return;
    raster.newPath();
    std::vector<ScreenPoint> skipped;
    bool dashed = style.area ? feature.boundary : style.dashed || feature.tunnel;
    double tolerance = dashed ? 0.0 : kMapTolerance;
    addRing(raster, feature.points, feature.closed, projection, tolerance, skipped);
    for (const std::vector<MapPoint>& ring : feature.rings)
        if (ring.size() > 2)
            addRing(raster, ring, true, projection, tolerance, skipped);

    double factor = widthFactor(zoom);
    if (style.area) {
        // Even-odd, so inner rings of a multipolygon show as holes.
        raster.fill(FillRule::EvenOdd, {style.red, style.green, style.blue, style.alpha});
        RasterColor outline = feature.category == MapCategory::WaterArea ? RasterColor{0.18, 0.52, 0.74, 0.86}
            : feature.boundary                                           ? RasterColor{0.55, 0.43, 0.65, 0.72}
                                                                         : RasterColor{0.38, 0.40, 0.40, 0.42};
        double width = feature.boundary ? factor * 1.2 : feature.category == MapCategory::WaterArea ? 1.1 : 0.8;
        raster.stroke({width, LineEnds::Butt, LineJoins::Miter, feature.boundary ? kDashes : std::span<const double>{}},
                      outline);
    } else {
        double width = style.baseWidth * factor;
        if (feature.bridge)
            raster.stroke({width + 2.0, LineEnds::Round, LineJoins::Round, {}}, {0.30, 0.30, 0.30, 0.72});
        raster.stroke({width, LineEnds::Round, LineJoins::Round, dashed ? kDashes : std::span<const double>{}},
                      {style.red, style.green, style.blue, feature.tunnel ? 0.48 : 0.82});
    }
}

template void drawMapFeature(MapRaster&, const MapFeature&, const MapProjection&);
template void drawMapFeature(MapPathList&, const MapFeature&, const MapProjection&);

//-----------------------------------------------------------------------------
// [SECTION] Labels
//-----------------------------------------------------------------------------

namespace {

struct LabelBox {
    double x0, y0, x1, y1;
    bool overlaps(const LabelBox& other) const
    {
        return x0 < other.x1 && other.x0 < x1 && y0 < other.y1 && other.y0 < y1;
    }
};

// A scratch context with the label font, for measuring text and for its
// outlines: an image surface's, so hinting is what the layer's would be.
// cairo leaves out glyphs placed far outside the surface, so text is set at
// its sub-pixel offset from the origin, on a surface as wide as any label.
class LabelFont {
public:
    explicit LabelFont(double zoom)
        : m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4096, 1))
        , m_cr(cairo_create(m_surface))
    {
        cairo_select_font_face(m_cr, "Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(m_cr, 11.0 * labelScale(zoom));
    }
    ~LabelFont()
    {
        cairo_destroy(m_cr);
        cairo_surface_destroy(m_surface);
    }
    LabelFont(const LabelFont&) = delete;
    LabelFont& operator=(const LabelFont&) = delete;

    cairo_t* context() const { return m_cr; }

private:
    cairo_surface_t* m_surface;
    cairo_t* m_cr;
};

} // namespace

std::vector<LabelCandidate> collectLabelCandidates(const MapFeatureIndex& index, const MapProjection& projection)
{
    const ViewState& view = projection.view();
    std::vector<LabelCandidate> candidates;
    for (const LabelSource& source : index.labelSources()) {
        const MapFeature& feature = *index.drawOrder()[source.position];
        const CategoryStyle& style = categoryStyle(feature.category);
        if (style.labelMinZoom > view.zoom)
            continue;
        ScreenPoint anchor = projection.projectGround(source.anchor.latitude, source.anchor.longitude, Pan::Applied);
        if (!finite(anchor) || anchor.x < -view.width - kLabelReach || anchor.x > 2.0 * view.width + kLabelReach
            || anchor.y < -view.height - kLabelReach || anchor.y > 2.0 * view.height + kLabelReach)
            continue;
        candidates.push_back(LabelCandidate{feature.name, anchor.x, anchor.y, style.labelPriority});
    }
    return candidates;
}

std::vector<PlacedLabel> placeMapLabels(std::vector<LabelCandidate> candidates, int width, int height, double zoom)
{
    std::vector<PlacedLabel> placed;
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const LabelCandidate& a, const LabelCandidate& b) { return a.priority < b.priority; });
    LabelFont font(zoom);
    int columns = std::max(1, int(std::ceil(3.0 * width / kLabelCell)));
    int rows = std::max(1, int(std::ceil(3.0 * height / kLabelCell)));
    std::vector<std::vector<int>> cells(std::size_t(columns) * std::size_t(rows));
    std::vector<LabelBox> boxes;
    auto cellRange = [](double from, double to, double origin, int count) {
        int first = std::clamp(int(std::floor((from - origin) / kLabelCell)), 0, count - 1);
        int last = std::clamp(int(std::floor((to - origin) / kLabelCell)), 0, count - 1);
        return std::pair{first, last};
    };

    // Streets are named once per way, so a few names make most candidates.
    std::unordered_map<std::string_view, cairo_text_extents_t> measured;
    for (const LabelCandidate& candidate : candidates) {
        if (!isValidUtf8(candidate.name))
            continue;
        auto [found, added] = measured.try_emplace(candidate.name);
        if (added)
            cairo_text_extents(font.context(), candidate.name.c_str(), &found->second);
        const cairo_text_extents_t& ink = found->second;
        double originX = candidate.x - ink.width / 2.0 - ink.x_bearing;
        double originY = candidate.y - ink.height / 2.0 - ink.y_bearing;
        LabelBox box{originX + ink.x_bearing - 4.0, originY + ink.y_bearing - 4.0,
                     originX + ink.x_bearing + ink.width + 4.0, originY + ink.y_bearing + ink.height + 4.0};
        if (box.x1 < -width || box.x0 > 2.0 * width || box.y1 < -height || box.y0 > 2.0 * height)
            continue;
        auto [column0, column1] = cellRange(box.x0, box.x1, -width, columns);
        auto [row0, row1] = cellRange(box.y0, box.y1, -height, rows);
        bool collides = false;
        for (int row = row0; row <= row1 && !collides; ++row)
            for (int column = column0; column <= column1 && !collides; ++column)
                for (int other : cells[std::size_t(row) * columns + column])
                    if (box.overlaps(boxes[other])) {
                        collides = true;
                        break;
                    }
        if (collides)
            continue;
        int index = int(boxes.size());
        boxes.push_back(box);
        for (int row = row0; row <= row1; ++row)
            for (int column = column0; column <= column1; ++column)
                cells[std::size_t(row) * columns + column].push_back(index);
        placed.push_back(PlacedLabel{candidate.name, originX, originY});
    }
    return placed;
}

namespace {

struct OutlineStep {
    cairo_path_data_type_t type;
    double x = 0.0;
    double y = 0.0;
};

// cairo keeps path coordinates in 1/256 pixels.
double onCairoGrid(double v)
{
    return std::nearbyint(v * 256.0) / 256.0;
}

// A glyph's outline at the origin, flattened as cairo would before filling it.
std::vector<OutlineStep> glyphOutline(cairo_t* cr, unsigned long index)
{
    cairo_new_path(cr);
    cairo_glyph_t glyph{index, 0.0, 0.0};
    cairo_glyph_path(cr, &glyph, 1);
    cairo_path_t* path = cairo_copy_path_flat(cr);
    std::vector<OutlineStep> outline;
    for (int i = 0; path->status == CAIRO_STATUS_SUCCESS && i < path->num_data; i += path->data[i].header.length) {
        const cairo_path_data_t& item = path->data[i];
        outline.push_back({item.header.type});
        if (item.header.type != CAIRO_PATH_CLOSE_PATH) {
            outline.back().x = path->data[i + 1].point.x;
            outline.back().y = path->data[i + 1].point.y;
        }
    }
    cairo_path_destroy(path);
    return outline;
}

} // namespace

template<class Paths>
void drawMapLabels(Paths& raster, const std::vector<PlacedLabel>& labels, double zoom)
{
    LabelFont font(zoom);
    cairo_t* cr = font.context();
    cairo_scaled_font_t* scaled = cairo_get_scaled_font(cr);
    // A layer's labels share a few dozen glyphs: each is outlined once.
    std::unordered_map<unsigned long, std::vector<OutlineStep>> outlines;
    StrokeStyle halo{3.0 * labelScale(zoom), LineEnds::Round, LineJoins::Round, {}};
    for (const PlacedLabel& label : labels) {
        if (!isValidUtf8(label.name))
            continue;
        // Glyphs are placed as cairo_text_path places them, from a point
        // near the origin (see LabelFont), and the whole pixels added after.
        double wholeX = std::floor(label.x);
        double wholeY = std::floor(label.y);
        cairo_glyph_t* glyphs = nullptr;
        int count = 0;
        if (cairo_scaled_font_text_to_glyphs(scaled, onCairoGrid(label.x - wholeX), onCairoGrid(label.y - wholeY),
                                             label.name.c_str(), -1, &glyphs, &count, nullptr, nullptr, nullptr)
            != CAIRO_STATUS_SUCCESS)
            continue;
        raster.newPath();
        for (int g = 0; g < count; ++g) {
            auto found = outlines.find(glyphs[g].index);
            if (found == outlines.end())
                found = outlines.emplace(glyphs[g].index, glyphOutline(cr, glyphs[g].index)).first;
            double x = onCairoGrid(glyphs[g].x) + wholeX;
            double y = onCairoGrid(glyphs[g].y) + wholeY;
            for (const OutlineStep& step : found->second) {
                if (step.type == CAIRO_PATH_MOVE_TO)
                    raster.moveTo(step.x + x, step.y + y);
                else if (step.type == CAIRO_PATH_LINE_TO)
                    raster.lineTo(step.x + x, step.y + y);
                else if (step.type == CAIRO_PATH_CLOSE_PATH)
                    raster.closePath();
            }
        }
        cairo_glyph_free(glyphs);
        raster.stroke(halo, {1.0, 1.0, 1.0, 0.88});
        raster.fill(FillRule::NonZero, {0.16, 0.18, 0.20, 0.92});
    }
}

template void drawMapLabels(MapRaster&, const std::vector<PlacedLabel>&, double);
template void drawMapLabels(MapPathList&, const std::vector<PlacedLabel>&, double);

//-----------------------------------------------------------------------------
// [SECTION] Legend
//-----------------------------------------------------------------------------

void drawLegend(cairo_t* cr, int width, int height)
{
    bool oneColumn = width < 320;
    double boxWidth = oneColumn ? 146.0 : 286.0;
    double boxHeight = oneColumn ? 155.0 : 80.0;
    double top = height - boxHeight - 12.0;

    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, 12.0, top, boxWidth, boxHeight);
    cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 0.88);
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0.35, 0.37, 0.39, 0.8);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);

    cairo_select_font_face(cr, "Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 10.0);
    const auto& entries = legendEntries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        int column = oneColumn ? 0 : int(i / 5);
        int row = oneColumn ? int(i) : int(i % 5);
        double x = 20.0 + 142.0 * column;
        double y = top + 15.0 + 15.0 * row;
        cairo_rectangle(cr, x, y - 8.0, 13.0, 7.0);
        setRgb(cr, entries[i].red, entries[i].green, entries[i].blue);
        cairo_fill(cr);
        const char* text = tr(entries[i].messageId);
        if (!isValidUtf8(text))
            text = entries[i].messageId;
        setRgb(cr, 0.15, 0.16, 0.17);
        cairo_move_to(cr, x + 19.0, y - 1.0);
        cairo_show_text(cr, text);
    }
    cairo_restore(cr);
}

//-----------------------------------------------------------------------------
// [SECTION] Track overlay
//-----------------------------------------------------------------------------

namespace {

// Every point projected once per frame; the overlay steps below reuse them.
struct ProjectedTrack {
    std::vector<ScreenPoint> points; // own elevation with showHeight, else ground
    std::vector<ScreenPoint> ground; // only filled for the curtain
};

void drawCurtain(cairo_t* cr, const ProjectedTrack& projected)
{
    cairo_set_source_rgba(cr, 0.30, 0.34, 0.38, 0.42);
    cairo_set_line_width(cr, 1.0);
    cairo_new_path(cr);
    int lines = 0;
    ScreenPoint lastTop{HUGE_VAL, HUGE_VAL};
    ScreenPoint lastBottom{HUGE_VAL, HUGE_VAL};
    for (std::size_t i = 0; i < projected.points.size(); ++i) {
        ScreenPoint top = projected.points[i];
        ScreenPoint bottom = projected.ground[i];
        if (!finite(top) || !finite(bottom))
            continue;
        if (closerThan(top, lastTop, kThinning) && closerThan(bottom, lastBottom, kThinning))
            continue;
        cairo_move_to(cr, top.x, top.y);
        cairo_line_to(cr, bottom.x, bottom.y);
        lastTop = top;
        lastBottom = bottom;
        if (++lines % kStrokeChunk == 0)
            cairo_stroke(cr);
    }
    cairo_stroke(cr);
}

// A polyline through the points from..to, stroked in chunks; points that are
// not finite or too close to the last one drawn are skipped.
void strokePolyline(cairo_t* cr, const std::vector<ScreenPoint>& points, std::size_t from, std::size_t to)
{
    // A line whose first points are unusable starts at its first usable one.
    std::size_t i = from;
    while (i <= to && !finite(points[i]))
        ++i;
    if (i > to)
        return;
    cairo_new_path(cr);
    ScreenPoint last = points[i];
    cairo_move_to(cr, last.x, last.y);
    int lines = 0;
    for (++i; i <= to; ++i) {
        ScreenPoint p = points[i];
        if (!finite(p) || closerThan(p, last, kThinning))
            continue;
        cairo_line_to(cr, p.x, p.y);
        last = p;
        if (++lines % kStrokeChunk == 0) {
            cairo_stroke(cr);
            cairo_move_to(cr, last.x, last.y);
        }
    }
    cairo_stroke(cr);
}

void drawTrackLine(cairo_t* cr, const ProjectedTrack& projected)
{
    cairo_set_source_rgb(cr, 0.08, 0.38, 0.70);
    cairo_set_line_width(cr, 2.5);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    strokePolyline(cr, projected.points, 0, projected.points.size() - 1);
}

void drawLine(cairo_t* cr, ScreenPoint from, ScreenPoint to)
{
    if (!finite(from) || !finite(to))
        return;
    cairo_new_path(cr);
    cairo_move_to(cr, from.x, from.y);
    cairo_line_to(cr, to.x, to.y);
    cairo_stroke(cr);
}

// The picture's bottom middle stands on the point, like a flag pole.
void drawFlag(cairo_t* cr, cairo_surface_t* image, ScreenPoint at)
{
    if (!image || cairo_surface_status(image) != CAIRO_STATUS_SUCCESS || !finite(at)
        || cairo_surface_get_type(image) != CAIRO_SURFACE_TYPE_IMAGE)
        return;
    double w = cairo_image_surface_get_width(image);
    double h = cairo_image_surface_get_height(image);
    cairo_set_source_surface(cr, image, at.x - w / 2.0, at.y - h);
    cairo_paint(cr);
}

// Dots painted from small pictures drawn once per frame: painting a picture
// costs a fraction of filling and stroking a circle, and compositing it gives
// the pixels of the circle drawn in place. Centres are snapped to a quarter
// pixel, one picture per sub-pixel phase.
class DotSprites {
public:
    DotSprites(double radius, const double fill[3], const double outline[3])
        : m_radius(radius)
        , m_fill(fill)
        , m_outline(outline)
        , m_half(int(std::ceil(radius + 0.5)) + 1)
    {
    }
    ~DotSprites()
    {
        for (cairo_surface_t* sprite : m_sprites)
            if (sprite)
                cairo_surface_destroy(sprite);
    }
    DotSprites(const DotSprites&) = delete;
    DotSprites& operator=(const DotSprites&) = delete;

    // Paints a dot at p unless it is the very dot painted last (which would
    // only darken its antialiased rim) or lies wholly off the panel.
    void paint(cairo_t* cr, ScreenPoint p, int width, int height)
    {
        if (!finite(p))
            return;
        double snappedX = std::round(p.x * 4.0) / 4.0;
        double snappedY = std::round(p.y * 4.0) / 4.0;
        if (snappedX == m_lastX && snappedY == m_lastY)
            return;
        double reach = m_half + 1.0;
        if (snappedX < -reach || snappedY < -reach || snappedX > width + reach || snappedY > height + reach)
            return;
        m_lastX = snappedX;
        m_lastY = snappedY;
        double cellX = std::floor(snappedX);
        double cellY = std::floor(snappedY);
        int phase = int((snappedY - cellY) * 4.0) * 4 + int((snappedX - cellX) * 4.0);
        cairo_surface_t* sprite = spriteFor(phase);
        if (!sprite)
            return;
        cairo_set_source_surface(cr, sprite, cellX - m_half, cellY - m_half);
        cairo_rectangle(cr, cellX - m_half, cellY - m_half, 2 * m_half + 1, 2 * m_half + 1);
        cairo_fill(cr);
    }

private:
    cairo_surface_t* spriteFor(int phase)
    {
        if (m_sprites[phase])
            return m_sprites[phase];
        int size = 2 * m_half + 1;
        cairo_surface_t* sprite = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
        if (cairo_surface_status(sprite) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(sprite);
            return nullptr;
        }
        cairo_t* cr = cairo_create(sprite);
        cairo_arc(cr, m_half + (phase % 4) / 4.0, m_half + (phase / 4) / 4.0, m_radius, 0.0, 2.0 * std::numbers::pi);
        setRgb(cr, m_fill[0], m_fill[1], m_fill[2]);
        cairo_fill_preserve(cr);
        setRgb(cr, m_outline[0], m_outline[1], m_outline[2]);
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
        cairo_destroy(cr);
        m_sprites[phase] = sprite;
        return sprite;
    }

    double m_radius;
    const double* m_fill;
    const double* m_outline;
    int m_half; // pixels from the picture's edge to its centre cell
    double m_lastX = HUGE_VAL;
    double m_lastY = HUGE_VAL;
    cairo_surface_t* m_sprites[16] = {};
};

void drawWaypointDots(cairo_t* cr, const ProjectedTrack& projected, int width, int height)
{
    static constexpr double kFill[3] = {0.10, 0.32, 0.60};
    static constexpr double kOutline[3] = {0.95, 0.98, 1.0};
    DotSprites dots(3.5, kFill, kOutline);
    for (ScreenPoint p : projected.points)
        dots.paint(cr, p, width, height);
}

void drawSection(cairo_t* cr, const ProjectedTrack& projected, int markerA, int markerB, int width, int height)
{
    static constexpr double kRed[3] = {0.82, 0.12, 0.10};
    static constexpr double kRim[3] = {1.0, 0.92, 0.90};
    auto lo = std::size_t(std::min(markerA, markerB));
    auto hi = std::size_t(std::max(markerA, markerB));
    setRgb(cr, kRed[0], kRed[1], kRed[2]);
    cairo_set_line_width(cr, 4.0);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    strokePolyline(cr, projected.points, lo, hi);
    DotSprites dots(4.0, kRed, kRim);
    for (std::size_t i = lo; i <= hi; ++i)
        dots.paint(cr, projected.points[i], width, height);
}

void drawCursor(cairo_t* cr, const MapScene& scene, const ProjectedTrack& projected, const MapProjection& projection)
{
    const Track& track = *scene.track;
    if (scene.freeCursor) {
        ScreenPoint p = projection.projectGround(scene.freeCursorLat, scene.freeCursorLon, Pan::Applied);
        if (!finite(p))
            return;
        setRgb(cr, 0.92, 0.32, 0.10);
        cairo_set_line_width(cr, 2.5);
        cairo_new_path(cr);
        cairo_move_to(cr, p.x - 9.0, p.y);
        cairo_line_to(cr, p.x + 9.0, p.y);
        cairo_move_to(cr, p.x, p.y - 9.0);
        cairo_line_to(cr, p.x, p.y + 9.0);
        cairo_new_sub_path(cr);
        cairo_arc(cr, p.x, p.y, 5.0, 0.0, 2.0 * std::numbers::pi);
        cairo_stroke(cr);
        return;
    }
    if (!validIndex(track, scene.cursorIndex))
        return;
    ScreenPoint p = projected.points[std::size_t(scene.cursorIndex)];
    if (!finite(p))
        return;
    setRgb(cr, 1.0, 0.72, 0.05);
    cairo_set_line_width(cr, 3.0);
    cairo_new_path(cr);
    cairo_arc(cr, p.x, p.y, 7.0, 0.0, 2.0 * std::numbers::pi);
    cairo_stroke(cr);
}

void drawTrackOverlay(cairo_t* cr, const MapScene& scene, const MapProjection& projection)
{
    const Track& track = *scene.track;
    int count = track.getWayPointCount();
    bool showHeight = scene.view.showHeight;
    ProjectedTrack projected;
    projected.points.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        projected.points.push_back(projection.projectWayPoint(*track.getWayPoint(i), Pan::Applied));

    if (showHeight) {
        projected.ground.reserve(std::size_t(count));
        for (int i = 0; i < count; ++i) {
            const WayPoint& point = *track.getWayPoint(i);
            projected.ground.push_back(projection.projectGround(point.getLat(), point.getLon(), Pan::Applied));
        }
        drawCurtain(cr, projected);
    }
    drawTrackLine(cr, projected);

    bool markersSet = validIndex(track, scene.markerA) && validIndex(track, scene.markerB);
    if (scene.showDirectLine && markersSet) {
        cairo_set_source_rgb(cr, 0.75, 0.25, 0.12);
        cairo_set_line_width(cr, 1.5);
        drawLine(cr, projected.points[std::size_t(scene.markerA)], projected.points[std::size_t(scene.markerB)]);
    }
    drawFlag(cr, scene.flags.start, projected.points.front());
    drawFlag(cr, scene.flags.finish, projected.points.back());
    if (scene.showWaypoints)
        drawWaypointDots(cr, projected, scene.view.width, scene.view.height);
    if (markersSet)
        drawSection(cr, projected, scene.markerA, scene.markerB, scene.view.width, scene.view.height);
    drawCursor(cr, scene, projected, projection);
    if (validIndex(track, scene.markerA))
        drawFlag(cr, scene.flags.markA, projected.points[std::size_t(scene.markerA)]);
    if (validIndex(track, scene.markerB))
        drawFlag(cr, scene.flags.markB, projected.points[std::size_t(scene.markerB)]);
}

} // namespace

//-----------------------------------------------------------------------------
// [SECTION] Frame
//-----------------------------------------------------------------------------

namespace {

void drawBackground(cairo_t* cr, int width, int height)
{
    cairo_set_source_rgb(cr, 0.96, 0.97, 0.98);
    cairo_paint(cr);
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgb(cr, 0.88, 0.90, 0.92);
    cairo_new_path(cr);
    for (int x = 0; x < width; x += 50) {
        cairo_move_to(cr, x, 0.0);
        cairo_line_to(cr, x, height);
    }
    for (int y = 0; y < height; y += 50) {
        cairo_move_to(cr, 0.0, y);
        cairo_line_to(cr, width, y);
    }
    cairo_stroke(cr);
}

MapLayerKey layerKey(const MapScene& scene)
{
    const ViewState& view = scene.view;
    return MapLayerKey{scene.track,  view.width, view.height,       view.angleX,         view.angleY, view.angleZ,
                       scene.mapRevision, view.zoom, view.headingAngle, view.panX, view.panY};
}

// Runs work(0) on this thread and work(1..count-1) on threads of their own;
// a part whose thread cannot be started runs here too.
template<class Work>
void runParts(int count, const Work& work)
{
    std::vector<std::jthread> helpers;
    for (int part = 1; part < count; ++part) {
        try {
            helpers.emplace_back(work, part);
        } catch (const std::system_error&) {
            work(part);
        }
    }
    work(0);
}

void clearRows(cairo_surface_t* surface, int first, int end)
{
    std::size_t stride = std::size_t(cairo_image_surface_get_stride(surface));
    std::memset(cairo_image_surface_get_data(surface) + stride * std::size_t(first), 0,
                stride * std::size_t(end - first));
}

// Features cost about the same per point; the threads get equal shares.
std::vector<std::size_t> splitByPoints(const std::vector<const MapFeature*>& features, int parts)
{
    std::size_t total = 0;
    for (const MapFeature* feature : features)
        total += feature->points.size();
    std::vector<std::size_t> ends;
    std::size_t sum = 0;
    for (std::size_t i = 0; i < features.size(); ++i) {
        sum += features[i]->points.size();
        while (ends.size() + 1 < std::size_t(parts) && sum * std::size_t(parts) >= total * (ends.size() + 1))
            ends.push_back(i + 1);
    }
    ends.resize(std::size_t(parts), features.size());
    return ends;
}

// With several threads, each first records a share of the features as paths
// (one of them also the labels, which need cairo); then the threads draw all
// of them, band of rows by band. A row's pixels depend on nothing outside
// it, so the picture is the one a single thread draws.
void drawLayer(MapLayerCache& cache, cairo_surface_t* surface, const MapScene& scene, const MapProjection& projection)
{
    int width = scene.view.width;
    int height = scene.view.height;
    double zoom = scene.view.zoom;
    int threads = std::clamp(cache.threads > 0 ? cache.threads : int(std::thread::hardware_concurrency()), 1, 4);
    std::vector<const MapFeature*> features = mapLayerFeatures(cache, *scene.features, scene.mapRevision, projection);
    auto labels = [&] {
        return placeMapLabels(collectLabelCandidates(cache.index, projection), width, height, zoom);
    };
    cache.bands.resize(std::size_t(threads));
    cairo_surface_flush(surface);
    if (threads == 1) {
        clearRows(surface, 0, 3 * height);
        MapRaster raster(surface, width, height, cache.bands[0], 0, 3 * height);
        for (const MapFeature* feature : features)
            drawMapFeature(raster, *feature, projection);
        drawMapLabels(raster, labels(), zoom);
        cairo_surface_mark_dirty(surface);
        return;
    }
    cache.recorded.resize(std::size_t(threads) + 1);
    for (MapPathList& list : cache.recorded)
        list.clear();
    std::vector<std::size_t> ends = splitByPoints(features, threads);
    runParts(threads, [&](int part) {
        if (part == 0)
            drawMapLabels(cache.recorded[std::size_t(threads)], labels(), zoom);
        MapPathList& list = cache.recorded[std::size_t(part)];
        for (std::size_t i = part == 0 ? 0 : ends[std::size_t(part) - 1]; i < ends[std::size_t(part)]; ++i)
            drawMapFeature(list, *features[i], projection);
    });
    // Rows differ a lot in cost, so there are more bands than threads, each
    // taken by the next thread free. A band passes over the paths that miss it.
    int bands = 4 * threads;
    std::atomic<int> next{0};
    runParts(threads, [&](int part) {
        RasterBuffers& buffers = cache.bands[std::size_t(part)];
        for (int band = next++; band < bands; band = next++) {
            int first = 3 * height * band / bands;
            int end = 3 * height * (band + 1) / bands;
            clearRows(surface, first, end);
            MapRaster raster(surface, width, height, buffers, first, end);
            for (const MapPathList& list : cache.recorded)
                list.replay(raster);
        }
    });
    cairo_surface_mark_dirty(surface);
}

void rebuildMapLayer(MapLayerCache& cache, const MapScene& scene, const MapProjection& projection)
{
    cache.clear();
    int width = scene.view.width;
    int height = scene.view.height;
    cairo_surface_t* surface = cache.spare;
    cache.spare = nullptr;
    if (surface && (cairo_image_surface_get_width(surface) != 3 * width
                    || cairo_image_surface_get_height(surface) != 3 * height)) {
        cairo_surface_destroy(surface);
        surface = nullptr;
    }
    if (!surface)
        surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 3 * width, 3 * height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        // Out of memory or beyond cairo's size limit: no map this frame rather than a crash.
        cairo_surface_destroy(surface);
        return;
    }
    drawLayer(cache, surface, scene, projection);
    cache.surface = surface;
    cache.key = layerKey(scene);
    ++cache.rebuilds;
}

} // namespace

void renderMapPanel(cairo_t* cr, const MapScene& scene, TrackExtent& extent, MapLayerCache& cache)
{
    const ViewState& view = scene.view;
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_dash(cr, nullptr, 0, 0.0);
    drawBackground(cr, view.width, view.height);
    if (!scene.track || scene.track->getWayPointCount() == 0) {
        cairo_restore(cr);
        return;
    }
    MapProjection projection(*scene.track, extent, view);

    if (scene.showMap && scene.features && !scene.features->empty()) {
        if (!canReuseLayer(cache, layerKey(scene)))
            rebuildMapLayer(cache, scene, projection);
        if (cache.surface) {
            cairo_set_source_surface(cr, cache.surface, view.panX - cache.key.panX - view.width,
                                     view.panY - cache.key.panY - view.height);
            cairo_paint(cr);
        }
        drawLegend(cr, view.width, view.height);
    }
    drawTrackOverlay(cr, scene, projection);
    cairo_restore(cr);
}

} // namespace pathlark
