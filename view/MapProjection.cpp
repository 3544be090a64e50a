#include "view/MapProjection.h"

#include "track/Track.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pathlark {

namespace {

// Keeps a one-point or straight north-south track finite.
constexpr double kMinSpan = 1e-12;

double radians(double degrees)
{
    return degrees * std::numbers::pi / 180.0;
}

} // namespace

void updateTrackExtent(TrackExtent& extent, const Track& track)
{
    int count = track.getWayPointCount();
    if (extent.track == &track && extent.pointCount == count)
        return;
    extent = TrackExtent{};
    extent.track = &track;
    extent.pointCount = count;
    bool first = true;
    for (int i = 0; i < count; ++i) {
        const WayPoint* point = track.getWayPoint(i);
        double lat = point->getLat();
        double lon = point->getLon();
        // One "nan" in a file would otherwise poison every comparison below.
        if (!std::isfinite(lat) || !std::isfinite(lon))
            continue;
        if (first) {
            extent.minLat = extent.maxLat = lat;
            extent.minLon = extent.maxLon = lon;
            first = false;
            continue;
        }
        extent.minLat = std::min(extent.minLat, lat);
        extent.maxLat = std::max(extent.maxLat, lat);
        extent.minLon = std::min(extent.minLon, lon);
        extent.maxLon = std::max(extent.maxLon, lon);
    }
}

MapProjection::MapProjection(const Track& track, TrackExtent& extent, const ViewState& view)
    : m_view(view)
{
    updateTrackExtent(extent, track);
    m_midLat = (extent.minLat + extent.maxLat) / 2.0;
    m_midLon = (extent.minLon + extent.maxLon) / 2.0;
    // A panel smaller than its margins would give a negative scale and mirror the map.
    double usableW = std::max(view.width - 2.0 * kFitMargin, 1.0);
    double usableH = std::max(view.height - 2.0 * kFitMargin, 1.0);
    double fit = std::min(usableH / std::max(extent.maxLat - extent.minLat, kMinSpan),
                          usableW / std::max(extent.maxLon - extent.minLon, kMinSpan));
    m_scale = view.zoom * fit;

    const WayPoint* first = track.getWayPoint(0);
    double ele0 = first ? first->getEle() : 0.0;
    m_ele0 = std::isfinite(ele0) ? ele0 : 0.0;

    double a = radians(view.angleX);
    double b = radians(view.angleY);
    double c = radians(view.angleZ) + (std::isfinite(view.headingAngle) ? view.headingAngle : 0.0);
    m_cosA = std::cos(a);
    m_sinA = std::sin(a);
    m_cosB = std::cos(b);
    m_sinB = std::sin(b);
    m_cosC = std::cos(c);
    m_sinC = std::sin(c);

    // With Z = 0: X = k dLon, Y = -k dLat, and the three rotations collapse into one 2x2 matrix.
    double k = m_scale;
    m_groundXLon = m_cosB * m_cosC * k;
    m_groundYLon = m_cosB * m_sinC * k;
    m_groundXLat = -(m_sinA * m_sinB * m_cosC - m_cosA * m_sinC) * k;
    m_groundYLat = -(m_sinA * m_sinB * m_sinC + m_cosA * m_cosC) * k;
    // Offsets folded in so projectGround needs no subtraction of the midpoint.
    m_groundX0 = view.width / 2.0 - m_groundXLat * m_midLat - m_groundXLon * m_midLon;
    m_groundY0 = view.height / 2.0 - m_groundYLat * m_midLat - m_groundYLon * m_midLon;
}

ScreenPoint MapProjection::projectPoint(double lat, double lon, double ele, Pan pan) const
{
    double k = m_scale;
    double X = (lon - m_midLon) * k;
    double Y = -(lat - m_midLat) * k;
    double Z = (ele - m_ele0) * k / kMetresPerDegree;
    double Y1 = Y * m_cosA - Z * m_sinA;
    double Z1 = Y * m_sinA + Z * m_cosA;
    double X2 = X * m_cosB + Z1 * m_sinB;
    ScreenPoint p{m_view.width / 2.0 + X2 * m_cosC - Y1 * m_sinC, m_view.height / 2.0 + X2 * m_sinC + Y1 * m_cosC};
    if (pan == Pan::Applied) {
        p.x += m_view.panX;
        p.y += m_view.panY;
    }
    return p;
}

ScreenPoint MapProjection::projectWayPoint(const WayPoint& point, Pan pan) const
{
    if (m_view.showHeight)
        return projectPoint(point.getLat(), point.getLon(), point.getEle(), pan);
    return projectGround(point.getLat(), point.getLon(), pan);
}

MapPoint MapProjection::unprojectFlat(double px, double py) const
{
    double dx = (px - m_view.panX - m_view.width / 2.0) / m_scale;
    double dy = (py - m_view.panY - m_view.height / 2.0) / m_scale;
    return MapPoint{m_midLat - dy, m_midLon + dx};
}

int wrapAngle(int angle, int step)
{
    // In 64 bits, so no sum of two ints can overflow.
    long long sum = static_cast<long long>(angle) + step;
    return static_cast<int>((sum % 360 + 360) % 360);
}

double clampZoom(double zoom)
{
    return std::clamp(zoom, kMinZoom, kMaxZoom);
}

double followHeading(const Track& track, int cursorIndex)
{
    int count = track.getWayPointCount();
    if (count < 2)
        return 0.0;
    int i = std::clamp(cursorIndex, 0, count - 2);
    const WayPoint* p = track.getWayPoint(i);
    const WayPoint* q = track.getWayPoint(i + 1);
    double heading = -std::numbers::pi / 2.0 - std::atan2(-(q->getLat() - p->getLat()), q->getLon() - p->getLon());
    // A non-finite heading would turn every projected point into NaN.
    return std::isfinite(heading) ? heading : 0.0;
}

void centerOn(ViewState& view, ScreenPoint unpanned)
{
    if (!std::isfinite(unpanned.x) || !std::isfinite(unpanned.y))
        return;
    view.panX = view.width / 2.0 - unpanned.x;
    view.panY = view.height / 2.0 - unpanned.y;
}

void zoomAbout(ViewState& view, double factor, double px, double py)
{
    if (!std::isfinite(factor) || factor <= 0.0)
        return;
    double before = view.zoom;
    view.zoom = clampZoom(factor * before);
    double r = view.zoom / before;
    double mx = px - view.width / 2.0;
    double my = py - view.height / 2.0;
    view.panX = mx - (mx - view.panX) * r;
    view.panY = my - (my - view.panY) * r;
}

int pickNearestPoint(const MapProjection& projection, const Track& track, double px, double py)
{
    int best = -1;
    double bestDistance = 1e100;
    int count = track.getWayPointCount();
    for (int i = 0; i < count; ++i) {
        ScreenPoint p = projection.projectWayPoint(*track.getWayPoint(i), Pan::Applied);
        double dx = p.x - px;
        double dy = p.y - py;
        double distance = dx * dx + dy * dy;
        // Strictly smaller, so a tie goes to the earlier point; NaN never wins.
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

} // namespace pathlark
