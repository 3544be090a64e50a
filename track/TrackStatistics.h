#pragma once
// Statistics of one track, for the whole track and for the stretch between
// the two analysis markers. Pure functions over the model; the info panel
// only formats their results.

#include "track/Track.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Great-circle distance in metres on a sphere of 12 742 000 m diameter;
// elevation is ignored.
double haversineDistance(double lat1, double lon1, double lat2, double lon2);
double haversineDistance(const WayPoint& p, const WayPoint& q);

// Elevation changes count only once the elevation has moved this far (metres)
// from the last turning point, so GPS jitter on the flat adds nothing.
// Elevations of exactly 0 are missing ones and are skipped.
inline constexpr double kClimbThreshold = 5.0;

struct TrackStatistics {
    double minHeight { 0 }; // metres
    double maxHeight { 0 }; // metres
    // Over segments at least one second long; both 0 when there is none.
    double minSpeed { 0 }; // km/h
    double maxSpeed { 0 }; // km/h
    double distance { 0 }; // metres, summed over all segments
    std::uint32_t duration { 0 }; // seconds between first and last point
    double average { 0 }; // km/h, 0 when first and last times are equal
    int pointCount { 0 };
    std::string startTime; // time of day of the first point, see timeOfDay()
    std::string stopTime;
    double ascent { 0 }; // metres climbed, without the GPS noise (see kClimbThreshold)
    double descent { 0 }; // metres descended, likewise
    // Segments of 1 s to 5 minutes at 1 km/h or more: the time spent moving,
    // not standing or with the recorder paused.
    std::uint64_t movingTime { 0 }; // seconds
    double movingAverage { 0 }; // km/h over those segments, 0 without them
};

// Empty for a track without points.
std::optional<TrackStatistics> trackStatistics(const Track& track);

struct StretchStatistics {
    int first { 0 }; // the lower marker index
    int last { 0 }; // the higher marker index
    double distance { 0 }; // metres along the track
    double direct { 0 }; // metres in a straight line from first to last
    std::uint32_t duration { 0 }; // seconds
    double average { 0 }; // km/h, 0 when the two times are equal
    int pointCount { 0 }; // first to last inclusive
    double ascent { 0 }; // metres, as for the whole track
    double descent { 0 };
};

// The stretch between two point indices in either order. Empty unless both
// are indices of the track's points (-1 means a marker is not set).
std::optional<StretchStatistics> stretchStatistics(const Track& track, int markerA, int markerB);

// The eight characters after the first "T" of an ISO time ("13:18:46"), or
// the whole text when it has no "T" with eight characters after it.
std::string timeOfDay(std::string_view timeText);

// H:MM:SS, hours unbounded: 3725 gives "1:02:05".
std::string formatDuration(std::uint64_t seconds);

// Fixed-point text with exactly `decimals` decimals and a decimal point
// whatever the global locale, followed by `suffix`.
std::string formatFixed(double value, int decimals, std::string_view suffix = {});
