// Status line and info panel texts, from tracks built in the test.

#include "app/InfoPanel.h"
#include "app/StatusLine.h"
#include "track/TrackStatistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace pathlark;

namespace {

// Points 0.001 degrees of latitude apart (about 111 m), one every `step` seconds.
std::unique_ptr<Track> makeTrack(int points, int step = 10, double ele = 155.390259)
{
    auto track = std::make_unique<Track>();
    for (int i = 0; i < points; ++i) {
        auto p = std::make_unique<WayPoint>();
        p->setLat(48.0 + 0.001 * i);
        p->setLon(16.0);
        p->setEle(ele + i);
        p->setTime(1000 + step * i);
        p->setTimeString("2020-05-01T12:00:" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "Z");
        track->addWayPoint(std::move(p));
    }
    return track;
}

std::string findValue(const std::vector<InfoRow>& rows, int id)
{
    for (const InfoRow& row : rows)
        if (row.id == id)
            return row.value;
    return "<missing>";
}

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool hasRow(const std::vector<InfoRow>& rows, int id)
{
    return findValue(rows, id) != "<missing>";
}

} // namespace

TEST(StatusLine, CursorPointWithElevationInShortestForm)
{
    auto track = makeTrack(730);
    CursorState state;
    state.cursorIndex = 0;
    EXPECT_EQ(statusLineText("/tmp/rides/sample.gpx", *track, state), "sample.gpx  |  point 1/730  |  155.39 m");
}

TEST(StatusLine, NothingWithoutACursorPoint)
{
    auto track = makeTrack(3);
    EXPECT_EQ(statusLineText("a.gpx", *track, CursorState{}), "");
    auto empty = makeTrack(0);
    CursorState state;
    state.cursorIndex = 0;
    EXPECT_EQ(statusLineText("a.gpx", *empty, state), "");
}

TEST(StatusLine, MarkersAndTheStretchBetweenThem)
{
    auto track = makeTrack(20);
    CursorState state;
    state.cursorIndex = 4;
    state.markerA = 10;
    const std::string onlyA = statusLineText("t.gpx", *track, state);
    EXPECT_TRUE(endsWith(onlyA, "  |  A: 11  B: -")) << onlyA;

    state.markerB = 3;
    const std::string reversed = statusLineText("t.gpx", *track, state);
    double metres = 0;
    for (int i = 4; i <= 10; ++i)
        metres += haversineDistance(*track->getWayPoint(i - 1), *track->getWayPoint(i));
    const std::string expectedTail =
        "  |  A: 11  B: 4  |  A-B: " + std::to_string(std::llround(metres)) + " m, 70 s";
    EXPECT_TRUE(endsWith(reversed, expectedTail)) << reversed;

    std::swap(state.markerA, state.markerB);
    const std::string forward = statusLineText("t.gpx", *track, state);
    EXPECT_EQ(forward.substr(forward.find("A-B")), reversed.substr(reversed.find("A-B")));

    state.markerA = state.markerB = 7;
    const std::string same = statusLineText("t.gpx", *track, state);
    EXPECT_TRUE(endsWith(same, "  |  A: 8  B: 8  |  A-B: 0 m")) << same;
}

TEST(StatusLine, EqualTimesLeaveOutTheTimePart)
{
    auto track = makeTrack(3, 0);
    CursorState state;
    state.cursorIndex = 0;
    state.markerA = 0;
    state.markerB = 2;
    const std::string text = statusLineText("t.gpx", *track, state);
    EXPECT_NE(text.find("A-B: 222 m"), std::string::npos) << text;
    EXPECT_EQ(text.find(" s"), std::string::npos) << text;
}

TEST(StatusLine, FreeCursorPrintsTheStoredCoordinates)
{
    auto track = makeTrack(3);
    CursorState state;
    state.cursorIndex = 1;
    state.freeCursor = true;
    state.freeCursorLat = 48.1784525;
    state.freeCursorLon = 16.4929129;
    // 48.1784525 is stored a hair below the decimal text, so the sixth decimal rounds down.
    EXPECT_EQ(statusLineText("t.gpx", *track, state), "t.gpx  |  free cursor  |  48.178452, 16.492913");
}

TEST(InfoPanel, WholeTrackAndStretchRows)
{
    Gpx gpx;
    gpx.setCreator("Test device");
    gpx.setVersion("1.1");
    auto track = makeTrack(12);
    const auto rows = infoPanelRows(gpx, *track, 7, 3);
    EXPECT_EQ(findValue(rows, 10), "Unnamed");
    EXPECT_EQ(findValue(rows, 12), "Test device");
    EXPECT_EQ(findValue(rows, 13), "1.1");
    EXPECT_EQ(findValue(rows, 20), "12:00:00");
    EXPECT_EQ(findValue(rows, 21), "12:00:11");
    EXPECT_EQ(findValue(rows, 22), "155 m");
    EXPECT_EQ(findValue(rows, 23), "166 m");
    EXPECT_EQ(findValue(rows, 26), "0:01:50");
    EXPECT_EQ(findValue(rows, 29), "12");
    EXPECT_EQ(findValue(rows, 30), "8");
    EXPECT_EQ(findValue(rows, 31), "4");
    EXPECT_EQ(findValue(rows, 32), "0:00:40");
    EXPECT_EQ(findValue(rows, 35), "5");
    // Direct and along-track distance agree on a straight north-south line.
    EXPECT_EQ(findValue(rows, 33), findValue(rows, 36));

    // 1 m a point: the climb counts once it is 5 m above the start; the stretch's 4 m never does.
    EXPECT_EQ(findValue(rows, 40), "11 m");
    EXPECT_EQ(findValue(rows, 41), "0 m");
    EXPECT_EQ(findValue(rows, 42), "0:01:50");
    EXPECT_EQ(findValue(rows, 43), "40.0 km/h");
    EXPECT_EQ(findValue(rows, 44), "0 m");
    EXPECT_EQ(findValue(rows, 45), "0 m");

    const auto swapped = infoPanelRows(gpx, *track, 3, 7);
    for (int id : {32, 33, 34, 35, 36, 44, 45})
        EXPECT_EQ(findValue(rows, id), findValue(swapped, id));
}

TEST(InfoPanel, OnlyMarkerASetShowsNoStretch)
{
    Gpx gpx;
    auto track = makeTrack(5);
    const auto rows = infoPanelRows(gpx, *track, 2, -1);
    EXPECT_EQ(findValue(rows, 30), "3");
    EXPECT_EQ(findValue(rows, 31), "-");
    EXPECT_FALSE(hasRow(rows, 32));
    EXPECT_FALSE(hasRow(rows, 36));
    EXPECT_FALSE(hasRow(rows, 44));
}

TEST(InfoPanel, TrackWithoutPointsHasOnlyMetadataAndMarkers)
{
    Gpx gpx;
    auto track = makeTrack(0);
    track->setName("Morning");
    const auto rows = infoPanelRows(gpx, *track, -1, -1);
    EXPECT_EQ(findValue(rows, 10), "Morning");
    for (int id : {20, 29, 40, 43})
        EXPECT_FALSE(hasRow(rows, id)) << id;
    EXPECT_TRUE(hasRow(rows, 3));
}
