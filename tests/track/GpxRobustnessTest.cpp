// Inputs that must neither crash nor leak, and give a clear result.

#include "support/GpxText.h"
#include "track/EmbeddedSample.h"
#include "track/GpxReader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string nested(int depth, const std::string& open, const std::string& close)
{
    std::string text = "<gpx>";
    for (int i = 0; i < depth; ++i)
        text += open;
    for (int i = 0; close.size() && i < depth; ++i)
        text += close;
    return text + "</gpx>";
}

} // namespace

TEST(GpxRobustness, FilesThatCannotBeReadGiveNoDocumentAndHugeOnesAreRefused)
{
    const fs::path path = fs::path(testing::TempDir()) / ("pathlark-gpx-" + std::to_string(getpid()) + ".gpx");
    EXPECT_EQ(readGpxFile(path), nullptr);
    EXPECT_EQ(readGpxFile(testing::TempDir()), nullptr);
    std::ofstream(path).close();
    EXPECT_EQ(readGpxFile(path), nullptr);
    std::ofstream(path) << "<gpx>";
    fs::resize_file(path, std::uintmax_t{1} << 30);  // sparse: a gigabyte of nothing, no disk space
    const auto started = std::chrono::steady_clock::now();
    EXPECT_THROW(readGpxFile(path), GpxLimitError);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1)) << "refused before reading";
    fs::remove(path);
}

TEST(GpxRobustness, NestingBeyondTheLimitIsRefused)
{
    EXPECT_THROW(readGpxString(nested(100000, "<a>", "</a>")), GpxLimitError);
    EXPECT_THROW(readGpxString(nested(5000, "<trkpt lat=\"1\" lon=\"2\">", "")), GpxLimitError);
    EXPECT_THROW(readGpxString(nested(kMaxGpxNesting, "<a></b>", "")), GpxLimitError);
    EXPECT_NO_THROW(readGpxString(nested(kMaxGpxNesting - 1, "<a x='>'>", "</a>")));
    EXPECT_NO_THROW(readGpxString(nested(5000, "<a/><!--<b>--><![CDATA[<c>]]>1 < 2 > 0", "")));
}

TEST(GpxRobustness, GarbageTruncationAndHostileValuesGiveAResult)
{
    const std::string_view sample = embeddedSampleGpx();
    for (std::size_t length = 0; length < sample.size(); length += 997) {
        auto gpx = readGpxString(sample.substr(0, length));
        EXPECT_LE(gpx && gpx->getTrackCount() ? gpx->getTrack(0)->getWayPointCount() : 0, 730);
    }
    std::mt19937 random(20230819);
    std::string garbage(64 * 1024, '\0');
    for (char& c : garbage)
        c = char(random());
    EXPECT_EQ(readGpxString(garbage), nullptr);
    EXPECT_EQ(readGpxString("<gpx" + garbage), nullptr);
    // Tidy loses the attribute it was reading here; the sanitizer build's leak check is what really tests this.
    for (const char* text : {"<?xml d", "<?xml version=\"1.0\" enc", "<?xml a='>", "<?xml <?xml d>"})
        EXPECT_EQ(readGpxString(text), nullptr) << text;

    const std::string digits(2'000'000, '9');
    auto gpx = readGpxString("<gpx><trk><name>" + std::string(1000, ' ') + "</name><number>" + digits
                             + "</number><trkseg><trkpt lat=\"" + digits + "\" lon=\"1e-400\"><ele>-" + digits
                             + "</ele><time>0000-01-01T00:00:61Z</time></trkpt></trkseg></trk>"
                             + "<wpt lat='1' lon='2'><name>\xff\xfe\xc3</name></wpt></gpx>");
    // Numbers out of range read 0, a leap second in year 0 wraps like any time, bad UTF-8 is replaced.
    EXPECT_EQ(gpxText(gpx.get()), "gpx creator=\"\" version=\"\" bounds=0,0,0,0\ntrack \"\" number=0\n"
                                  "  point 0,0 ele=0 time=-2037676995 \"0000-01-01T00:00:61Z\" name=\"\" cmt=\"\" desc=\"\"\n"
                                  "track \"WP: \uFFFD\uFFFD\uFFFD\" number=0\n"
                                  "  point 1,2 ele=0 time=0 \"\" name=\"\uFFFD\uFFFD\uFFFD\" cmt=\"\" desc=\"\"\n");
}
