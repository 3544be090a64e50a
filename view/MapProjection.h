#pragma once
// The map view's geometry: geographic positions to map-panel pixels and
// back. The shown track is fitted into the panel with a 28-pixel margin,
// then zoomed, rotated about three axes (parallel projection, no division by
// depth) and shifted by the pan. Pure functions over a ViewState, so the
// engine, the renderer and the tests share one implementation.

#include "map/MapFeature.h"

class Track;
class WayPoint;

namespace pathlark {

// Latitude and longitude extremes of one track, cached because the
// projection needs them for every point of every frame. Keyed on the track's
// address and point count; points with a non-finite coordinate are left out.
struct TrackExtent {
    const Track* track = nullptr;
    int pointCount = -1;
    double minLat = 0.0;
    double maxLat = 0.0;
    double minLon = 0.0;
    double maxLon = 0.0;
};

// Recomputes the extent when it was taken for another track or point count.
void updateTrackExtent(TrackExtent& extent, const Track& track);

// The part of the engine's state the projection reads.
struct ViewState {
    int width = 0; // map panel, pixels
    int height = 0;
    double zoom = 1.0; // always within kMinZoom .. kMaxZoom
    double panX = 0.0; // pixels, added after projection
    double panY = 0.0;
    int angleX = 0; // whole degrees, 0..359
    int angleY = 0;
    int angleZ = 0;
    double headingAngle = 0.0; // radians, added to angleZ
    bool showHeight = false;   // elevation lifts the track
};

inline constexpr double kMinZoom = 0.05;
inline constexpr double kMaxZoom = 50.0;
// Pixels of free space on each side of the fitted track at zoom 1.
inline constexpr double kFitMargin = 28.0;
// Metres per degree, to put elevations into the plane's unit.
inline constexpr double kMetresPerDegree = 111320.0;

enum class Pan { Without, Applied };

struct ScreenPoint {
    double x = 0.0;
    double y = 0.0;
};

// One frame's projection. Construct it once and project many points: the
// extent, scale and rotation are worked out here, not per point.
class MapProjection {
public:
    // The track must have at least one point.
    MapProjection(const Track& track, TrackExtent& extent, const ViewState& view);

    ScreenPoint projectPoint(double lat, double lon, double ele, Pan pan) const;
    // The point's own elevation with showHeight, else the ground plane.
    ScreenPoint projectWayPoint(const WayPoint& point, Pan pan) const;
    // At the first point's elevation: the plane the map and free cursor live in.
    ScreenPoint projectGround(double lat, double lon, Pan pan) const
    {
        double x = m_groundX0 + m_groundXLat * lat + m_groundXLon * lon;
        double y = m_groundY0 + m_groundYLat * lat + m_groundYLon * lon;
        if (pan == Pan::Applied) {
            x += m_view.panX;
            y += m_view.panY;
        }
        return {x, y};
    }

    // Inverse of projectGround for an unrotated view: the free cursor's mapping.
    MapPoint unprojectFlat(double px, double py) const;

    // Pixels per degree at the current zoom.
    double scale() const { return m_scale; }
    double midLat() const { return m_midLat; }
    double midLon() const { return m_midLon; }
    // The elevation every other one is measured from (0 when the first point's is not finite).
    double groundElevation() const { return m_ele0; }
    const ViewState& view() const { return m_view; }

private:
    ViewState m_view;
    double m_midLat = 0.0;
    double m_midLon = 0.0;
    double m_scale = 0.0;
    double m_ele0 = 0.0;
    double m_cosA = 1.0, m_sinA = 0.0;
    double m_cosB = 1.0, m_sinB = 0.0;
    double m_cosC = 1.0, m_sinC = 0.0;
    // The ground plane is an affine image of (lat, lon): x = x0 + xLat lat + xLon lon.
    double m_groundX0 = 0.0, m_groundXLat = 0.0, m_groundXLon = 0.0;
    double m_groundY0 = 0.0, m_groundYLat = 0.0, m_groundYLon = 0.0;
};

// ((angle + step) mod 360 + 360) mod 360, so -5 from 0 gives 355.
int wrapAngle(int angle, int step = 0);
double clampZoom(double zoom);

// Rotation that turns the segment leaving the cursor point upwards, or 0
// when the track has fewer than two points.
double followHeading(const Track& track, int cursorIndex);

// The pan that puts a ground or track position at the panel centre.
void centerOn(ViewState& view, ScreenPoint unpannedPosition);

// Multiplies the zoom about the panel position (px, py), so the map point
// under it stays where it is.
void zoomAbout(ViewState& view, double factor, double px, double py);

// Index of the track point drawn nearest to (px, py); the earlier point wins
// a tie. -1 for a track without points.
int pickNearestPoint(const MapProjection& projection, const Track& track, double px, double py);

} // namespace pathlark
