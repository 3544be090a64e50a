// FIT and TCX files: FIT files built byte by byte for the odd corners of the
// format, real files of both kinds against gpsbabel's reading of them.

#include "track/FitReader.h"
#include "track/GpxReader.h"
#include "track/TcxReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

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

std::vector<const WayPoint*> pointsOf(const ActivityRead& read)
{
    std::vector<const WayPoint*> points;
    for (int t = 0; read.gpx && t < read.gpx->getTrackCount(); ++t)
        for (int i = 0; i < read.gpx->getTrack(t)->getWayPointCount(); ++i)
            points.push_back(read.gpx->getTrack(t)->getWayPoint(i));
    return points;
}

} // namespace

TEST(FitReader, ReadsPointsInEitherByteOrderAndHeaderSize)
{
    for (bool big : { false, true }) {
        for (int headerSize : { 12, 14 }) {
            SCOPED_TRACE(std::to_string(big) + " " + std::to_string(headerSize));
            FitBytes fit;
            fit.bigEndian = big;
            fit.define(1, 0, { { 1, 2 } });
            fit.messages += '\x01';
            fit.put(1, 2); // Garmin
            fit.recordLayout();
            fit.record(kSemicircles, -kSemicircles / 2, 2600, kStart);
            ActivityRead read = readFit(fit.file(headerSize));
            ASSERT_TRUE(read.gpx);
            EXPECT_FALSE(read.damaged);
            EXPECT_EQ(read.gpx->getCreator(), "Garmin");
            EXPECT_EQ(read.gpx->getVersion(), "FIT 2.0");
            const Track* track = read.gpx->getTrack(0);
            EXPECT_EQ(track->getName(), "Activity 2021-09-08 01:46");
            const WayPoint* point = track->getWayPoint(0);
            EXPECT_NEAR(point->getLat(), 48.0, 1e-7);
            EXPECT_NEAR(point->getLon(), -24.0, 1e-7);
            EXPECT_DOUBLE_EQ(point->getEle(), 2600 / 5.0 - 500);
            EXPECT_EQ(point->getTime(), 631065600 + kStart);
            EXPECT_EQ(point->getTimeString(), "2021-09-08T01:46:40Z");
        }
    }
}

TEST(FitReader, FieldEdgeCases)
{
    struct Case {
        const char* what;
        std::string bytes;
        int tracks;
        std::vector<double> elevations; // one per point read
        std::vector<std::string> times;
        bool damaged;
    };
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
    FitBytes positionless;
    positionless.define(0, 20, { { 253, 4 } });
    const std::vector<Case> cases = {
        { "no position, then invalid altitude", build([](FitBytes& f) {
              f.recordLayout();
              f.record(0x7FFFFFFF, kSemicircles, 2600, kStart);
              f.record(kSemicircles, 0x7FFFFFFF, 2600, kStart);
              f.record(kSemicircles, kSemicircles, 0xFFFF, kStart);
          }),
            1, { 0 }, { "2021-09-08T01:46:40Z" }, false },
        { "enhanced altitude before altitude", build([](FitBytes& f) {
              f.define(0, 20, { { 0, 4 }, { 1, 4 }, { 2, 2 }, { 78, 4 } });
              f.record(kSemicircles, kSemicircles, 2600, 7500);
          }),
            1, { 1000 }, { "" }, false },
        { "compressed timestamps roll over every 32 s", build([](FitBytes& f) {
              f.recordLayout();
              f.recordLayout(false);
              f.record(kSemicircles, kSemicircles, 2600, kStart); // kStart % 32 == 0
              f.record(kSemicircles, kSemicircles, 2600, 0, 0x80 | 0x20 | 30);
              f.record(kSemicircles, kSemicircles, 2600, 0, 0x80 | 0x20 | 20);
          }),
            1, { 20, 20, 20 }, { "2021-09-08T01:46:40Z", "2021-09-08T01:47:10Z", "2021-09-08T01:47:32Z" }, false },
        { "developer fields and a field of the wrong size skipped", build([](FitBytes& f) {
              f.define(0, 20, { { 0, 4 }, { 1, 4 }, { 2, 1 } }, { 3, 2 });
              f.messages += std::string(1 + 9 + 5, '\x10');
              f.recordLayout();
              f.record(kSemicircles, kSemicircles, 2605, kStart);
          }),
            1, { 0, 21 }, { "", "2021-09-08T01:46:40Z" }, false },
        { "wrong checksum keeps every point", wrongCrc, 1, { 20, 21 }, { "2021-09-08T01:46:40Z", "2021-09-08T01:46:41Z" }, true },
        { "cut off in the second record", good.substr(0, good.size() - 6), 1, { 20 }, { "2021-09-08T01:46:40Z" }, true },
        { "declared size beyond the end", hugeSize, 1, { 20, 21 }, { "2021-09-08T01:46:40Z", "2021-09-08T01:46:41Z" }, true },
        { "data before its definition", build([](FitBytes& f) {
              f.record(kSemicircles, kSemicircles, 2600, kStart);
          }),
            0, {}, {}, true },
        { "bytes after the file", good + "junk", 1, { 20, 21 }, { "2021-09-08T01:46:40Z", "2021-09-08T01:46:41Z" }, true },
        { "no FIT file at all", "<gpx></gpx>", 0, {}, {}, true },
        { "chained files, one track each", good + positionless.file() + build([](FitBytes& f) {
              f.recordLayout();
              f.record(kSemicircles, kSemicircles, 2600, kStart + 86400);
          }),
            2, { 20, 21, 20 }, { "2021-09-08T01:46:40Z", "2021-09-08T01:46:41Z", "2021-09-09T01:46:40Z" }, false },
        { "empty", "", 0, {}, {}, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ActivityRead read = readFit(c.bytes);
        EXPECT_EQ(read.damaged, c.damaged);
        EXPECT_EQ(read.gpx ? read.gpx->getTrackCount() : 0, c.tracks);
        std::vector<const WayPoint*> points = pointsOf(read);
        ASSERT_EQ(points.size(), c.elevations.size());
        for (std::size_t i = 0; i < points.size(); ++i) {
            EXPECT_DOUBLE_EQ(points[i]->getEle(), c.elevations[i]);
            EXPECT_EQ(points[i]->getTimeString(), c.times[i]);
        }
    }
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
    ASSERT_TRUE(read.gpx);
    EXPECT_FALSE(read.damaged);
    EXPECT_EQ(read.gpx->getCreator(), "Edge 530");
    EXPECT_EQ(read.gpx->getVersion(), "TCX");
    ASSERT_EQ(read.gpx->getTrackCount(), 2);
    const Track* activity = read.gpx->getTrack(0);
    EXPECT_EQ(activity->getName(), "2020-05-01T10:00:00Z");
    ASSERT_EQ(activity->getWayPointCount(), 2);
    EXPECT_DOUBLE_EQ(activity->getWayPoint(0)->getEle(), 401.5);
    EXPECT_DOUBLE_EQ(activity->getWayPoint(1)->getLat(), 47.2);
    EXPECT_EQ(activity->getWayPoint(1)->getTime() - activity->getWayPoint(0)->getTime(), 2);
    EXPECT_EQ(read.gpx->getTrack(1)->getName(), "Loop & back");
    EXPECT_EQ(read.gpx->getTrack(1)->getWayPointCount(), 1);

    // Broken off inside the second point of the activity: the first is kept.
    ActivityRead cut = readTcx(tcx.substr(0, tcx.find("<AltitudeMeters>401<")));
    EXPECT_TRUE(cut.damaged);
    ASSERT_TRUE(cut.gpx);
    EXPECT_EQ(cut.gpx->getTrack(0)->getWayPointCount(), 1);

    // Nesting no exporter writes ends the reading where it grows too deep.
    std::string deep = tcx.substr(0, tcx.find("<Creator>"));
    for (int i = 0; i < 100000; ++i)
        deep += "<Lap a='>'>";
    ActivityRead nested = readTcx(deep);
    EXPECT_TRUE(nested.damaged);
    ASSERT_TRUE(nested.gpx);
    EXPECT_EQ(nested.gpx->getTrack(0)->getWayPointCount(), 2);
}

// gpsbabel's reading of each real file, written as GPX and read by our GPX
// reader, has the very points ours has. Files gpsbabel calls corrupt are
// compared with its recovery mode, which keeps what lies before the damage.
TEST(ActivityReaders, RealFilesAgreeWithGpsbabel)
{
    if (std::system("command -v gpsbabel > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "gpsbabel is not installed; scripts/install-deps.sh --bench installs it";
    const fs::path out = fs::temp_directory_path() / ("pathlark-activity-" + std::to_string(getpid()) + ".gpx");
    int compared = 0;
    for (const char* kind : { "fit", "tcx" }) {
        for (const auto& entry : fs::directory_iterator(fs::path(PATHLARK_TEST_DATA_DIR) / kind)) {
            const fs::path file = entry.path();
            if (file.extension() != std::string(".") + kind)
                continue;
            SCOPED_TRACE(file.filename().string());
            const std::string format = kind == std::string("fit") ? "garmin_fit" : "gtrnctr";
            auto convert = [&](const std::string& options) {
                fs::remove(out);
                std::string command = "gpsbabel -i " + format + options + " -f '" + file.string() + "' -o gpx -F '" +
                                      out.string() + "' > /dev/null 2>&1";
                return std::system(command.c_str()) == 0;
            };
            const bool intact = convert("");
            if (!intact && (format != "garmin_fit" || !convert(",recoverymode")))
                continue;
            ActivityRead ours = kind == std::string("fit") ? readFitFile(file) : readTcxFile(file);
            EXPECT_EQ(ours.damaged, !intact);
            std::unique_ptr<Gpx> theirs = readGpxFile(out);
            ASSERT_TRUE(theirs);
            // gpsbabel writes laps as waypoints and reads only the first of chained FIT files.
            const Track* reference = nullptr;
            for (int t = 0; t < theirs->getTrackCount() && !reference; ++t)
                if (theirs->getTrack(t)->getName().rfind("WP: ", 0) != 0)
                    reference = theirs->getTrack(t);
            if (!reference || reference->getWayPointCount() == 0) {
                EXPECT_FALSE(ours.gpx);
                ++compared;
                continue;
            }
            ASSERT_TRUE(ours.gpx);
            const Track* track = ours.gpx->getTrack(0);
            ASSERT_EQ(track->getWayPointCount(), reference->getWayPointCount());
            for (int i = 0; i < track->getWayPointCount(); ++i) {
                const WayPoint* a = track->getWayPoint(i);
                const WayPoint* b = reference->getWayPoint(i);
                ASSERT_NEAR(a->getLat(), b->getLat(), 1e-7) << "point " << i;
                ASSERT_NEAR(a->getLon(), b->getLon(), 1e-7) << "point " << i;
                ASSERT_NEAR(a->getEle(), b->getEle(), 0.01) << "point " << i;
                ASSERT_EQ(a->getTime(), b->getTime()) << "point " << i;
            }
            ++compared;
        }
    }
    fs::remove(out);
    EXPECT_GE(compared, 8);
}
