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
