// GPX documents, tidy or sloppy, into tracks, from small texts and real recordings.

#include "support/GpxText.h"
#include "track/EmbeddedSample.h"
#include "track/GpxReader.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <ctime>

namespace {

std::string dataFile(const std::string& name)
{
    return std::string(PATHLARK_TEST_DATA_DIR) + "/gpx/" + name;
}

// "name:points" of every track, separated by ", "; "null" without a document.
std::string tracksOf(const std::unique_ptr<Gpx>& gpx)
{
    if (!gpx)
        return "null";
    std::string text;
    for (int i = 0; i < gpx->getTrackCount(); ++i)
        text += (i ? ", " : "") + gpx->getTrack(i)->getName() + ":" + std::to_string(gpx->getTrack(i)->getWayPointCount());
    return text;
}

std::unique_ptr<Gpx> readBody(const std::string& body)
{
    return readGpxString("<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"tester\">" + body + "</gpx>");
}

std::int64_t utc(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return timegm(&tm);
}

} // namespace

TEST(GpxReader, TracksThenRoutesThenWaypointsEachInDocumentOrder)
{
    const std::pair<const char*, const char*> cases[] = {
        {R"(<wpt lat="1" lon="2"><name>Summit</name></wpt><rte><name>Way</name><rtept lat="3" lon="4"/></rte>
            <trk><name>First</name><trkseg><trkpt lat="5" lon="6"/></trkseg></trk><wpt lat="7" lon="8"/>
            <trk><name>Second</name></trk>)",
         "First:1, Second:0, Way:1, WP: Summit:1, WP::1"},
        {R"(<trk><trkseg><trkpt lat="1" lon="1"/><trkpt lat="2" lon="2"/></trkseg>
            <trkseg><trkpt lat="3" lon="3"/></trkseg></trk>)", ":3"},  // segments are concatenated
        // A trk without a name of its own takes the first name below it; a rte inside a trk is a route.
        {R"(<trk><trkseg><trkpt lat="1" lon="2"><name>Point</name></trkpt></trkseg><rte><rtept lat="3" lon="4"/></rte></trk>)",
         "Point:1, :1"},
        {R"(<trk><name><![CDATA[Ride & <fun>]]></name></trk><wpt lat="1" lon="2"><name>Caf&#233; &amp; bar</name></wpt>)",
         "Ride & <fun>:0, WP: Caf\xc3\xa9 & bar:1"},
        {R"(<bounds minlat="1" minlon="2" maxlat="3" maxlon="4"/>)", ""},
    };
    for (auto [body, expected] : cases)
        EXPECT_EQ(tracksOf(readBody(body)), expected) << body;
    for (const char* text : {"", "just text", "<kml><Placemark/></kml>"})
        EXPECT_EQ(readGpxString(text), nullptr) << text;

    auto gpx = readGpxString(R"(<!-- exported --><gpx creator="x"><trk><number> 9 </number></trk>
        <wpt lat="7" lon="8"/></gpx>)");
    EXPECT_EQ(gpxText(gpx.get()), "gpx creator=\"x\" version=\"\" bounds=0,0,0,0\ntrack \"\" number=9\n"
                                  "track \"WP:\" number=0\n  point 7,8 ele=0 time=0 \"\" name=\"\" cmt=\"\" desc=\"\"\n");
}

TEST(GpxReader, NumbersAndTimesFollowTheirRules)
{
    auto gpx = readBody(R"(<trk><trkseg><trkpt lat="12.5"/><trkpt lat=" 12" lon="+3"/>
        <trkpt lat="12.5abc" lon="-1e2"/><trkpt lat="1e400" lon="x"/></trkseg></trk>
        <bounds minlat="-1.5" maxlon="2e1"/>)");
    const Track& track = *gpx->getTrack(0);
    ASSERT_EQ(track.getWayPointCount(), 4);
    const std::pair<double, double> expected[] = {{0, 0}, {0, 0}, {12.5, -100}, {0, 0}};  // no lon: no position
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(std::pair(track.getWayPoint(i)->getLat(), track.getWayPoint(i)->getLon()), expected[i]) << i;
    EXPECT_EQ((std::array{gpx->getMinLat(), gpx->getMinLon(), gpx->getMaxLon()}), (std::array{-1.5, 0.0, 20.0}));
    EXPECT_TRUE(std::isinf(readGpxNumber("inf")) && std::isnan(readGpxNumber("nan")));
    EXPECT_EQ(readGpxNumber("-0.25e1x"), -2.5);
    EXPECT_EQ(readGpxNumber(""), 0);
    EXPECT_EQ(readGpxNumber(".5"), 0.5);

    const std::int32_t noon = std::int32_t(utc(2019, 8, 11, 12, 52, 20));
    for (const char* text : {"2019-08-11T12:52:20Z", "2019-08-11T12:52:20.000Z", "2019-08-11T12:52:20,5Z",
                             "2019-08-11T14:52:20+02:00", "2019-08-11T07:52:20-0500", "2019-08-11T14:52:20+02",
                             "2019-08-11T12:52:20Z trailing", "2019-08-11T00:22:20-12:30"})
        EXPECT_EQ(readGpxTime(text), noon) << text;
    for (const char* text : {"2019-08-11T12:52:20", "2019-08-11T12:52:20.Z", "2019-08-11 12:52:20Z",
                             "2019-08-11T12:52:20+2:00", "2019-08-11T12:52:20+02:60", "2019-13-11T12:52:20Z",
                             "2019-08-11T12:52:62Z", " 2019-08-11T12:52:20Z", ""})
        EXPECT_EQ(readGpxTime(text), -1) << text;
    const std::pair<const char*, std::int64_t> edges[] = {
        {"1970-01-01T00:00:00Z", 0}, {"2016-12-31T23:59:60Z", utc(2017, 1, 1, 0, 0, 0)},
        {"2019-02-31T00:00:00Z", utc(2019, 3, 3, 0, 0, 0)}, {"2020-03-01T00:00:00Z", utc(2020, 3, 1, 0, 0, 0)},
        {"0000-01-01T00:00:00Z", utc(0, 1, 1, 0, 0, 0)}};
    for (auto [text, seconds] : edges)
        EXPECT_EQ(readGpxTime(text), std::int32_t(seconds)) << text;

    // Differences ignore the local zone: daylight-saving time began in Berlin at 01:00 UTC that day.
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    const std::int32_t hour = readGpxTime("2023-03-26T01:30:00Z") - readGpxTime("2023-03-26T00:30:00Z");
    saved ? setenv("TZ", previous.c_str(), 1) : unsetenv("TZ");
    tzset();
    EXPECT_EQ(hour, 3600);
}

TEST(GpxReader, OddRealFilesAndTheEmbeddedSample)
{
    const std::pair<const char*, const char*> files[] = {
        {"odd_not-gpx_badcharacter.gpx", "null"}, {"odd_no-trk.gpx", ""},  // no XML declaration
        {"odd_no-trkseg.gpx", "GraphHopper:0"}, {"odd_extensions-without-namespaces.gpx", "WP::1"},
        {"odd_empty-trkseg.gpx", "2013-07-06T14:59:00Z:9"}, {"route_gpxpy_55rtept_gpx10.gpx", "#001:55"},
    };
    for (auto [name, expected] : files)
        EXPECT_EQ(tracksOf(readGpxFile(dataFile(name))), expected) << name;
    EXPECT_EQ(readGpxFile(dataFile("odd_no-trk.gpx"))->getCreator(), "Graphhopper");
    // The tracks, then one track per stand-alone waypoint.
    EXPECT_EQ(readGpxFile(dataFile("track_trk-wpt_spreitenbach_2011_osmtracker.gpx"))->getTrackCount(), 1 + 79);
    EXPECT_EQ(readGpxFile(dataFile("multi_cerknica_2010_8trk-7wpt_gpx10.gpx"))->getTrackCount(), 8 + 7);
    EXPECT_EQ(readGpxFile(dataFile("odd_extensions-without-namespaces.gpx"))->getTrack(0)->getWayPoint(0)->getLat(), 12.3);
    // Fractional seconds on every point, one second apart.
    auto fractions = readGpxFile(dataFile("odd_invalid-fix-value.gpx"));
    const Track& track = *fractions->getTrack(0);
    ASSERT_EQ(track.getWayPointCount(), 3);
    EXPECT_EQ(track.getWayPoint(2)->getTime() - track.getWayPoint(0)->getTime(), 2);
    EXPECT_EQ(track.getWayPoint(2)->getEle(), 0);

    std::string_view sample = embeddedSampleGpx();
    EXPECT_EQ(sample, readText(std::string(PATHLARK_SOURCE_DIR) + "/data/sample.gpx"));
    EXPECT_EQ(sample.data()[sample.size()], '\0');
    auto gpx = readGpxString(sample);
    ASSERT_EQ(tracksOf(gpx), "ACTIVE LOG:730");
    EXPECT_EQ(gpx->getTrack(0)->getNumber(), 9);
    EXPECT_LT(gpx->getMinLat(), gpx->getMaxLat());
}
