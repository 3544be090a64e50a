// FIT and TCX files: FIT files built byte by byte for the odd corners of the
// format, real files of both kinds as gpsbabel reads them.

#include "track/FitReader.h"
#include "track/GpxReader.h"
#include "track/TcxReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>


namespace {

// A FIT file assembled in the test: messages appended as bytes, then framed
// with header and checksum. The CRC is computed bit by bit here, apart from
// the reader's table.
struct FitBytes {
    bool bigEndian { false };
    std::string messages;

    void put(std::uint64_t value, int size)
    {
        for (int i = 0; i < size; ++i)
            messages += static_cast<char>(value >> (8 * (bigEndian ? size - 1 - i : i)));
    }
    // Fields as (number, size) pairs; developer fields as their sizes.
    void define(int local, int global, std::vector<std::pair<int, int>> fields, std::vector<int> developer = {})
    {
        messages += static_cast<char>(0x40 | (developer.empty() ? 0 : 0x20) | local);
        messages += '\0';
        messages += static_cast<char>(bigEndian ? 1 : 0);
        put(static_cast<std::uint64_t>(global), 2);
        messages += static_cast<char>(fields.size());
        for (auto [number, size] : fields)
            messages += { static_cast<char>(number), static_cast<char>(size), '\0' };
        if (!developer.empty()) {
            messages += static_cast<char>(developer.size());
            for (int size : developer)
                messages += { '\0', static_cast<char>(size), '\0' };
        }
    }
    // A record of local type 0 as `recordLayout` defines it.
    void record(std::int32_t lat, std::int32_t lon, std::uint16_t altitude, std::uint32_t time, int header = 0)
    {
        messages += static_cast<char>(header);
        put(static_cast<std::uint32_t>(lat), 4);
        put(static_cast<std::uint32_t>(lon), 4);
        put(altitude, 2);
        if (!(header & 0x80))
            put(time, 4);
    }
    void recordLayout(bool withTime = true)
    {
        std::vector<std::pair<int, int>> fields = { { 0, 4 }, { 1, 4 }, { 2, 2 } };
        if (withTime)
            fields.push_back({ 253, 4 });
        define(withTime ? 0 : 1, 20, fields);
    }
    static std::uint16_t crc(const std::string& bytes)
    {
        unsigned crc = 0;
        for (unsigned char byte : bytes) {
            crc ^= byte;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        }
        return static_cast<std::uint16_t>(crc);
    }
    std::string file(int headerSize = 12, int protocol = 0x20) const
    {
        std::string out { static_cast<char>(headerSize), static_cast<char>(protocol), 0x08, 0x08 };
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>(messages.size() >> (8 * i));
        out += ".FIT";
        if (headerSize == 14) {
            std::uint16_t headerCrc = crc(out);
            out += { static_cast<char>(headerCrc), static_cast<char>(headerCrc >> 8) };
        }
        out += messages;
        std::uint16_t fileCrc = crc(out);
        return out + std::string { static_cast<char>(fileCrc), static_cast<char>(fileCrc >> 8) };
    }
};

constexpr std::int32_t kSemicircles = 572662306; // 48.0 degrees in 2^31ths of 180
constexpr std::uint32_t kStart = 1000000000; // 2021-09-08 01:46:40 UTC
constexpr std::int64_t kStartUnix = 631065600 + kStart;

// "damaged" or "intact", then per track "| elevation@seconds after kStart ..."
// ("-" for no time); with `full`, name, count and the first and last point.
std::string describe(const ActivityRead& read, bool full = false)
{
    std::string text = read.damaged ? "damaged" : "intact";
    char number[96];
    for (int t = 0; read.gpx && t < read.gpx->getTrackCount(); ++t) {
        const Track& track = *read.gpx->getTrack(t);
        text += " |";
        if (full && track.getWayPointCount()) {
            text += " " + track.getName() + " " + std::to_string(track.getWayPointCount());
            for (const WayPoint* p : { track.getWayPoint(0), track.getWayPoint(track.getWayPointCount() - 1) })
                text += std::string(number, std::snprintf(number, sizeof number, ", %.7f %.7f %.2f ", p->getLat(),
                                                          p->getLon(), p->getEle()))
                    + std::string(p->getTimeString());
            continue;
        }
        for (int i = 0; !full && i < track.getWayPointCount(); ++i) {
            const WayPoint& p = *track.getWayPoint(i);
            text += " " + std::string(number, std::snprintf(number, sizeof number, "%g@", p.getEle()))
                + (p.getTimeString().empty() ? "-" : std::to_string(p.getTime() - kStartUnix));
        }
    }
    return text;
}

} // namespace

TEST(FitReader, ReadsPointsInEitherByteOrderAndHeaderSize)
{
    for (bool big : { false, true }) {
        for (int headerSize : { 12, 14 }) {
            FitBytes fit;
            fit.bigEndian = big;
            fit.define(1, 0, { { 1, 2 } });
            fit.messages += '\x01';
            fit.put(1, 2); // Garmin
            fit.recordLayout();
            fit.record(kSemicircles, -kSemicircles / 2, 2600, kStart);
            ActivityRead read = readFit(fit.file(headerSize));
            EXPECT_EQ(describe(read, true),
                      "intact | Activity 2021-09-08 01:46 1, 48.0000000 -24.0000000 20.00 2021-09-08T01:46:40Z"
                      ", 48.0000000 -24.0000000 20.00 2021-09-08T01:46:40Z") << big << " " << headerSize;
            EXPECT_EQ(read.gpx->getCreator() + " " + read.gpx->getVersion(), "Garmin FIT 2.0");
            EXPECT_EQ(read.gpx->getTrack(0)->getWayPoint(0)->getTime(), kStartUnix);
        }
    }
}

TEST(FitReader, FieldEdgeCases)
{
    auto build = [](auto&& fill) {
        FitBytes fit;
        fill(fit);
        return fit.file();
    };
    const std::string good = build([](FitBytes& f) {
        f.recordLayout();
        f.record(kSemicircles, kSemicircles, 2600, kStart);
        f.record(kSemicircles, kSemicircles, 2605, kStart + 1);
    });
    std::string wrongCrc = good;
    wrongCrc.back() ^= 1;
    std::string hugeSize = good;
    hugeSize[7] = '\x7F';
    // Read from byte 11, this would be a definition (the 'T' of ".FIT") and a record.
    FitBytes shortHeader;
    shortHeader.define(4, 20, { { 0, 4 }, { 1, 4 }, { 2, 2 }, { 253, 4 } });
    shortHeader.messages.erase(0, 1);
    shortHeader.record(kSemicircles, kSemicircles, 2600, kStart, 4);
    std::string headerOf11 = shortHeader.file();
    headerOf11[0] = 11;
    headerOf11[4] += 1;
    FitBytes positionless;
    positionless.define(0, 20, { { 253, 4 } });
    const std::pair<std::string, const char*> cases[] = {
        { build([](FitBytes& f) { // no position, then an invalid altitude
              f.recordLayout();
              f.record(0x7FFFFFFF, kSemicircles, 2600, kStart);
              f.record(kSemicircles, 0x7FFFFFFF, 2600, kStart);
              f.record(kSemicircles, kSemicircles, 0xFFFF, kStart);
          }),
            "intact | 0@0" },
        { build([](FitBytes& f) { // enhanced altitude before altitude
              f.define(0, 20, { { 0, 4 }, { 1, 4 }, { 2, 2 }, { 78, 4 } });
              f.record(kSemicircles, kSemicircles, 2600, 7500);
          }),
            "intact | 1000@-" },
        { build([](FitBytes& f) { // compressed timestamps roll over every 32 s
              f.recordLayout();
              f.recordLayout(false);
              f.record(kSemicircles, kSemicircles, 2600, kStart); // kStart % 32 == 0
              f.record(kSemicircles, kSemicircles, 2600, 0, 0x80 | 0x20 | 30);
              f.record(kSemicircles, kSemicircles, 2600, 0, 0x80 | 0x20 | 20);
          }),
            "intact | 20@0 20@30 20@52" },
        { build([](FitBytes& f) { // developer fields and a field of the wrong size skipped
              f.define(0, 20, { { 0, 4 }, { 1, 4 }, { 2, 1 } }, { 3, 2 });
              f.messages += std::string(1 + 9 + 5, '\x10');
              f.recordLayout();
              f.record(kSemicircles, kSemicircles, 2605, kStart);
          }),
            "intact | 0@- 21@0" },
        { wrongCrc, "damaged | 20@0 21@1" },
        { good.substr(0, good.size() - 6), "damaged | 20@0" }, // cut off in the second record
        { hugeSize, "damaged | 20@0 21@1" },
        { build([](FitBytes& f) { f.record(kSemicircles, kSemicircles, 2600, kStart); }), "damaged" }, // no definition
        { good + "junk", "damaged | 20@0 21@1" },
        { "<gpx></gpx>", "damaged" },
        { headerOf11, "damaged" }, // no FIT header is shorter than 12 bytes
        { good + positionless.file() + build([](FitBytes& f) { // chained files, one track each
              f.recordLayout();
              f.record(kSemicircles, kSemicircles, 2600, kStart + 86400);
          }),
            "intact | 20@0 21@1 | 20@86400" },
        { "", "intact" },
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(describe(readFit(bytes)), expected) << &bytes - &cases[0].first;
}

TEST(TcxReader, ActivitiesThenCoursesWithPositionedPointsOnly)
{
    const std::string tcx = R"(<?xml version="1.0" encoding="UTF-8"?>
<TrainingCenterDatabase xmlns="http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2">
 <Courses><Course><Name> Loop &amp; back </Name><Track>
  <Trackpoint><Position><LatitudeDegrees>46.5</LatitudeDegrees><LongitudeDegrees>7.5</LongitudeDegrees></Position></Trackpoint>
 </Track></Course></Courses>
 <Activities><Activity Sport="Biking"><Id>2020-05-01T10:00:00Z</Id>
  <Lap><Track>
   <Trackpoint><Time>2020-05-01T10:00:00Z</Time><Position><LatitudeDegrees>47.1</LatitudeDegrees>
    <LongitudeDegrees>9.5</LongitudeDegrees></Position><AltitudeMeters>401.5</AltitudeMeters></Trackpoint>
   <Trackpoint><Time>2020-05-01T10:00:01Z</Time><AltitudeMeters>401</AltitudeMeters></Trackpoint>
  </Track></Lap>
  <Lap><Track><Trackpoint><Time>2020-05-01T12:00:02.000+02:00</Time><Position><LatitudeDegrees>47.2</LatitudeDegrees>
    <LongitudeDegrees>9.6</LongitudeDegrees></Position></Trackpoint></Track></Lap>
  <Creator><Name>Edge 530</Name></Creator></Activity>
  <Activity><Id>indoors</Id><Lap><Track><Trackpoint><Time>2020-05-02T10:00:00Z</Time></Trackpoint></Track></Lap></Activity>
 </Activities>
 <Author><Name>Some site</Name></Author>
</TrainingCenterDatabase>
)";
    ActivityRead read = readTcx(tcx);
    EXPECT_EQ(describe(read, true), "intact | 2020-05-01T10:00:00Z 2, 47.1000000 9.5000000 401.50 2020-05-01T10:00:00Z, "
                                    "47.2000000 9.6000000 0.00 2020-05-01T12:00:02.000+02:00 | Loop & back 1, "
                                    "46.5000000 7.5000000 0.00 , 46.5000000 7.5000000 0.00 ");
    EXPECT_EQ(read.gpx->getCreator() + " " + read.gpx->getVersion(), "Edge 530 TCX");
    EXPECT_EQ(read.gpx->getTrack(0)->getWayPoint(1)->getTime() - read.gpx->getTrack(0)->getWayPoint(0)->getTime(), 2);

    // Broken off inside the second point of the activity: the first is kept.
    EXPECT_EQ(describe(readTcx(tcx.substr(0, tcx.find("<AltitudeMeters>401<"))), true),
              "damaged | 2020-05-01T10:00:00Z 1, 47.1000000 9.5000000 401.50 2020-05-01T10:00:00Z, "
              "47.1000000 9.5000000 401.50 2020-05-01T10:00:00Z | Loop & back 1, "
              "46.5000000 7.5000000 0.00 , 46.5000000 7.5000000 0.00 ");

    // Nesting no exporter writes ends the reading where it grows too deep.
    std::string deep = tcx.substr(0, tcx.find("<Creator>"));
    for (int i = 0; i < 100000; ++i)
        deep += "<Lap a='>'>";
    ActivityRead nested = readTcx(deep);
    EXPECT_TRUE(nested.damaged);
    ASSERT_TRUE(nested.gpx);
    EXPECT_EQ(nested.gpx->getTrack(0)->getWayPointCount(), 2);
}

// Count, first and last point of each real file as gpsbabel reads it (written
// as GPX; its recovery mode for the damaged FIT files).
TEST(ActivityReaders, RealFiles)
{
    const std::pair<const char*, const char*> cases[] = {
        { "fit/2013-02-06-12-11-14.fit",
          "intact | Activity 2013-02-06 12:11 583, 57.3846136 -4.4299146 279.60 2013-02-06T12:11:14Z"
          ", 57.3846353 -4.4306117 286.40 2013-02-06T12:54:58Z" },
        { "fit/activity-settings-corruptheader.fit",
          "damaged | Activity 2012-04-09 21:22 14, 41.5139261 -73.1485908 278.20 2012-04-09T21:22:26Z"
          ", 41.5139237 -73.1486391 278.20 2012-04-09T21:22:39Z" },
        { "fit/activity-unexpected-eof.fit",
          "damaged | Activity 2012-04-09 21:22 14, 41.5139261 -73.1485908 278.20 2012-04-09T21:22:26Z"
          ", 41.5139237 -73.1486391 278.20 2012-04-09T21:22:39Z" },
        { "fit/compressed-speed-distance.fit", "intact" }, // no positions
        { "fit/garmin-fenix-5-run.fit",
          "intact | Activity 2017-06-11 14:34 21, 38.2297873 -122.6337039 2.20 2017-06-11T14:34:09Z"
          ", 38.2285253 -122.6345435 4.20 2017-06-11T14:35:06Z" },
        { "fit/sample_mulitple_header.fit",
          "intact | Activity 2018-05-27 07:33 1462, 45.1807504 -1.0852215 0.00 2018-05-27T07:33:01Z"
          ", 45.1813003 -1.0851493 35.00 2018-05-27T10:11:12Z" },
        { "tcx/sup_activity_1.tcx",
          "intact | 2022-07-16T16:08:25.000Z 111, 46.6369239 16.1683627 0.00 2022-07-16T16:08:25.000Z"
          ", 46.6368975 16.1683323 0.00 2022-07-16T16:26:57.000Z" },
        { "tcx/test.tcx",
          "intact | 2012-12-26T21:29:53Z 383, 35.9518802 -79.0931872 178.94 2012-12-26T21:29:53Z"
          ", 35.9519545 -79.0930144 166.45 2012-12-26T22:03:04Z" },
    };
    for (auto [name, expected] : cases) {
        const std::string path = std::string(PATHLARK_TEST_DATA_DIR) + "/" + name;
        EXPECT_EQ(describe(std::string_view(name).ends_with(".fit") ? readFitFile(path) : readTcxFile(path), true),
                  expected) << name;
    }
}
