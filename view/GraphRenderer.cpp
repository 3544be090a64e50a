#include "view/GraphRenderer.h"

#include "i18n/Translate.h"
#include "track/Track.h"
#include "track/TrackStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace pathlark {

namespace {

constexpr double kKilometresPerDegree = 111.32;

// The value range a series is drawn over; a flat series still gets 1 unit.
struct SeriesRange {
    double min = 0.0;
    double max = 0.0;
    double span() const { return std::max(max - min, 1.0); }
};

// Takes the finite values of points 1 .. n-1 into a range that starts at `first`.
SeriesRange rangeOf(const std::vector<double>& values, double first)
{
    SeriesRange range{first, first};
    for (std::size_t i = 1; i < values.size(); ++i) {
        if (!std::isfinite(values[i]))
            continue;
        range.min = std::min(range.min, values[i]);
        range.max = std::max(range.max, values[i]);
    }
    return range;
}

double valueY(double value, const SeriesRange& range, int height)
{
    return (height - kGraphMargin) - (value - range.min) * (height - 2.0 * kGraphMargin) / range.span();
}

// Joins the finite values into one polyline; the caller has begun the path.
void addSeries(cairo_t* cr, const std::vector<double>& values, const SeriesRange& range, int width, int height)
{
    int count = int(values.size());
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(values[std::size_t(i)]))
            continue;
        double x = graphX(i, count, width);
        double y = valueY(values[std::size_t(i)], range, height);
        if (cairo_has_current_point(cr))
            cairo_line_to(cr, x, y);
        else
            cairo_move_to(cr, x, y);
    }
}

double textWidth(cairo_t* cr, const std::string& text)
{
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    return extents.width;
}

} // namespace

double segmentSpeed(const Track& track, int index)
{
    if (index < 1 || index >= track.getWayPointCount())
        return 0.0;
    const WayPoint& p = *track.getWayPoint(index - 1);
    const WayPoint& q = *track.getWayPoint(index);
    double north = (q.getLat() - p.getLat()) * kKilometresPerDegree;
    double east = std::cos(q.getLat() * std::numbers::pi / 180.0) * kKilometresPerDegree * (q.getLon() - p.getLon());
    double distance = std::sqrt(north * north + east * east);
    // In 64 bits: the difference of two 32-bit times can exceed 32 bits.
    std::int64_t seconds = std::max<std::int64_t>(1, std::int64_t(q.getTime()) - p.getTime());
    return distance / (double(seconds) / 3600.0);
}

std::string formatGraphValue(double value, bool isSpeed)
{
    return isSpeed ? formatFixed(value, 1, " km/h") : formatFixed(value, 0, " m");
}

double graphX(int index, int count, int width)
{
    return (width - 2.0 * kGraphMargin) * index / std::max(count - 1, 1) + kGraphMargin;
}

int graphIndexAt(double x, int width, int count)
{
    if (count < 1)
        return -1;
    double f = (x - kGraphMargin) / std::max(width - 2.0 * kGraphMargin, 1.0);
    f = std::isfinite(f) ? std::clamp(f, 0.0, 1.0) : 0.0;
    return int(std::lround(f * (count - 1)));
}

namespace {

// drawGraphLabel's clamping: x into 4 .. W - text width - 10 (4 wins when
// that is empty), y into 13 .. H - 5 (13 wins likewise).
ScreenPoint clampLabel(double x, double y, double textWidth, int width, int height)
{
    x = std::max(4.0, std::min(x, width - textWidth - 10.0));
    y = std::max(13.0, std::min(y, height - 5.0));
    return {x, y};
}

} // namespace

ScreenPoint graphCursorLabelPosition(double cursorX, double valueY, double textWidth, double maxLabelWidth, int width,
                                     int height)
{
    double x = cursorX + textWidth + 14.0 >= width ? cursorX - textWidth - 7.0 : cursorX + 7.0;
    double y = std::isfinite(valueY) ? valueY - 6.0 : 13.0;
    ScreenPoint p = clampLabel(x, y, textWidth, width, height);
    if (p.x - 3.0 < maxLabelWidth + 10.0 && p.y - 12.0 < 18.0)
        p.y = 32.0;
    return p;
}

void drawGraphLabel(cairo_t* cr, int width, int height, const std::string& text, double x, double y)
{
    double w = textWidth(cr, text);
    ScreenPoint p = clampLabel(x, y, w, width, height);
    cairo_new_path(cr);
    cairo_rectangle(cr, p.x - 3.0, p.y - 12.0, w + 6.0, 16.0);
    cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 0.88);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.12, 0.13, 0.14);
    cairo_move_to(cr, p.x, p.y);
    cairo_show_text(cr, text.c_str());
}

void renderGraphPanel(cairo_t* cr, int width, int height, const Track& track, int cursorIndex, GraphMode mode)
{
    int count = track.getWayPointCount();
    if (count < 1)
        return;
    bool speedFirst = mode == GraphMode::Speed;
    std::vector<double> primary(static_cast<std::size_t>(count));
    std::vector<double> speeds(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        speeds[std::size_t(i)] = segmentSpeed(track, i);
        primary[std::size_t(i)] = speedFirst ? speeds[std::size_t(i)] : track.getWayPoint(i)->getEle();
    }
    // Heights start from the first point's, speeds from 0, so a speed graph
    // always reaches down to standing still. A height that is not a number
    // is left out rather than spoiling the range.
    double first = 0.0;
    if (!speedFirst) {
        auto usable = std::find_if(primary.begin(), primary.end(), [](double v) { return std::isfinite(v); });
        first = usable == primary.end() ? 0.0 : *usable;
    }
    SeriesRange primaryRange = rangeOf(primary, first);
    SeriesRange speedRange = rangeOf(speeds, 0.0);

    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_dash(cr, nullptr, 0, 0.0);
    cairo_set_source_rgb(cr, 0.98, 0.98, 0.98);
    cairo_paint(cr);
    cairo_new_path(cr);
    for (int y = 20; y < height; y += 25) {
        cairo_move_to(cr, 0.0, y);
        cairo_line_to(cr, width, y);
    }
    cairo_set_line_width(cr, 2.0);
    cairo_set_source_rgb(cr, 0.86, 0.88, 0.90);
    cairo_stroke(cr);

    // The curve rises from the plot's bottom-left corner.
    cairo_move_to(cr, kGraphMargin, height - kGraphMargin);
    addSeries(cr, primary, primaryRange, width, height);
    cairo_set_source_rgb(cr, 0.12, 0.42, 0.68);
    cairo_stroke(cr);
    if (mode == GraphMode::HeightAndSpeed) {
        addSeries(cr, speeds, speedRange, width, height);
        cairo_set_source_rgb(cr, 0.82, 0.30, 0.12);
        cairo_stroke(cr);
    }

    cairo_select_font_face(cr, "Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 11.0);
    std::string maxText = tr("Max: ") + formatGraphValue(primaryRange.max, speedFirst);
    if (mode == GraphMode::HeightAndSpeed)
        maxText += " / " + formatGraphValue(speedRange.max, true);

    bool hasCursor = cursorIndex >= 0 && cursorIndex < count;
    std::string cursorText;
    ScreenPoint cursorLabel;
    if (hasCursor) {
        double x = graphX(cursorIndex, count, width);
        cairo_move_to(cr, x, 0.0);
        cairo_line_to(cr, x, height);
        cairo_set_source_rgb(cr, 0.90, 0.55, 0.05);
        cairo_stroke(cr);
        double value = primary[std::size_t(cursorIndex)];
        cursorText = formatGraphValue(value, speedFirst);
        if (mode == GraphMode::HeightAndSpeed)
            cursorText += " / " + formatGraphValue(speeds[std::size_t(cursorIndex)], true);
        cursorLabel = graphCursorLabelPosition(x, valueY(value, primaryRange, height), textWidth(cr, cursorText),
                                               textWidth(cr, maxText), width, height);
    }
    drawGraphLabel(cr, width, height, maxText, 7.0, 14.0);
    if (hasCursor)
        drawGraphLabel(cr, width, height, cursorText, cursorLabel.x, cursorLabel.y);
    cairo_restore(cr);
}

} // namespace pathlark
