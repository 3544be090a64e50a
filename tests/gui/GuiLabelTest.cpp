// Labels: shortening long paths from the left with "…" (measured with the real
// interface font), and alignment.

#include "support/GuiTestSupport.h"

#include "gui/GuiLabel.h"

using namespace guitest;

namespace {

const std::string Ellipsis = "\xE2\x80\xA6";
const std::string LongPath = "/home/anna/Documents/Radtouren/Sommer/Alpenrunde.gpx";

int widthOf(const std::string& text)
{
    int w = 0, h = 0;
    EXPECT_TRUE(measureText(uiFont, text, w, h)) << text;
    return w;
}

} // namespace

TEST(GuiLabel, ShortensFromTheLeftToTheNextSeparatorAndNeverInsideACharacter)
{
    GuiFixtureState gui;
    // {text, the text whose width is given, shown}
    const std::array<std::string, 3> cases[] = {
        {"/home/anna/track.gpx", "/home/anna/track.gpx", "/home/anna/track.gpx"},  // fits whole
        // A tail that begins mid-name moves forward to the separator that follows.
        {LongPath, Ellipsis + "ents/Radtouren/Sommer/Alpenrunde.gpx", Ellipsis + "/Radtouren/Sommer/Alpenrunde.gpx"},
        {LongPath, Ellipsis + "/Sommer/Alpenrunde.gpx", Ellipsis + "/Sommer/Alpenrunde.gpx"},
        {"C:\\Touren\\Herbst\\Weg.gpx", Ellipsis + "rbst\\Weg.gpx", Ellipsis + "\\Weg.gpx"},
        {"abcdef/ghijk/", Ellipsis + "ijk/", Ellipsis + "ijk/"},  // a trailing separator is no cut point
        {"/tmp/x.gpx", Ellipsis, Ellipsis},                        // too narrow for one character
        {"/Bilder/Überführung/Straße/Weg über den Paß.gpx", Ellipsis + "aße/Weg über den Paß.gpx",
         Ellipsis + "/Weg über den Paß.gpx"},
        {"ÄÖÜäöüßÄÖÜäöüß", Ellipsis + "öüß", Ellipsis + "öüß"},
    };
    for (const auto& [text, fitsWidthOf, shown] : cases)
        EXPECT_EQ(shortenFromLeft(uiFont, text, widthOf(fitsWidthOf)), shown) << text;
    EXPECT_EQ(shortenFromLeft(uiFont, "/tmp/x.gpx", 1), Ellipsis);
}

TEST(GuiLabel, LeftAlignedStartsAtTheLeftEdgeAndCentredInTheMiddle)
{
    GuiFixtureState gui;
    auto firstInkColumn = [&](int y0, int y1) {
        for (int x = 0; x < 400; ++x)
            for (int y = y0; y < y1; ++y)
                if (readPixel(gui.renderer, x, y).r < 100)
                    return x;
        return -1;
    };
    gui.root->add(new GuiLabel(nullptr, -1, 20, 10, 200, 24, 0, "HHHH", uiFont, GuiLabel::LeftAligned));
    gui.root->add(new GuiLabel(nullptr, -1, 20, 50, 200, 24, 0, "HHHH", uiFont, 0));
    gui.root->draw(gui.renderer);
    EXPECT_NEAR(firstInkColumn(10, 34), 20 + 1.5, 1.5);
    EXPECT_NEAR(firstInkColumn(50, 74), 20 + (200 - widthOf("HHHH")) / 2 + 1.5, 1.5);
}
