#include "track/GpxReader.h"
#include "track/TrackStatistics.h"

#include <gtest/gtest.h>

#include <climits>
#include <locale>
#include <numbers>
#include <string>
#include <vector>

namespace {

// Points along the equator, `degrees` of longitude apart, at the given times.
std::unique_ptr<Track> equatorTrack(double degrees, std::initializer_list<std::int32_t> times)
{
    auto track = std::make_unique<Track>();
    int i = 0;
    for (std::int32_t time : times) {
        auto point = std::make_unique<WayPoint>();
        point->setLon(degrees * i);
        point->setEle(100.0 - 10 * i * (i - 2)); // rises, then falls below the start
        point->setTime(time);
        track->addWayPoint(std::move(point));
        ++i;
    }
    return track;
}

// Arc length of `degrees` on the equator of the 12 742 km sphere.
double equatorMetres(double degrees)
{
    return degrees * std::numbers::pi / 180 * 6371000.0;
}

} // namespace

TEST(TrackStatistics, HaversineDistanceOnTheSphere)
{
    WayPoint origin;
    WayPoint north;
    north.setLat(1);
    EXPECT_DOUBLE_EQ(haversineDistance(origin, origin), 0);
    EXPECT_NEAR(haversineDistance(origin, north), equatorMetres(1), 1e-6);
    EXPECT_NEAR(haversineDistance(0, 0, 0, -90), equatorMetres(90), 1e-6);
    // Antipodes push the intermediate value to 1, where rounding matters most.
    EXPECT_NEAR(haversineDistance(0, 0, 0, 180), equatorMetres(180), 1e-6);
    EXPECT_NEAR(haversineDistance(45, 10, -45, -170), equatorMetres(180), 1e-3);
}

TEST(TrackStatistics, WholeTrackFromTimesAndDistances)
{
    double step = 0.01;
    auto owner = equatorTrack(step, { 100, 110, 130, 160 });
    const Track& track = *owner;
    auto stats = trackStatistics(track);
    ASSERT_TRUE(stats);
    double segment = haversineDistance(*track.getWayPoint(0), *track.getWayPoint(1));
    EXPECT_DOUBLE_EQ(stats->distance, 3 * segment);
    EXPECT_DOUBLE_EQ(stats->maxSpeed, segment * 3.6 / 10);
    EXPECT_DOUBLE_EQ(stats->minSpeed, segment * 3.6 / 30);
    EXPECT_EQ(stats->duration, 60u);
    EXPECT_DOUBLE_EQ(stats->average, 3 * segment * 3.6 / 60);
    EXPECT_EQ(stats->minHeight, 70); // 100, 110, 100, 70
    EXPECT_EQ(stats->maxHeight, 110);
    EXPECT_EQ(stats->pointCount, 4);
}

TEST(TrackStatistics, SegmentsShorterThanASecondHaveNoSpeed)
{
    // Equal, backwards and unreadable (-1) times count in the distance only.
    auto stats = trackStatistics(*equatorTrack(0.01, { 50, 50, 40, 60 }));
    ASSERT_TRUE(stats);
    double segment = equatorMetres(0.01);
    EXPECT_NEAR(stats->distance, 3 * segment, 1e-6);
    EXPECT_DOUBLE_EQ(stats->minSpeed, stats->maxSpeed);
    EXPECT_NEAR(stats->maxSpeed, segment * 3.6 / 20, 1e-9);
    EXPECT_EQ(stats->duration, 10u);

    auto unreadable = trackStatistics(*equatorTrack(0.01, { -1, -1, -1 }));
    ASSERT_TRUE(unreadable);
    EXPECT_EQ(unreadable->minSpeed, 0);
    EXPECT_EQ(unreadable->maxSpeed, 0);
    EXPECT_EQ(unreadable->average, 0);
    EXPECT_EQ(unreadable->duration, 0u);
    EXPECT_NEAR(unreadable->distance, 2 * segment, 1e-6);
}

TEST(TrackStatistics, OnePointAndNoPoint)
{
    EXPECT_FALSE(trackStatistics(Track()));
    auto stats = trackStatistics(*equatorTrack(1, { 77 }));
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->minHeight, 100);
    EXPECT_EQ(stats->maxHeight, 100);
    EXPECT_EQ(stats->minSpeed, 0);
    EXPECT_EQ(stats->maxSpeed, 0);
    EXPECT_EQ(stats->distance, 0);
    EXPECT_EQ(stats->duration, 0u);
    EXPECT_EQ(stats->average, 0);
    EXPECT_EQ(stats->pointCount, 1);
}

TEST(TrackStatistics, DurationSpansTheWholeThirtyTwoBitRange)
{
    auto stats = trackStatistics(*equatorTrack(1, { INT_MIN, INT_MAX }));
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->duration, 4294967295u);
    EXPECT_EQ(trackStatistics(*equatorTrack(1, { INT_MAX, INT_MIN }))->duration, 4294967295u);
}

TEST(TrackStatistics, StretchBetweenMarkersInEitherOrder)
{
    auto owner = equatorTrack(0.01, { 0, 10, 30, 60, 100 });
    const Track& track = *owner;
    auto forward = stretchStatistics(track, 1, 3);
    auto backward = stretchStatistics(track, 3, 1);
    ASSERT_TRUE(forward);
    ASSERT_TRUE(backward);
    double segment = equatorMetres(0.01);
    for (const auto& stats : { *forward, *backward }) {
        EXPECT_EQ(stats.first, 1);
        EXPECT_EQ(stats.last, 3);
        EXPECT_NEAR(stats.distance, 2 * segment, 1e-6);
        EXPECT_NEAR(stats.direct, 2 * segment, 1e-6);
        EXPECT_EQ(stats.duration, 50u);
        EXPECT_NEAR(stats.average, 2 * segment * 3.6 / 50, 1e-9);
        EXPECT_EQ(stats.pointCount, 3);
    }

    auto same = stretchStatistics(track, 2, 2);
    ASSERT_TRUE(same);
    EXPECT_EQ(same->distance, 0);
    EXPECT_EQ(same->direct, 0);
    EXPECT_EQ(same->average, 0);
    EXPECT_EQ(same->pointCount, 1);

    EXPECT_FALSE(stretchStatistics(track, 2, -1));
    EXPECT_FALSE(stretchStatistics(track, -1, -1));
    EXPECT_FALSE(stretchStatistics(track, 0, 5));
    EXPECT_FALSE(stretchStatistics(Track(), 0, 0));
}

TEST(TrackStatistics, DirectDistanceIsShorterOnAWindingStretch)
{
    Track track;
    for (auto [lat, lon] : { std::pair { 0.0, 0.0 }, { 0.0, 1.0 }, { 1.0, 1.0 } }) {
        auto point = std::make_unique<WayPoint>();
        point->setLat(lat);
        point->setLon(lon);
        track.addWayPoint(std::move(point));
    }
    auto stats = stretchStatistics(track, 0, 2);
    ASSERT_TRUE(stats);
    EXPECT_DOUBLE_EQ(stats->direct, haversineDistance(0, 0, 1, 1));
    EXPECT_LT(stats->direct, stats->distance);
}

TEST(TrackStatistics, TimeOfDayIsTheEightCharactersAfterT)
{
    EXPECT_EQ(timeOfDay("2023-08-19T13:18:46Z"), "13:18:46");
    EXPECT_EQ(timeOfDay("2023-08-19T13:18:46.250+02:00"), "13:18:46");
    EXPECT_EQ(timeOfDay("2023-08-19T13:18"), "2023-08-19T13:18");
    EXPECT_EQ(timeOfDay("yesterday"), "yesterday");
    EXPECT_EQ(timeOfDay(""), "");
}

namespace {

struct CommaDecimals : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
};

} // namespace

TEST(TrackStatistics, Formatting)
{
    EXPECT_EQ(formatDuration(3725), "1:02:05");
    EXPECT_EQ(formatDuration(0), "0:00:00");
    EXPECT_EQ(formatDuration(59), "0:00:59");
    EXPECT_EQ(formatDuration(90000), "25:00:00");
    EXPECT_EQ(formatDuration(4294967295u), "1193046:28:15");

    // Whatever the global locale, numbers keep a decimal point and no grouping.
    std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimals));
    EXPECT_EQ(formatFixed(21012.345, 2, " km"), "21012.35 km");
    EXPECT_EQ(formatFixed(17.44, 1, " km/h"), "17.4 km/h");
    EXPECT_EQ(formatFixed(453.6, 0, " m"), "454 m");
    EXPECT_EQ(formatFixed(-0.5, 2, ""), "-0.50");
    EXPECT_EQ(formatFixed(0, 1, " km/h"), "0.0 km/h");
    std::locale::global(previous);
}

namespace {

// One point a second, 10 m apart along the equator, at these elevations.
std::unique_ptr<Track> profileTrack(const std::vector<double>& elevations)
{
    auto track = std::make_unique<Track>();
    for (size_t i = 0; i < elevations.size(); ++i) {
        auto point = std::make_unique<WayPoint>();
        point->setLon(10.0 * double(i) / equatorMetres(1));
        point->setEle(elevations[i]);
        point->setTime(std::int32_t(i));
        track->addWayPoint(std::move(point));
    }
    return track;
}

// From `start` to each turn in turn, `step` metres a point.
std::vector<double> walk(double start, std::initializer_list<double> turns, double step)
{
    std::vector<double> profile { start };
    for (double turn : turns)
        while (std::abs(turn - profile.back()) > 1e-9)
            profile.push_back(profile.back() + (turn > profile.back() ? step : -step));
    return profile;
}

} // namespace

TEST(TrackStatistics, AscentAndDescentLeaveGpsNoiseOut)
{
    std::vector<double> flat;
    for (int i = 0; i < 200; ++i)
        flat.push_back(500 + std::vector<double> { 0, 2, -2, 1, -1, 2, 0, -2 }[i % 8]);
    const struct {
        std::vector<double> elevations;
        double ascent, descent;
    } cases[] = {
        { walk(100, { 400 }, 3), 300, 0 }, // a staircase of steps below the threshold
        { flat, 0, 0 }, // 2 m noise
        { walk(100, { 200, 150, 250 }, 2), 200, 50 },
        { { 100, 104, 100, 103, 101 }, 0, 0 },
        { { 0, 100, 0, 0, 104, 0, 108, 0 }, 8, 0 }, // missing elevations read 0
        { { 0, 0, 0 }, 0, 0 },
        { { -400, -395, -420 }, 5, 25 },
    };
    for (const auto& c : cases) {
        auto stats = trackStatistics(*profileTrack(c.elevations));
        EXPECT_NEAR(stats->ascent, c.ascent, 1e-9) << &c - cases;
        EXPECT_NEAR(stats->descent, c.descent, 1e-9) << &c - cases;
    }
    // A stretch counts its own: the descent alone (peak at 50, trough at 75), and the whole track.
    auto track = profileTrack(walk(100, { 200, 150, 250 }, 2));
    EXPECT_EQ(stretchStatistics(*track, 75, 50)->ascent, 0);
    EXPECT_EQ(stretchStatistics(*track, 75, 50)->descent, 50);
    EXPECT_EQ(stretchStatistics(*track, 0, 125)->ascent, 200);
}

TEST(TrackStatistics, MovingTimeLeavesOutPausesAndStandstills)
{
    // Steps of 0.001 degrees of longitude (111 m) after the given seconds.
    Track track;
    double lon = 0;
    std::int32_t time = 1000;
    for (auto [step, seconds] : { std::pair { 0.0, 0 }, { 0.001, 10 }, { 0.001, 10 }, { 0.001, 10 }, // 40 km/h
                                  { 0.001, 600 }, // a pause with the recorder on
                                  { 0.0, 60 }, { 0.0, 60 }, // standing
                                  { 0.001, 300 }, // 1.3 km/h over the longest step still counted
                                  { 0.001, 301 }, { 0.001, 0 } }) { // a gap, a repeated time
        auto point = std::make_unique<WayPoint>();
        point->setLon(lon += step);
        point->setTime(time += seconds);
        track.addWayPoint(std::move(point));
    }
    auto stats = trackStatistics(track);
    EXPECT_EQ(stats->movingTime, 330u);
    EXPECT_NEAR(stats->movingAverage, 4 * equatorMetres(0.001) * 3.6 / 330, 1e-9);

    auto timeless = trackStatistics(*equatorTrack(0.01, { 0, 0, 0 }));
    EXPECT_EQ(timeless->movingTime, 0u);
    EXPECT_EQ(timeless->movingAverage, 0);
}

// Expected figures from a separate script over the raw XML (Python's
// ElementTree): moving segments of 1 to 300 s at 1 km/h or more by the
// haversine distance, ascent and descent over the non-zero <ele> values with
// a 5 m hysteresis, rounded as shown. Ascent minus descent agrees with the
// last elevation minus the first within those 5 m (Oslo: -9.8 against -11.2).
TEST(TrackStatistics, RealRecordings)
{
    const char* oslo = "track_oslo-nordmarka_2018_oregon700_gpx10.gpx";
    const char* korita = "multi_korita_2010_4trk-partial-times_gpx10.gpx";
    const struct {
        const char *file, *track, *ascent, *descent, *movingTime, *movingAverage;
    } cases[] = {
        { oslo, "", "393", "403", "1:06:43", "19.9" },
        { korita, "ACTIVE LOG", "212", "17", "0:50:28", "2.6" },
        { korita, "03-OCT-10 #2", "494", "508", "0:00:00", "0.0" }, // no times
    };
    for (const auto& c : cases) {
        auto gpx = readGpxFile(std::string(PATHLARK_TEST_DATA_DIR) + "/gpx/" + c.file);
        ASSERT_TRUE(gpx);
        int i = 0;
        while (i < gpx->getTrackCount() && gpx->getTrack(i)->getName() != c.track)
            ++i;
        ASSERT_LT(i, gpx->getTrackCount()) << c.track;
        auto stats = trackStatistics(*gpx->getTrack(i));
        EXPECT_EQ(formatFixed(stats->ascent, 0) + " " + formatFixed(stats->descent, 0) + " " +
                      formatDuration(stats->movingTime) + " " + formatFixed(stats->movingAverage, 1),
                  std::string(c.ascent) + " " + c.descent + " " + c.movingTime + " " + c.movingAverage)
            << c.file << " " << c.track;
    }
}
