#include "track/EmbeddedSample.h"
#include "track/GpxReader.h"
#include "track/TrackStatistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <fstream>
#include <numbers>
#include <sstream>
#include <vector>

namespace {

std::string dataFile(const std::string& name)
{
    return std::string(PATHLARK_TEST_DATA_DIR) + "/gpx/" + name;
}

std::string readText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::unique_ptr<Gpx> readBody(const std::string& body)
{
    return readGpxString("<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"tester\">" + body + "</gpx>");
}

std::int64_t utc(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm {};
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
    auto gpx = readBody(R"(<wpt lat="1" lon="2"><name>Summit</name></wpt>
        <rte><name>Way</name><rtept lat="3" lon="4"/></rte>
        <trk><name>First</name><number> 9 </number><trkseg><trkpt lat="5" lon="6"/></trkseg></trk>
        <wpt lat="7" lon="8"/>
        <trk><name>Second</name></trk>)");
    ASSERT_TRUE(gpx);
    ASSERT_EQ(gpx->getTrackCount(), 5);
    const char* names[] = { "First", "Second", "Way", "WP: Summit", "WP:" };
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(gpx->getTrack(i)->getName(), names[i]);
    EXPECT_EQ(gpx->getTrack(0)->getNumber(), 9);
    EXPECT_EQ(gpx->getTrack(1)->getWayPointCount(), 0);
    EXPECT_EQ(gpx->getTrack(4)->getNumber(), 0);
    EXPECT_EQ(gpx->getTrack(4)->getWayPoint(0)->getLat(), 7);
    EXPECT_EQ(gpx->getCreator(), "tester");
    EXPECT_EQ(gpx->getVersion(), "1.1");
}

TEST(GpxReader, SegmentsOfATrackAreConcatenated)
{
    auto gpx = readBody(R"(<trk><trkseg><trkpt lat="1" lon="1"/><trkpt lat="2" lon="2"/></trkseg>
        <trkseg><trkpt lat="3" lon="3"/></trkseg></trk>)");
    ASSERT_TRUE(gpx);
    ASSERT_EQ(gpx->getTrackCount(), 1);
    const Track& track = *gpx->getTrack(0);
    ASSERT_EQ(track.getWayPointCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(track.getWayPoint(i)->getLat(), i + 1);
}

TEST(GpxReader, ValuesAreSearchedThroughTheWholeSubtree)
{
    // A trk without a name of its own takes the first name below it, and a
    // rte inside a trk is still a route.
    auto gpx = readBody(R"(<trk><trkseg><trkpt lat="1" lon="2"><name>Point name</name></trkpt></trkseg>
        <rte><rtept lat="3" lon="4"/></rte></trk>)");
    ASSERT_TRUE(gpx);
    ASSERT_EQ(gpx->getTrackCount(), 2);
    EXPECT_EQ(gpx->getTrack(0)->getName(), "Point name");
    EXPECT_EQ(gpx->getTrack(1)->getWayPointCount(), 1);
}

TEST(GpxReader, PointFieldsDependOnTheElement)
{
    const char* fields = R"(<ele>12.5</ele><time>1970-01-01T00:00:10Z</time><name>N</name><cmt>C</cmt><desc>D</desc>)";
    auto gpx = readBody(std::string("<trk><trkseg><trkpt lat=\"1\" lon=\"2\">") + fields + "</trkpt></trkseg></trk>"
                        + "<rte><rtept lat=\"1\" lon=\"2\">" + fields + "</rtept></rte>"
                        + "<wpt lat=\"1\" lon=\"2\">" + fields + "</wpt>");
    ASSERT_TRUE(gpx);
    ASSERT_EQ(gpx->getTrackCount(), 3);
    const WayPoint& trkpt = *gpx->getTrack(0)->getWayPoint(0);
    const WayPoint& rtept = *gpx->getTrack(1)->getWayPoint(0);
    const WayPoint& wpt = *gpx->getTrack(2)->getWayPoint(0);

    EXPECT_EQ(trkpt.getEle(), 12.5);
    EXPECT_EQ(trkpt.getTime(), 10);
    EXPECT_EQ(trkpt.getTimeString(), "1970-01-01T00:00:10Z");
    EXPECT_EQ(trkpt.getName(), "");

    EXPECT_EQ(rtept.getEle(), 12.5);
    EXPECT_EQ(rtept.getTime(), 0);
    EXPECT_EQ(rtept.getTimeString(), "");

    EXPECT_EQ(wpt.getEle(), 0);
    EXPECT_EQ(wpt.getTime(), 0);
    EXPECT_EQ(wpt.getName(), "N");
    EXPECT_EQ(wpt.getCmt(), "C");
    EXPECT_EQ(wpt.getDesc(), "D");
    EXPECT_EQ(gpx->getTrack(2)->getName(), "WP: N");
    for (const WayPoint* point : { &trkpt, &rtept, &wpt }) {
        EXPECT_EQ(point->getLat(), 1);
        EXPECT_EQ(point->getLon(), 2);
    }
}

TEST(GpxReader, CoordinatesFollowTheNumberRule)
{
    auto gpx = readBody(R"(<trk><trkseg><trkpt lat="12.5"/><trkpt lat=" 12" lon="+3"/>
        <trkpt lat="12.5abc" lon="-1e2"/><trkpt lat="1e400" lon="x"/></trkseg></trk>
        <bounds minlat="-1.5" maxlon="2e1"/>)");
    ASSERT_TRUE(gpx);
    const Track& track = *gpx->getTrack(0);
    ASSERT_EQ(track.getWayPointCount(), 4);
    EXPECT_EQ(track.getWayPoint(0)->getLat(), 0); // no lon, so no position at all
    EXPECT_EQ(track.getWayPoint(1)->getLat(), 0);
    EXPECT_EQ(track.getWayPoint(1)->getLon(), 0);
    EXPECT_EQ(track.getWayPoint(2)->getLat(), 12.5);
    EXPECT_EQ(track.getWayPoint(2)->getLon(), -100);
    EXPECT_EQ(track.getWayPoint(3)->getLat(), 0);
    EXPECT_EQ(gpx->getMinLat(), -1.5);
    EXPECT_EQ(gpx->getMinLon(), 0);
    EXPECT_EQ(gpx->getMaxLon(), 20);

    EXPECT_TRUE(std::isinf(readGpxNumber("inf")));
    EXPECT_TRUE(std::isnan(readGpxNumber("nan")));
    EXPECT_EQ(readGpxNumber("-0.25e1x"), -2.5);
    EXPECT_EQ(readGpxNumber(""), 0);
    EXPECT_EQ(readGpxNumber(".5"), 0.5);
}

TEST(GpxReader, TimesAreUtcWithOptionalFractionAndOffset)
{
    std::int64_t noon = utc(2019, 8, 11, 12, 52, 20);
    const char* same[] = { "2019-08-11T12:52:20Z", "2019-08-11T12:52:20.000Z", "2019-08-11T12:52:20,5Z",
                           "2019-08-11T14:52:20+02:00", "2019-08-11T07:52:20-0500", "2019-08-11T14:52:20+02",
                           "2019-08-11T12:52:20Z trailing" };
    for (const char* text : same)
        EXPECT_EQ(readGpxTime(text), static_cast<std::int32_t>(noon)) << text;

    const char* unreadable[] = { "2019-08-11T12:52:20", "2019-08-11T12:52:20.Z", "2019-08-11 12:52:20Z",
                                 "2019-08-11T12:52:20+2:00", "2019-08-11T12:52:20+02:60", "2019-13-11T12:52:20Z",
                                 "2019-08-11T12:52:62Z", " 2019-08-11T12:52:20Z", "" };
    for (const char* text : unreadable)
        EXPECT_EQ(readGpxTime(text), -1) << text;

    EXPECT_EQ(readGpxTime("1970-01-01T00:00:00Z"), 0);
    EXPECT_EQ(readGpxTime("2016-12-31T23:59:60Z"), static_cast<std::int32_t>(utc(2017, 1, 1, 0, 0, 0)));
    EXPECT_EQ(readGpxTime("2019-02-31T00:00:00Z"), static_cast<std::int32_t>(utc(2019, 3, 3, 0, 0, 0)));
    EXPECT_EQ(readGpxTime("0000-01-01T00:00:00Z"), static_cast<std::int32_t>(utc(0, 1, 1, 0, 0, 0)));
}

TEST(GpxReader, TimeDifferencesIgnoreTheLocalZone)
{
    const char* saved = std::getenv("TZ");
    std::string previous = saved ? saved : "";
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    // Daylight-saving time began in Berlin at 01:00 UTC that day.
    std::int32_t before = readGpxTime("2023-03-26T00:30:00Z");
    std::int32_t after = readGpxTime("2023-03-26T01:30:00Z");
    if (saved)
        setenv("TZ", previous.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    EXPECT_EQ(after - before, 3600);
}

TEST(GpxReader, MarkupVariantsReadTheSame)
{
    auto gpx = readGpxString(R"(<!-- exported --><gpx creator="x"><trk>
        <name><![CDATA[Ride & <fun>]]></name><number>3</number></trk>
        <wpt lat="1" lon="2"><name>Caf&#233; &amp; bar</name></wpt></gpx>)");
    ASSERT_TRUE(gpx);
    ASSERT_EQ(gpx->getTrackCount(), 2);
    EXPECT_EQ(gpx->getTrack(0)->getName(), "Ride & <fun>");
    EXPECT_EQ(gpx->getTrack(0)->getNumber(), 3);
    EXPECT_EQ(gpx->getTrack(1)->getName(), "WP: Caf\xc3\xa9 & bar");
    EXPECT_EQ(gpx->getVersion(), "");
}

TEST(GpxReader, DocumentsWithoutGpxElementAreNull)
{
    EXPECT_EQ(readGpxString(""), nullptr);
    EXPECT_EQ(readGpxString("just text"), nullptr);
    EXPECT_EQ(readGpxString("<kml><Placemark/></kml>"), nullptr);
    EXPECT_EQ(readGpxFile(dataFile("odd_not-gpx_badcharacter.gpx")), nullptr);

    auto boundsOnly = readBody(R"(<bounds minlat="1" minlon="2" maxlat="3" maxlon="4"/>)");
    ASSERT_TRUE(boundsOnly);
    EXPECT_EQ(boundsOnly->getTrackCount(), 0);
    EXPECT_EQ(boundsOnly->getMaxLon(), 4);
}

TEST(GpxReader, OddRealFilesRead)
{
    // No XML declaration: the root element must still be found.
    auto noTrack = readGpxFile(dataFile("odd_no-trk.gpx"));
    ASSERT_TRUE(noTrack);
    EXPECT_EQ(noTrack->getTrackCount(), 0);
    EXPECT_EQ(noTrack->getCreator(), "Graphhopper");

    auto noSegment = readGpxFile(dataFile("odd_no-trkseg.gpx"));
    ASSERT_TRUE(noSegment);
    ASSERT_EQ(noSegment->getTrackCount(), 1);
    EXPECT_EQ(noSegment->getTrack(0)->getWayPointCount(), 0);

    auto extensions = readGpxFile(dataFile("odd_extensions-without-namespaces.gpx"));
    ASSERT_TRUE(extensions);
    ASSERT_EQ(extensions->getTrackCount(), 1);
    EXPECT_EQ(extensions->getTrack(0)->getWayPoint(0)->getLat(), 12.3);

    auto emptySegment = readGpxFile(dataFile("odd_empty-trkseg.gpx"));
    ASSERT_TRUE(emptySegment);
    EXPECT_EQ(emptySegment->getTrack(0)->getWayPointCount(), 9);

    // Fractional seconds on every point, one second apart.
    auto fractions = readGpxFile(dataFile("odd_invalid-fix-value.gpx"));
    ASSERT_TRUE(fractions);
    const Track& track = *fractions->getTrack(0);
    ASSERT_EQ(track.getWayPointCount(), 3);
    EXPECT_EQ(track.getWayPoint(2)->getTime() - track.getWayPoint(0)->getTime(), 2);
    EXPECT_EQ(track.getWayPoint(2)->getEle(), 0);
}

TEST(GpxReader, EmbeddedSampleIsTheShippedFile)
{
    EXPECT_EQ(kEmbeddedSamplePath, "sample.gpx");
    std::string_view sample = embeddedSampleGpx();
    EXPECT_EQ(sample, readText(std::string(PATHLARK_SOURCE_DIR) + "/data/sample.gpx"));
    EXPECT_EQ(sample.data()[sample.size()], '\0');

    auto gpx = readGpxString(sample);
    ASSERT_TRUE(gpx);
    ASSERT_EQ(gpx->getTrackCount(), 1);
    const Track& track = *gpx->getTrack(0);
    EXPECT_EQ(track.getName(), "ACTIVE LOG");
    EXPECT_EQ(track.getNumber(), 9);
    ASSERT_EQ(track.getWayPointCount(), 730);
    for (int i = 1; i < track.getWayPointCount(); ++i) {
        EXPECT_GT(track.getWayPoint(i)->getTime(), track.getWayPoint(i - 1)->getTime());
        EXPECT_GT(track.getWayPoint(i)->getEle(), 400);
    }
    EXPECT_LT(gpx->getMinLat(), gpx->getMaxLat());
}

// -----------------------------------------------------------------------------
// Real tracks against a computation that reads the raw text without Tidy or
// Mini-XML and uses the C library's timegm.
// -----------------------------------------------------------------------------

namespace {

struct RawTrack {
    double metres = 0;
    std::int64_t firstTime = 0;
    std::int64_t lastTime = 0;
    int points = 0;
};

double attribute(std::string_view tag, const char* name)
{
    std::size_t at = tag.find(std::string(" ") + name + "=\"");
    return at == std::string_view::npos ? 0 : std::atof(std::string(tag.substr(at + std::strlen(name) + 3)).c_str());
}

std::vector<RawTrack> rawTracks(const std::string& text)
{
    std::vector<RawTrack> tracks;
    for (std::size_t trk = text.find("<trk>"); trk != std::string::npos; trk = text.find("<trk>", trk + 1)) {
        std::size_t end = text.find("</trk>", trk);
        RawTrack track;
        double lat = 0, lon = 0;
        for (std::size_t at = text.find("<trkpt ", trk); at < end; at = text.find("<trkpt ", at + 1)) {
            std::string_view tag = std::string_view(text).substr(at, text.find('>', at) - at);
            double nextLat = attribute(tag, "lat"), nextLon = attribute(tag, "lon");
            int y, mo, d, h, mi, s;
            std::sscanf(text.c_str() + text.find("<time>", at) + 6, "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &s);
            std::int64_t time = utc(y, mo, d, h, mi, s);
            if (track.points++ == 0) {
                track.firstTime = time;
            } else {
                double p1 = lat * std::numbers::pi / 180, p2 = nextLat * std::numbers::pi / 180;
                double a = std::pow(std::sin((p2 - p1) / 2), 2)
                    + std::cos(p1) * std::cos(p2) * std::pow(std::sin((nextLon - lon) * std::numbers::pi / 360), 2);
                track.metres += 2 * 6371000.0 * std::asin(std::sqrt(std::clamp(a, 0.0, 1.0)));
            }
            track.lastTime = time;
            lat = nextLat;
            lon = nextLon;
        }
        tracks.push_back(track);
    }
    return tracks;
}

} // namespace

TEST(GpxReader, RealTracksMatchAnIndependentReading)
{
    // The tracks, then one track per stand-alone waypoint.
    const std::pair<const char*, int> files[] = { { "track_trk-wpt_spreitenbach_2011_osmtracker.gpx", 1 + 79 },
                                                  { "multi_cerknica_2010_8trk-7wpt_gpx10.gpx", 8 + 7 } };
    for (auto [name, trackCount] : files) {
        std::vector<RawTrack> expected = rawTracks(readText(dataFile(name)));
        auto gpx = readGpxFile(dataFile(name));
        ASSERT_TRUE(gpx) << name;
        ASSERT_EQ(gpx->getTrackCount(), trackCount) << name;
        ASSERT_LE(expected.size(), static_cast<std::size_t>(trackCount));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            auto stats = trackStatistics(*gpx->getTrack(static_cast<int>(i)));
            ASSERT_EQ(stats.has_value(), expected[i].points > 0) << name << " track " << i;
            if (!stats)
                continue;
            EXPECT_EQ(stats->pointCount, expected[i].points);
            EXPECT_NEAR(stats->distance, expected[i].metres, 1e-6 * expected[i].metres + 1e-9);
            EXPECT_EQ(stats->duration, expected[i].lastTime - expected[i].firstTime);
        }
    }
    auto route = readGpxFile(dataFile("route_gpxpy_55rtept_gpx10.gpx"));
    ASSERT_TRUE(route);
    ASSERT_EQ(route->getTrackCount(), 1);
    EXPECT_EQ(route->getTrack(0)->getWayPointCount(), 55);
}
