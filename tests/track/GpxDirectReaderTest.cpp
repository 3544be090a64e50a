// The direct reader against the repairing one: every document the direct
// reader accepts must be field for field the one Tidy and Mini-XML give,
// read whole or streamed in chunks, and what it declines must still read.

#include "support/GpxText.h"
#include "track/GpxReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string gunzip(const fs::path& path)
{
    std::string text;
    if (FILE* pipe = popen(("gzip -dc '" + path.string() + "'").c_str(), "r")) {
        char buffer[1 << 16];
        while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
            text.append(buffer, got);
        pclose(pipe);
    }
    return text;
}

void expectBothReadersAgree(const std::string& text, bool direct, const std::string& label)
{
    std::string expected = gpxText(readGpxRepairing(text).get());
    std::unique_ptr<Gpx> document = readGpxDirect(text);
    EXPECT_EQ(document != nullptr, direct) << label;
    if (document) {
        EXPECT_EQ(gpxText(document.get()), expected) << label;
    }
    // Small chunks put every piece of markup across a chunk boundary somewhere.
    for (std::size_t chunk : { 1, 7, 4096 }) {
        std::istringstream stream(text);
        EXPECT_EQ(gpxText(readGpxDirect(stream, chunk).get()), gpxText(document.get()))
            << label << " in chunks of " << chunk;
    }
    EXPECT_EQ(gpxText(readGpxString(text).get()), expected) << label;
}

// Texts other than whole documents are bodies inside
// <gpx version="1.1" creator="test">.
struct Variant {
    const char* text;
    bool direct;
};

const Variant kVariants[] = {
    { R"(<trk><name>Ride -> home</name><trkseg><trkpt lon='9.5' lat="47.1" ><ele>450.5</ele>
      <time>2023-08-19T13:18:46Z</time></trkpt><trkpt
         lat = "47.2"   lon="9.6"/></trkseg><trkseg><trkpt lat="1" lon="2"/></trkseg></trk>)", true },
    { "<trk><name>\r\n  Evening \t ride \r\n</name><number> 7 </number><trkseg><trkpt lat=\"1\" lon=\"2\">"
      "<ele>\n 12.5 \n</ele><time> 2023-08-19T13:18:46Z </time></trkpt></trkseg></trk>", true },
    { "<!-- a --><trk><!-- b --><name>A</name><trkseg><!----><trkpt lat='1' lon='2'><!--d--></trkpt></trkseg>"
      "</trk><!-- e -->", true },
    { "<wpt lat='1' lon='2'><name><![CDATA[ Caf\xc3\xa9 & <Bar> ]]></name><cmt> <![CDATA[a\nb]]>\n<![CDATA[c]]> "
      "</cmt><desc><![CDATA[]]></desc></wpt>", true },
    { "<wpt lat='1' lon='2'><name>Caf&#233; &amp; &lt;Bar&gt; &#x1F6B2;&quot;&apos;\xc2\xa0&#160;x</name></wpt>",
      true },
    { R"(<trk><gpxx:name>X</gpxx:name><trkseg><trkpt lat="1" lon="2"><extensions><gpxtpx:TrackPointExtension>
      <gpxtpx:hr>140</gpxtpx:hr></gpxtpx:TrackPointExtension></extensions><ele>3</ele></trkpt></trkseg></trk>)",
      true },
    { R"(<trk/><trk><name/><number></number><trkseg/></trk><rte><name>  </name></rte><wpt lat="1" lon="2"/>
      <trk><trkseg><trkpt><time/><ele></ele><time>2023-08-19T13:18:46Z</time><ele>5</ele></trkpt></trkseg></trk>)",
      true },
    { R"(<trk><trkseg><trkpt lat="1" lon="2"><name>P</name></trkpt></trkseg><rte><name>R</name><rtept lat="3"
      lon="4"/></rte><wpt lat="5" lon="6"><name>W</name></wpt><name>T</name></trk><trkseg><trkpt/></trkseg>)",
      true },
    { R"(<trk><trkseg><trkpt lat="1"/><trkpt lat=" 2" lon="+3"><time>2023-08-19T13:18:46.5+02:00</time></trkpt>
      <trkpt lat="1e400" lon="nan"><ele>12.5abc</ele><time>2023-13-01T00:00:00Z</time></trkpt><trkpt lat="-0"
      lon="1"><time>2019-07-13T08:01:12.000000+02:00</time></trkpt></trkseg></trk><bounds minlat="-1.5"
      maxlon="2e1"/>)", true },
    { R"(<?xml version="1.0" standalone="yes"?>
      <gpx version="1.0" creator="GPS &amp; me" xmlns="http://www.topografix.com/GPX/1/0"><time>2010-01-01T00:00:00Z
      </time><bounds minlat="1" minlon="2" maxlat="3" maxlon="4"/><rte><number>2</number><rtept lat="1" lon="2">
      <ele>1</ele><time>2010-01-01T00:00:00Z</time></rtept></rte></gpx>)", true },
    { "\xef\xbb\xbf<?xml version='1.0' encoding='utf-8'?><gpx version='1.1'><metadata><name>Meta</name></metadata>"
      "<trk><trkseg><trkpt lat='1' lon='2'/></trkseg></trk></gpx>", true },
    // Declined, for the repairing reader to read.
    { "<!DOCTYPE gpx><gpx><trk><name>A</name></trk></gpx>", false },
    { "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><gpx><wpt><name>Caf\xe9</name></wpt></gpx>", false },
    { "<wpt><name>A&nbsp;B</name></wpt>", false },
    { "<trk>lead<name>A</name></trk>", false },
    { "<wpt><name>&#32;A&#10;B</name></wpt>", false },
    { "<wpt XML:Space='preserve'><name> A  B </name></wpt>", false },
    { "<wpt><name>A<!-- c --></name><cmt>&#150;</cmt></wpt>", false },
    { "<trk><name>A</trk>", false },
    { "<?xml version=\"1.0\"?><gpx version=\"1.1\" Version=\"1.0\"/>", false },
    { "<kml><gpx/></kml>", false },
};

// Real files that are not well-formed: the extensions hold mixed content,
// the other is no XML at all.
bool isMalformed(const std::string& name)
{
    return name == "odd_extensions-without-namespaces.gpx" || name == "odd_not-gpx_badcharacter.gpx";
}

std::string document(const Variant& variant)
{
    std::string text = variant.text;
    for (std::string_view start : { "<?xml", "\xef\xbb\xbf", "<!DOCTYPE", "<kml" })
        if (text.starts_with(start))
            return text;
    return "<gpx version=\"1.1\" creator=\"test\">" + text + "</gpx>";
}

std::string replaced(std::string text, std::string_view from, std::string_view to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

TEST(GpxDirectReader, MarkupVariantsReadAsTheRepairingReaderReadsThem)
{
    for (std::size_t i = 0; i < std::size(kVariants); ++i) {
        std::string text = document(kVariants[i]);
        std::string label = "variant " + std::to_string(i);
        expectBothReadersAgree(text, kVariants[i].direct, label);
        expectBothReadersAgree(replaced(text, "\n", "\r\n"), kVariants[i].direct, label + " with CR LF");
        expectBothReadersAgree(replaced(text, "><", ">\n\t <"), kVariants[i].direct, label + " spaced out");
    }
}

// Our own files, and the shared ones where the project's machines have them beside the checkout.
TEST(GpxDirectReader, FilesReadAsTheRepairingReaderReadsThem)
{
    const fs::path source = PATHLARK_SOURCE_DIR;
    for (fs::path folder : { fs::path(PATHLARK_TEST_DATA_DIR) / "gpx", source / "../shared/data/gpx",
                             source / "../../shared/data/gpx" }) {
        if (!fs::is_directory(folder))
            continue;
        for (const auto& entry : fs::directory_iterator(folder)) {
            std::string name = entry.path().filename().string();
            if (name.ends_with(".gpx") || name.ends_with(".gpx.gz"))
                expectBothReadersAgree(name.ends_with(".gz") ? gunzip(entry.path()) : readText(entry.path()),
                                       !isMalformed(name), name);
        }
    }
    expectBothReadersAgree(readText(PATHLARK_SOURCE_DIR "/data/sample.gpx"), true, "sample.gpx");
    // The file reader streams the file and falls back on the whole text.
    for (const char* name : { "multi_cerknica_2010_8trk-7wpt_gpx10.gpx", "odd_extensions-without-namespaces.gpx" }) {
        fs::path path = fs::path(PATHLARK_TEST_DATA_DIR) / "gpx" / name;
        EXPECT_EQ(gpxText(readGpxFile(path).get()), gpxText(readGpxRepairing(readText(path)).get())) << name;
    }
}
