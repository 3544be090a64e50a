// Status line and info panel texts, from tracks built in the test.

#include "app/InfoPanel.h"
#include "app/StatusLine.h"
#include "track/TrackStatistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

using namespace pathlark;

namespace {

// Points 0.001 degrees of latitude apart (about 111 m), one every `step` seconds, 1 m higher each.
std::unique_ptr<Track> makeTrack(int points, int step = 10)
{
    auto track = std::make_unique<Track>();
    for (int i = 0; i < points; ++i) {
        auto p = std::make_unique<WayPoint>();
        p->setLat(48.0 + 0.001 * i);
        p->setLon(16.0);
        p->setEle(155.390259 + i);
        p->setTime(1000 + step * i);
        p->setTimeString("2020-05-01T12:00:" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "Z");
        track->addWayPoint(std::move(p));
    }
    return track;
}

std::string line(const Track& track, int cursor, int a = -1, int b = -1)
{
    CursorState state;
    state.cursorIndex = cursor;
    state.markerA = a;
    state.markerB = b;
    return statusLineText("/tmp/rides/t.gpx", track, state);
}

std::map<int, std::string> rows(const Track& track, int a, int b)
{
    Gpx gpx;
    gpx.setCreator("Test device");
    std::map<int, std::string> values;
    for (const InfoRow& row : infoPanelRows(gpx, track, a, b))
        values[row.id] = row.value;
    return values;
}

} // namespace

TEST(StatusLine, CursorMarkersAndTheStretchBetweenThem)
{
    auto track = makeTrack(20);
    EXPECT_EQ(line(*track, 0), "t.gpx  |  point 1/20  |  155.39 m");
    EXPECT_EQ(line(*track, -1), "");
    EXPECT_EQ(line(*makeTrack(0), 0), "");
    const std::string head = "t.gpx  |  point 5/20  |  159.39 m  |  ";
    EXPECT_EQ(line(*track, 4, 10), head + "A: 11  B: -");
    EXPECT_EQ(line(*track, 4, -1, 3), head + "A: -  B: 4");
    const std::string metres = std::to_string(std::llround(stretchStatistics(*track, 3, 10)->distance));
    EXPECT_EQ(line(*track, 4, 10, 3), head + "A: 11  B: 4  |  A-B: " + metres + " m, 70 s");
    EXPECT_EQ(line(*track, 4, 3, 10), head + "A: 4  B: 11  |  A-B: " + metres + " m, 70 s");
    EXPECT_EQ(line(*track, 4, 7, 7), head + "A: 8  B: 8  |  A-B: 0 m");
    EXPECT_EQ(line(*makeTrack(3, 0), 0, 0, 2), "t.gpx  |  point 1/3  |  155.39 m  |  A: 1  B: 3  |  A-B: 222 m")
        << "equal times leave out the time";

    CursorState free;
    free.cursorIndex = 1;
    free.freeCursor = true;
    free.freeCursorLat = 48.1784525;  // stored a hair below the decimal text: the sixth decimal rounds down
    free.freeCursorLon = 16.4929129;
    EXPECT_EQ(statusLineText("t.gpx", *track, free), "t.gpx  |  free cursor  |  48.178452, 16.492913");
}

TEST(InfoPanel, WholeTrackAndStretchRows)
{
    auto track = makeTrack(12);
    auto values = rows(*track, 7, 3);
    const std::map<int, std::string> expected{
        {10, "Unnamed"}, {12, "Test device"}, {20, "12:00:00"}, {21, "12:00:11"}, {22, "155 m"},
        {23, "166 m"},   {26, "0:01:50"},     {29, "12"},       {30, "8"},        {31, "4"},
        {32, "0:00:40"}, {35, "5"},           {40, "11 m"},     {41, "0 m"},      {42, "0:01:50"},
        {43, "40.0 km/h"}, {44, "0 m"},       {45, "0 m"},
    };
    for (auto [id, value] : expected)
        EXPECT_EQ(values[id], value) << id;
    // Direct and along-track distance agree on a straight line.
    EXPECT_EQ(values[33], values[36]);
    auto swapped = rows(*track, 3, 7);
    for (int id : {32, 33, 34, 35, 36, 44, 45})
        EXPECT_EQ(values[id], swapped[id]) << id;

    auto onlyA = rows(*makeTrack(5), 2, -1);
    EXPECT_EQ(onlyA[30], "3");
    EXPECT_EQ(onlyA[31], "-");
    for (int id : {32, 36, 44})
        EXPECT_FALSE(onlyA.count(id)) << id;

    auto empty = makeTrack(0);
    empty->setName("Morning");
    auto bare = rows(*empty, -1, -1);
    EXPECT_EQ(bare[10], "Morning");
    for (int id : {20, 29, 40, 43})
        EXPECT_FALSE(bare.count(id)) << id;
    EXPECT_TRUE(bare.count(3));
}
