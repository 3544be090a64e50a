// Figures of a track: distances, speeds, heights, times and moving time.

#include "track/GpxReader.h"
#include "track/TrackStatistics.h"

#include <gtest/gtest.h>

#include <climits>
#include <numbers>
#include <sstream>

namespace {

// Points along the equator `degrees` of longitude apart, at the given times and elevations.
std::unique_ptr<Track> equatorTrack(double degrees, std::vector<std::int32_t> times, std::vector<double> elevations = {})
{
    auto track = std::make_unique<Track>();
    for (std::size_t i = 0; i < std::max(times.size(), elevations.size()); ++i) {
        auto point = std::make_unique<WayPoint>();
        point->setLon(degrees * double(i));
        point->setTime(i < times.size() ? times[i] : std::int32_t(i));
        point->setEle(i < elevations.size() ? elevations[i] : 100.0 - 10.0 * double(i * i) + 20.0 * double(i));
        track->addWayPoint(std::move(point));
    }
    return track;
}

// Arc length of `degrees` on the equator of the 12 742 km sphere.
double metres(double degrees)
{
    return degrees * std::numbers::pi / 180 * 6371000.0;
}

std::string figures(const std::optional<TrackStatistics>& s)
{
    if (!s)
        return "none";
    std::ostringstream text;
    text << s->distance << " m " << s->duration << " s, " << s->minSpeed << "-" << s->maxSpeed << " avg " << s->average
         << " km/h, " << s->minHeight << "-" << s->maxHeight << " m, " << s->pointCount << " points";
    return text.str();
}

} // namespace

TEST(TrackStatistics, DistancesSpeedsHeightsAndTimes)
{
    EXPECT_NEAR(haversineDistance(0, 0, 1, 0), metres(1), 1e-6);
    EXPECT_NEAR(haversineDistance(0, 0, 0, -90), metres(90), 1e-6);
    // Antipodes push the intermediate value to 1, where rounding matters most.
    EXPECT_NEAR(haversineDistance(0, 0, 0, 180), metres(180), 1e-6);
    EXPECT_NEAR(haversineDistance(45, 10, -45, -170), metres(180), 1e-3);

    // Heights 100, 110, 100, 70.
    const std::pair<std::vector<std::int32_t>, const char*> cases[] = {
        {{100, 110, 130, 160}, "3335.85 m 60 s, 133.434-400.302 avg 200.151 km/h, 70-110 m, 4 points"},
        // Equal, backwards and unreadable (-1) times count in the distance only.
        {{50, 50, 40, 60}, "3335.85 m 10 s, 200.151-200.151 avg 1200.91 km/h, 70-110 m, 4 points"},
        {{-1, -1, -1}, "2223.9 m 0 s, 0-0 avg 0 km/h, 100-110 m, 3 points"},
        {{77}, "0 m 0 s, 0-0 avg 0 km/h, 100-100 m, 1 points"},
    };
    for (const auto& [times, expected] : cases)
        EXPECT_EQ(figures(trackStatistics(*equatorTrack(0.01, times))), expected);
    EXPECT_EQ(figures(trackStatistics(Track())), "none");
    for (auto times : {std::vector{INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}})
        EXPECT_EQ(trackStatistics(*equatorTrack(1, times))->duration, 4294967295u);
}

TEST(TrackStatistics, AscentAndDescentLeaveGpsNoiseOut)
{
    // From `start` to each turn in turn, `step` metres a point.
    auto walk = [](double start, std::initializer_list<double> turns, double step) {
        std::vector<double> profile{start};
        for (double turn : turns)
            while (std::abs(turn - profile.back()) > 1e-9)
                profile.push_back(profile.back() + (turn > profile.back() ? step : -step));
        return profile;
    };
    std::vector<double> flat;
    for (int i = 0; i < 200; ++i)
        flat.push_back(500 + std::vector<double>{0, 2, -2, 1, -1, 2, 0, -2}[i % 8]);
    const struct {
        std::vector<double> elevations;
        double ascent, descent;
    } cases[] = {
        {walk(100, {400}, 3), 300, 0},  // a staircase of steps below the threshold
        {flat, 0, 0},  // 2 m noise
        {walk(100, {200, 150, 250}, 2), 200, 50},
        {{100, 104, 100, 103, 101}, 0, 0},
        {{100, 105, 100}, 5, 5},  // exactly the threshold counts
        {{0, 100, 0, 0, 104, 0, 108, 0}, 8, 0},  // missing elevations read 0
        {{-400, -395, -420}, 5, 25},
    };
    for (const auto& c : cases) {
        auto stats = trackStatistics(*equatorTrack(10.0 / metres(1), {}, c.elevations));
        EXPECT_NEAR(stats->ascent, c.ascent, 1e-9) << &c - cases;
        EXPECT_NEAR(stats->descent, c.descent, 1e-9) << &c - cases;
    }
    // A stretch counts its own: the descent alone (peak at 50, trough at 75), and the whole track.
    auto track = equatorTrack(10.0 / metres(1), {}, walk(100, {200, 150, 250}, 2));
    EXPECT_EQ(std::pair(stretchStatistics(*track, 75, 50)->ascent, stretchStatistics(*track, 75, 50)->descent),
              std::pair(0.0, 50.0));
    EXPECT_EQ(stretchStatistics(*track, 0, 125)->ascent, 200);
}

TEST(TrackStatistics, MovingTimeLeavesOutPausesAndStandstills)
{
    // Steps of 0.001 degrees of longitude (111 m) after the given seconds.
    Track track;
    double lon = 0;
    std::int32_t time = 1000;
    for (auto [step, seconds] : {std::pair{0.0, 0}, {0.001, 10}, {0.001, 10}, {0.001, 10},  // 40 km/h
                                 {0.001, 600},  // a pause with the recorder on
                                 {0.0, 60}, {0.0, 60},  // standing
                                 {0.001, 300},  // 1.3 km/h over the longest step still counted
                                 {0.001, 301}, {0.001, 0}}) {  // a gap, a repeated time
        auto point = std::make_unique<WayPoint>();
        point->setLon(lon += step);
        point->setTime(time += seconds);
        track.addWayPoint(std::move(point));
    }
    auto stats = trackStatistics(track);
    EXPECT_EQ(stats->movingTime, 330u);
    EXPECT_NEAR(stats->movingAverage, 4 * metres(0.001) * 3.6 / 330, 1e-9);
    auto timeless = trackStatistics(*equatorTrack(0.01, {0, 0, 0}));
    EXPECT_EQ(std::pair(timeless->movingTime, timeless->movingAverage), std::pair(std::uint64_t(0), 0.0));
}

// Figures from a separate script over the raw XML (moving: 1 to 300 s at 1 km/h or more; 5 m hysteresis).
TEST(TrackStatistics, RealRecordings)
{
    const char* oslo = "track_oslo-nordmarka_2018_oregon700_gpx10.gpx";
    const char* korita = "multi_korita_2010_4trk-partial-times_gpx10.gpx";
    const struct {
        const char *file, *track, *figures;
    } cases[] = {
        {oslo, "", "393 403 1:06:43 19.9"},
        {korita, "ACTIVE LOG", "212 17 0:50:28 2.6"},
        {korita, "03-OCT-10 #2", "494 508 0:00:00 0.0"},  // no times
    };
    for (const auto& c : cases) {
        auto gpx = readGpxFile(std::string(PATHLARK_TEST_DATA_DIR) + "/gpx/" + c.file);
        int i = 0;
        while (i < gpx->getTrackCount() - 1 && gpx->getTrack(i)->getName() != c.track)
            ++i;
        auto stats = trackStatistics(*gpx->getTrack(i));
        EXPECT_EQ(formatFixed(stats->ascent, 0) + " " + formatFixed(stats->descent, 0) + " " +
                      formatDuration(stats->movingTime) + " " + formatFixed(stats->movingAverage, 1),
                  c.figures)
            << c.file << " " << c.track;
    }
}
