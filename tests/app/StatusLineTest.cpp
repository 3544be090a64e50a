// Status line and info panel texts, from tracks built in the test.

#include "app/InfoPanel.h"
#include "app/StatusLine.h"
#include "track/TrackStatistics.h"

#include <gtest/gtest.h>

#include <cmath>
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

// "label: value" of every row, in order; "label" alone for headings.
std::string rows(const Track& track, int a, int b)
{
    Gpx gpx;
    gpx.setCreator("Test device");
    std::string text;
    for (const InfoRow& row : infoPanelRows(gpx, track, a, b))
        text += row.label + (row.value.empty() ? "" : ": " + row.value) + "\n";
    return text;
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
    const std::string head = "Track info\nName: Unnamed\nNumber: 0\nCreator: Test device\nGPX version\nTrack analyses\n";
    const std::string markers = "Moving time: 0:01:50\nMoving average: 40.0 km/h\nA-B analyses\nWaypoint A: 8\nWaypoint B: 4\n";
    const std::string stretch = "Duration: 0:00:40\nDistance: 0.44 km\nAverage: 40.0 km/h\nWaypoints: 5\nDirect: 0.44 km\n"
                                "Ascent: 0 m\nDescent: 0 m\n";
    EXPECT_EQ(rows(*track, 7, 3), head + "Start time: 12:00:00\nStop time: 12:00:11\nMin. height: 155 m\nMax. height: 166 m\n"
                                  "Min. speed: 40.0 km/h\nMax. speed: 40.0 km/h\nDuration: 0:01:50\nDistance: 1.22 km\n"
                                  "Average: 40.0 km/h\nWaypoints: 12\nAscent: 11 m\nDescent: 0 m\n" + markers + stretch);
    EXPECT_TRUE(rows(*track, 3, 7).ends_with("Waypoint A: 4\nWaypoint B: 8\n" + stretch)) << "the stretch either way round";
    EXPECT_TRUE(rows(*makeTrack(5), 2, -1).ends_with("A-B analyses\nWaypoint A: 3\nWaypoint B: -\n"));
    auto empty = makeTrack(0);
    empty->setName("Morning");
    EXPECT_EQ(rows(*empty, -1, -1), "Track info\nName: Morning\nNumber: 0\nCreator: Test device\nGPX version\nTrack analyses\n"
                                    "A-B analyses\nWaypoint A: -\nWaypoint B: -\n");
}
