// Labels: shortening long paths from the left with "…" (measured with the real
// interface font), the cache of the shortened text, value and alignment.

#include "support/GuiTestSupport.h"

#include "gui/GuiLabel.h"
#include "gui/GuiText.h"

#include <gtest/gtest.h>

#include <string>

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

class GuiLabelTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(uiFont, nullptr) << "the fixture's embedded font opened"; }
    GuiFixtureState gui;
};

} // namespace

TEST_F(GuiLabelTest, ShortensFromTheLeftToTheNextSeparator)
{
    struct Case {
        std::string text, fitsWidthOf, shown;
    };
    const Case cases[] = {
        {"/home/anna/track.gpx", "/home/anna/track.gpx", "/home/anna/track.gpx"},  // fits whole
        // A tail that begins mid-name moves forward to the separator that follows.
        {LongPath, Ellipsis + "ents/Radtouren/Sommer/Alpenrunde.gpx", Ellipsis + "/Radtouren/Sommer/Alpenrunde.gpx"},
        {LongPath, Ellipsis + "/Sommer/Alpenrunde.gpx", Ellipsis + "/Sommer/Alpenrunde.gpx"},
        {"C:\\Touren\\Herbst\\Weg.gpx", Ellipsis + "rbst\\Weg.gpx", Ellipsis + "\\Weg.gpx"},
        {"abcdef/ghijk/", Ellipsis + "ijk/", Ellipsis + "ijk/"},  // a trailing separator is no cut point
        {"/tmp/x.gpx", Ellipsis, Ellipsis},                        // too narrow for one character
        {"/Bilder/Überführung/Straße/Weg über den Paß.gpx", Ellipsis + "aße/Weg über den Paß.gpx",
         Ellipsis + "/Weg über den Paß.gpx"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shortenFromLeft(uiFont, c.text, widthOf(c.fitsWidthOf)), c.shown) << c.text;
    EXPECT_EQ(shortenFromLeft(uiFont, "/tmp/x.gpx", 1), Ellipsis);
}

TEST_F(GuiLabelTest, MultiByteTextIsNeverCutInsideACharacter)
{
    const std::string name = "ÄÖÜäöüßÄÖÜäöüß";
    for (int width = widthOf(Ellipsis); width < widthOf(name); width += 3) {
        const std::string shown = shortenFromLeft(uiFont, name, width);
        ASSERT_EQ(shown.rfind(Ellipsis, 0), 0u) << "width " << width;
        const std::string tail = shown.substr(Ellipsis.size());
        EXPECT_TRUE(name.ends_with(tail)) << "width " << width;
        EXPECT_TRUE(tail.empty() || (static_cast<unsigned char>(tail[0]) & 0xC0) != 0x80) << "width " << width;
        EXPECT_LE(widthOf(shown), std::max(width, widthOf(Ellipsis)));
    }
    EXPECT_EQ(shortenFromLeft(uiFont, name, widthOf(Ellipsis + "öüß")), Ellipsis + "öüß");
}

TEST_F(GuiLabelTest, LabelShortensOnlyWithItsFlagAndFollowsTextAndWidth)
{
    const int w = widthOf(Ellipsis + "/Sommer/Alpenrunde.gpx");
    auto* plain = gui.root->add(new GuiLabel(nullptr, -1, 0, 0, w, 22, 0, LongPath, uiFont, GuiLabel::LeftAligned));
    EXPECT_EQ(plain->displayText(), LongPath);

    auto* label = gui.root->add(new GuiLabel(nullptr, -1, 0, 30, w, 22, 0, LongPath, uiFont,
                                             GuiLabel::LeftAligned | GuiLabel::ShortenLeft));
    EXPECT_EQ(label->displayText(), Ellipsis + "/Sommer/Alpenrunde.gpx");
    label->setText("/a.gpx");
    EXPECT_EQ(label->displayText(), "/a.gpx") << "a new text refills the cache";
    EXPECT_TRUE(label->setValue(LongPath));
    label->w = widthOf(Ellipsis + "/Alpenrunde.gpx");
    EXPECT_EQ(label->displayText(), Ellipsis + "/Alpenrunde.gpx") << "a new width refills the cache";
    std::string value;
    EXPECT_TRUE(label->getValue(value));
    EXPECT_EQ(value, LongPath) << "the value is the whole text";

    auto* fontless = gui.root->add(new GuiLabel(nullptr, -1, 0, 60, 10, 22, 0, LongPath, nullptr, GuiLabel::ShortenLeft));
    EXPECT_EQ(fontless->displayText(), LongPath);
}

TEST_F(GuiLabelTest, LineBreaksAndTabsShowAsBlanksButStayInTheValue)
{
    const std::string message = "Could not create the OSM map.\n\nHTTP 429\tlater";
    auto* label = gui.root->add(new GuiLabel(nullptr, -1, 0, 0, 2000, 22, 0, message, uiFont, GuiLabel::LeftAligned));
    EXPECT_EQ(label->displayText(), "Could not create the OSM map.  HTTP 429 later");
    std::string value;
    label->getValue(value);
    EXPECT_EQ(value, message);
}

TEST_F(GuiLabelTest, LeftAlignedStartsAtTheLeftEdgeAndCentredInTheMiddle)
{
    const std::string text = "HHHH";
    const int tw = widthOf(text);
    auto firstInkColumn = [this](int y0, int y1) {
        for (int x = 0; x < 400; ++x)
            for (int y = y0; y < y1; ++y)
                if (readPixel(gui.renderer, x, y).r < 100)
                    return x;
        return -1;
    };
    gui.root->add(new GuiLabel(nullptr, -1, 20, 10, 200, 24, 0, text, uiFont, GuiLabel::LeftAligned));
    gui.root->add(new GuiLabel(nullptr, -1, 20, 50, 200, 24, 0, text, uiFont, 0));
    gui.root->draw(gui.renderer);
    const int left = firstInkColumn(10, 34);
    const int centred = firstInkColumn(50, 74);
    EXPECT_GE(left, 20);
    EXPECT_LE(left, 20 + 3);
    EXPECT_GE(centred, 20 + (200 - tw) / 2);
    EXPECT_LE(centred, 20 + (200 - tw) / 2 + 3);
    EXPECT_NEAR(readPixel(gui.renderer, 210, 20).r, 200, 2) << "no background is drawn";
}
