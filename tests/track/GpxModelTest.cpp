#include "track/Gpx.h"

#include <gtest/gtest.h>

#include <climits>

TEST(GpxModel, IndicesOutsideTheListsYieldNullAndNamesAreTrimmed)
{
    Gpx gpx;
    auto track = std::make_unique<Track>();
    track->addWayPoint(std::make_unique<WayPoint>());
    gpx.addTrack(std::move(track));
    for (int i : { -1, 1, INT_MIN })
        EXPECT_EQ(gpx.getTrack(i), nullptr) << i;
    ASSERT_NE(gpx.getTrack(0), nullptr);
    EXPECT_EQ(gpx.getTrack(0)->getWayPoint(-1), nullptr);
    EXPECT_EQ(gpx.getTrack(0)->getWayPoint(1), nullptr);
    EXPECT_NE(gpx.getTrack(0)->getWayPoint(0), nullptr);

    for (auto [name, stored] : { std::pair{ "  Evening ride \n", "Evening ride" }, { " \t\v\f\r\n ", "" },
                                 { "a  b", "a  b" } }) {
        gpx.getTrack(0)->setName(name);
        EXPECT_EQ(gpx.getTrack(0)->getName(), stored);
    }
}

TEST(GpxModel, NumberIsAWholeIntegerOrZero)
{
    const std::pair<const char*, int> cases[] = {
        { " 12 ", 12 }, { "-3", -3 }, { "+7", 7 }, { "2147483647", INT_MAX }, { "-2147483648", INT_MIN },
        { "2147483648", 0 }, { "-2147483649", 0 }, { "12a", 0 }, { "", 0 }, { "+-3", 0 }, { "1 2", 0 }, { "1.0", 0 },
    };
    for (auto [text, expected] : cases) {
        Track track;
        track.setNumber(42);
        track.setNumber(std::string_view(text));
        EXPECT_EQ(track.getNumber(), expected) << '"' << text << '"';
    }
}

// Far beyond the first blocks of appended points, with added ones among them.
TEST(GpxModel, LongTrackKeepsAppendedAndAddedPointsInOrder)
{
    Track track;
    for (int i = 0; i < 70000; ++i) {
        if (i % 1000 == 0)
            track.addWayPoint(new WayPoint);
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
