#include "track/TrackStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <locale>
#include <numbers>
#include <sstream>

namespace {

constexpr double kEarthDiameter = 12742000.0; // metres

double radians(double degrees)
{
    return degrees * std::numbers::pi / 180.0;
}

// A point's share of the haversine formula. A pass along a track works out
// each point's cosine once instead of twice, with the very same result.
struct SpherePoint {
    double lon; // degrees
    double phi; // latitude, radians
    double cosPhi;
};

SpherePoint spherePoint(double lat, double lon)
{
    double phi = radians(lat);
    return { lon, phi, std::cos(phi) };
}

SpherePoint spherePoint(const WayPoint& point)
{
    return spherePoint(point.getLat(), point.getLon());
}

double haversine(const SpherePoint& p, const SpherePoint& q)
{
    double halfDPhi = std::sin((q.phi - p.phi) / 2);
    double halfDLambda = std::sin(radians(q.lon - p.lon) / 2);
    double a = p.cosPhi * q.cosPhi * halfDLambda * halfDLambda + halfDPhi * halfDPhi;
    // Rounding can push a just outside [0, 1] for antipodal or equal points.
    double s = a < 0 ? 0.0 : a > 1 ? 1.0 : std::sqrt(a);
    return kEarthDiameter * std::asin(s);
}

// Times are 32-bit, but their difference needs 33 bits.
std::uint32_t timeSpan(const WayPoint& from, const WayPoint& to)
{
    std::int64_t difference = std::int64_t { to.getTime() } - from.getTime();
    return static_cast<std::uint32_t>(std::llabs(difference));
}

double kilometresPerHour(double metres, std::uint32_t seconds)
{
    return seconds == 0 ? 0.0 : metres * 3.6 / seconds;
}

// Moving segments: at most this long (longer ones are pauses or gaps in the
// recording) and at least this fast.
constexpr std::int64_t kMaxMovingStep = 300; // seconds
constexpr double kMinMovingSpeed = 1.0; // km/h

// Ascent and descent with hysteresis: a change of direction counts only once
// the elevation has left the last turning point by kClimbThreshold; while the
// direction holds, every new extreme adds its rise or fall. A climb that ends
// less than the threshold above its start is not counted.
class ClimbCounter {
public:
    void add(double elevation)
    {
        // 0 is how a missing elevation reads; a non-finite one is no reading either.
        if (elevation == 0 || !std::isfinite(elevation))
            return;
        if (!m_started) {
            m_started = true;
            m_low = m_high = elevation;
            return;
        }
        switch (m_direction) {
        case Direction::Undecided:
            m_low = std::min(m_low, elevation);
            m_high = std::max(m_high, elevation);
            if (elevation - m_low >= kClimbThreshold)
                turnUp(elevation, m_low);
            else if (m_high - elevation >= kClimbThreshold)
                turnDown(elevation, m_high);
            break;
        case Direction::Up:
            if (elevation > m_high) {
                ascent += elevation - m_high;
                m_high = elevation;
            } else if (m_high - elevation >= kClimbThreshold) {
                turnDown(elevation, m_high);
            }
            break;
        case Direction::Down:
            if (elevation < m_low) {
                descent += m_low - elevation;
                m_low = elevation;
            } else if (elevation - m_low >= kClimbThreshold) {
                turnUp(elevation, m_low);
            }
            break;
        }
    }

    double ascent = 0;
    double descent = 0;

private:
    enum class Direction { Undecided, Up, Down };

    void turnUp(double elevation, double turningPoint)
    {
        ascent += elevation - turningPoint;
        m_direction = Direction::Up;
        m_high = elevation;
    }
    void turnDown(double elevation, double turningPoint)
    {
        descent += turningPoint - elevation;
        m_direction = Direction::Down;
        m_low = elevation;
    }

    bool m_started = false;
    Direction m_direction = Direction::Undecided;
    double m_low = 0; // lowest since the last turn (falling or undecided)
    double m_high = 0; // highest since the last turn (rising or undecided)
};

} // namespace

double haversineDistance(double lat1, double lon1, double lat2, double lon2)
{
    return haversine(spherePoint(lat1, lon1), spherePoint(lat2, lon2));
}

double haversineDistance(const WayPoint& p, const WayPoint& q)
{
    return haversineDistance(p.getLat(), p.getLon(), q.getLat(), q.getLon());
}

std::optional<TrackStatistics> trackStatistics(const Track& track)
{
    int count = track.getWayPointCount();
    if (count == 0)
        return std::nullopt;

    const WayPoint& firstPoint = *track.getWayPoint(0);
    const WayPoint& lastPoint = *track.getWayPoint(count - 1);
    TrackStatistics stats;
    stats.minHeight = stats.maxHeight = firstPoint.getEle();
    bool haveSpeed = false;
    ClimbCounter climb;
    double movingMetres = 0;
    climb.add(firstPoint.getEle());
    const WayPoint* previous = &firstPoint;
    SpherePoint previousOnSphere = spherePoint(firstPoint);
    for (int i = 1; i < count; ++i) {
        const WayPoint& point = *track.getWayPoint(i);
        const SpherePoint onSphere = spherePoint(point);
        stats.minHeight = std::min(stats.minHeight, point.getEle());
        stats.maxHeight = std::max(stats.maxHeight, point.getEle());
        climb.add(point.getEle());
        double metres = haversine(previousOnSphere, onSphere);
        stats.distance += metres;
        // Times may run backwards or repeat; such segments have no speed.
        std::int64_t seconds = std::int64_t { point.getTime() } - previous->getTime();
        previous = &point;
        previousOnSphere = onSphere;
        if (seconds < 1)
            continue;
        double speed = metres * 3.6 / static_cast<double>(seconds);
        if (!haveSpeed) {
            stats.minSpeed = stats.maxSpeed = speed;
            haveSpeed = true;
        } else {
            stats.minSpeed = std::min(stats.minSpeed, speed);
            stats.maxSpeed = std::max(stats.maxSpeed, speed);
        }
        if (seconds <= kMaxMovingStep && speed >= kMinMovingSpeed) {
            stats.movingTime += static_cast<std::uint64_t>(seconds);
            movingMetres += metres;
        }
    }
    stats.ascent = climb.ascent;
    stats.descent = climb.descent;
    stats.movingAverage = stats.movingTime == 0 ? 0.0 : movingMetres * 3.6 / static_cast<double>(stats.movingTime);
    stats.duration = timeSpan(firstPoint, lastPoint);
    stats.average = kilometresPerHour(stats.distance, stats.duration);
    stats.pointCount = count;
    stats.startTime = timeOfDay(firstPoint.getTimeString());
    stats.stopTime = timeOfDay(lastPoint.getTimeString());
    return stats;
}

std::optional<StretchStatistics> stretchStatistics(const Track& track, int markerA, int markerB)
{
    int count = track.getWayPointCount();
    if (markerA < 0 || markerB < 0 || markerA >= count || markerB >= count)
        return std::nullopt;

    StretchStatistics stats;
    stats.first = std::min(markerA, markerB);
    stats.last = std::max(markerA, markerB);
    const WayPoint& from = *track.getWayPoint(stats.first);
    const WayPoint& to = *track.getWayPoint(stats.last);
    ClimbCounter climb;
    climb.add(from.getEle());
    SpherePoint previous = spherePoint(from);
    for (int i = stats.first + 1; i <= stats.last; ++i) {
        const WayPoint& point = *track.getWayPoint(i);
        const SpherePoint here = spherePoint(point);
        stats.distance += haversine(previous, here);
        previous = here;
        climb.add(point.getEle());
    }
    stats.ascent = climb.ascent;
    stats.descent = climb.descent;
    stats.direct = haversineDistance(from, to);
    stats.duration = timeSpan(from, to);
    stats.average = kilometresPerHour(stats.distance, stats.duration);
    stats.pointCount = stats.last - stats.first + 1;
    return stats;
}

std::string timeOfDay(std::string_view timeText)
{
    std::size_t t = timeText.find('T');
    if (t == std::string_view::npos || timeText.size() - t - 1 < 8)
        return std::string(timeText);
    return std::string(timeText.substr(t + 1, 8));
}

std::string formatDuration(std::uint64_t seconds)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << seconds / 3600 << ':' << std::setfill('0') << std::setw(2) << seconds / 60 % 60 << ':'
         << std::setw(2) << seconds % 60;
    return text.str();
}

std::string formatFixed(double value, int decimals, std::string_view suffix)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << std::fixed << std::setprecision(std::max(decimals, 0)) << value << suffix;
    return text.str();
}
