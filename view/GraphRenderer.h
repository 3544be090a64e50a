#pragma once
// The statistics graph under the map: the shown track's elevation and/or
// speed over the point index, with the cursor line and two boxed labels.

#include "view/MapProjection.h"

#include <cairo.h>

#include <string>

class Track;

namespace pathlark {

// What the graph shows, as the statistics selector orders it.
enum class GraphMode { Height = 0, Speed = 1, HeightAndSpeed = 2 };

// Free space around the plot on every side, pixels.
inline constexpr double kGraphMargin = 12.0;

// Flat-earth speed (km/h) over the segment that ends at point `index`; 0 for
// the first point and for an index outside the track. A segment shorter than
// a second counts as one second long.
double segmentSpeed(const Track& track, int index);

// "123 m" for a height, "12.3 km/h" for a speed.
std::string formatGraphValue(double value, bool isSpeed);

// x of point `index` of `count` points in a graph `width` pixels wide.
double graphX(int index, int count, int width);
// The point a click at panel x lands on: the nearest index by the same mapping.
int graphIndexAt(double x, int width, int count);

// Where the cursor label goes: right of the cursor line unless it would reach
// the right edge, a little above the value, clamped into the panel, and moved
// down to y 32 when it would run into the maximum label at the top left.
ScreenPoint graphCursorLabelPosition(double cursorX, double valueY, double textWidth, double maxLabelWidth, int width,
                                     int height);

// A text on a light box, its baseline origin clamped into the panel. Uses the
// context's current font.
void drawGraphLabel(cairo_t* cr, int width, int height, const std::string& text, double x, double y);

// Paints the whole graph panel for a track with at least one point; does
// nothing otherwise, so the panel keeps what it showed. The context's state is
// left as it was found.
void renderGraphPanel(cairo_t* cr, int width, int height, const Track& track, int cursorIndex, GraphMode mode);

} // namespace pathlark
