#include "track/Gpx.h"

#include <gtest/gtest.h>

#include <climits>

TEST(GpxModel, IndicesOutsideTheListsYieldNull)
{
    Gpx gpx;
    auto track = std::make_unique<Track>();
    track->addWayPoint(std::make_unique<WayPoint>());
    gpx.addTrack(std::move(track));

    EXPECT_EQ(gpx.getTrack(-1), nullptr);
    EXPECT_EQ(gpx.getTrack(1), nullptr);
    EXPECT_EQ(gpx.getTrack(INT_MIN), nullptr);
    ASSERT_NE(gpx.getTrack(0), nullptr);
    EXPECT_EQ(gpx.getTrack(0)->getWayPoint(-1), nullptr);
    EXPECT_EQ(gpx.getTrack(0)->getWayPoint(1), nullptr);
    EXPECT_NE(gpx.getTrack(0)->getWayPoint(0), nullptr);
}

TEST(GpxModel, NamesAreStoredWithoutSurroundingWhiteSpace)
{
    Track track;
    track.setName("  Evening ride \n");
    EXPECT_EQ(track.getName(), "Evening ride");
    track.setName(" \t\v\f\r\n ");
    EXPECT_EQ(track.getName(), "");
    track.setName("a  b");
    EXPECT_EQ(track.getName(), "a  b");
}

TEST(GpxModel, NumberIsAWholeIntegerOrZero)
{
    const std::pair<const char*, int> cases[] = {
        { " 12 ", 12 }, { "-3", -3 }, { "+7", 7 }, { "007", 7 }, { "2147483647", INT_MAX },
        { "-2147483648", INT_MIN }, { "2147483648", 0 }, { "-2147483649", 0 }, { "12a", 0 },
        { "x", 0 }, { "", 0 }, { "  ", 0 }, { "+", 0 }, { "+-3", 0 }, { "1 2", 0 }, { "1.0", 0 },
        { "99999999999999999999999", 0 },
    };
    for (auto [text, expected] : cases) {
        Track track;
        track.setNumber(42);
        track.setNumber(std::string_view(text));
        EXPECT_EQ(track.getNumber(), expected) << '"' << text << '"';
    }
}

TEST(GpxModel, FindTrackReturnsTheFirstExactMatch)
{
    Gpx gpx;
    for (const char* name : { "Ride", "ride", "Ride" }) {
        auto track = std::make_unique<Track>();
        track->setName(name);
        gpx.addTrack(std::move(track));
    }
    EXPECT_EQ(gpx.findTrack("Ride"), gpx.getTrack(0));
    EXPECT_EQ(gpx.findTrack("ride"), gpx.getTrack(1));
    EXPECT_EQ(gpx.findTrack("Rid"), nullptr);
}

namespace {

int destroyedPoints = 0;
int destroyedTracks = 0;

struct CountedPoint : WayPoint {
    ~CountedPoint() override { ++destroyedPoints; }
};
struct CountedTrack : Track {
    ~CountedTrack() override { ++destroyedTracks; }
};

} // namespace

TEST(GpxModel, DocumentDestroysEveryTrackAndPointOnce)
{
    destroyedPoints = destroyedTracks = 0;
    {
        Gpx gpx;
        for (int t = 0; t < 3; ++t) {
            auto* track = new CountedTrack;
            for (int p = 0; p < 4; ++p)
                track->addWayPoint(new CountedPoint);
            gpx.addTrack(track);
        }
    }
    EXPECT_EQ(destroyedTracks, 3);
    EXPECT_EQ(destroyedPoints, 12);
}

TEST(GpxModel, LongTrackKeepsAppendedAndAddedPointsInOrder)
{
    // Far beyond the first blocks of appended points; the added points are
    // still freed one by one and the appended ones with their blocks.
    destroyedPoints = 0;
    {
        Track track;
        for (int i = 0; i < 70000; ++i) {
            if (i % 1000 == 0)
                track.addWayPoint(new CountedPoint);
            else
                track.appendWayPoint().setLat(i);
            track.getWayPoint(i)->setTimeString(i % 2 ? "2023-08-19T13:18:46Z" : "2023-08-19T13:18:46.123456+02:00");
        }
        ASSERT_EQ(track.getWayPointCount(), 70000);
        for (int i : { 1, 999, 16320, 16321, 69999 })
            EXPECT_EQ(track.getWayPoint(i)->getLat(), i);
        EXPECT_EQ(track.getWayPoint(69999)->getTimeString(), "2023-08-19T13:18:46Z");
        EXPECT_EQ(track.getWayPoint(69998)->getTimeString(), "2023-08-19T13:18:46.123456+02:00");
    }
    EXPECT_EQ(destroyedPoints, 70);
}
