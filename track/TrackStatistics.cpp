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

// Length along the track from point `first` to point `last`.
double pathLength(const Track& track, int first, int last)
{
    double metres = 0;
    for (int i = first + 1; i <= last; ++i)
        metres += haversineDistance(*track.getWayPoint(i - 1), *track.getWayPoint(i));
    return metres;
}

} // namespace

double haversineDistance(double lat1, double lon1, double lat2, double lon2)
{
    double phi1 = radians(lat1);
    double phi2 = radians(lat2);
    double halfDPhi = std::sin((phi2 - phi1) / 2);
    double halfDLambda = std::sin(radians(lon2 - lon1) / 2);
    double a = std::cos(phi1) * std::cos(phi2) * halfDLambda * halfDLambda + halfDPhi * halfDPhi;
    // Rounding can push a just outside [0, 1] for antipodal or equal points.
    double s = a < 0 ? 0.0 : a > 1 ? 1.0 : std::sqrt(a);
    return kEarthDiameter * std::asin(s);
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
    for (int i = 0; i < count; ++i) {
        const WayPoint& point = *track.getWayPoint(i);
        stats.minHeight = std::min(stats.minHeight, point.getEle());
        stats.maxHeight = std::max(stats.maxHeight, point.getEle());
        if (i == 0)
            continue;
        const WayPoint& previous = *track.getWayPoint(i - 1);
        double metres = haversineDistance(previous, point);
        stats.distance += metres;
        // Times may run backwards or repeat; such segments have no speed.
        std::int64_t seconds = std::int64_t { point.getTime() } - previous.getTime();
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
    }
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
    stats.distance = pathLength(track, stats.first, stats.last);
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
