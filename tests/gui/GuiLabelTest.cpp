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

int widthOf(const std::string& text)
{
    int w = 0, h = 0;
    EXPECT_TRUE(measureText(uiFont, text, w, h)) << text;
    return w;
}

bool validUtf8(const std::string& s)
{
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (len == 0 || i + len > s.size())
            return false;
        for (size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += len;
    }
    return true;
}

class GuiLabelTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(uiFont, nullptr) << "the fixture's embedded font opened"; }
    GuiFixtureState gui;
};

} // namespace

TEST_F(GuiLabelTest, TextThatFitsIsShownWhole)
{
    const std::string path = "/home/anna/track.gpx";
    EXPECT_EQ(shortenFromLeft(uiFont, path, widthOf(path)), path);
}

TEST_F(GuiLabelTest, LongPathKeepsTheLongestTailMovedToTheNextSeparator)
{
    const std::string path = "/home/anna/Documents/Radtouren/Sommer/Alpenrunde.gpx";
    // Exactly wide enough for "…" and a tail that begins mid-name: the shown
    // text moves forward to the separator that follows.
    EXPECT_EQ(shortenFromLeft(uiFont, path, widthOf(Ellipsis + "ents/Radtouren/Sommer/Alpenrunde.gpx")),
              Ellipsis + "/Radtouren/Sommer/Alpenrunde.gpx");
    // A tail that already starts at a separator stays as it is.
    EXPECT_EQ(shortenFromLeft(uiFont, path, widthOf(Ellipsis + "/Sommer/Alpenrunde.gpx")),
              Ellipsis + "/Sommer/Alpenrunde.gpx");
    // Windows separators count too.
    EXPECT_EQ(shortenFromLeft(uiFont, "C:\\Touren\\Herbst\\Weg.gpx", widthOf(Ellipsis + "rbst\\Weg.gpx")),
              Ellipsis + "\\Weg.gpx");
}

TEST_F(GuiLabelTest, SeparatorAsTheLastCharacterIsNotACutPoint)
{
    const std::string path = "abcdef/ghijk/";
    EXPECT_EQ(shortenFromLeft(uiFont, path, widthOf(Ellipsis + "ijk/")), Ellipsis + "ijk/");
}

TEST_F(GuiLabelTest, TooNarrowForOneCharacterShowsTheEllipsisAlone)
{
    EXPECT_EQ(shortenFromLeft(uiFont, "/tmp/x.gpx", widthOf(Ellipsis)), Ellipsis);
    EXPECT_EQ(shortenFromLeft(uiFont, "/tmp/x.gpx", 1), Ellipsis);
}

TEST_F(GuiLabelTest, MultiByteTextIsNeverCutInsideACharacter)
{
    const std::string name = "ÄÖÜäöüßÄÖÜäöüß";
    for (int width = widthOf(Ellipsis); width < widthOf(name); width += 3) {
        const std::string shown = shortenFromLeft(uiFont, name, width);
        EXPECT_TRUE(validUtf8(shown)) << "width " << width;
        EXPECT_EQ(shown.rfind(Ellipsis, 0), 0u);
        EXPECT_LE(widthOf(shown), std::max(width, widthOf(Ellipsis)));
    }
    EXPECT_EQ(shortenFromLeft(uiFont, name, widthOf(Ellipsis + "öüß")), Ellipsis + "öüß");

    const std::string path = "/Bilder/Überführung/Straße/Weg über den Paß.gpx";
    const std::string shown = shortenFromLeft(uiFont, path, widthOf(Ellipsis + "aße/Weg über den Paß.gpx"));
    EXPECT_EQ(shown, Ellipsis + "/Weg über den Paß.gpx");
}

TEST_F(GuiLabelTest, LabelShortensOnlyWithItsFlagAndCachesPerTextAndWidth)
{
    const std::string path = "/home/anna/Documents/Radtouren/Sommer/Alpenrunde.gpx";
    const int w = widthOf(Ellipsis + "/Sommer/Alpenrunde.gpx");
    auto* plain = gui.root->add(new GuiLabel(nullptr, -1, 0, 0, w, 22, 0, path, uiFont, GuiLabel::LeftAligned));
    EXPECT_EQ(plain->displayText(), path);

    auto* label = gui.root->add(new GuiLabel(nullptr, -1, 0, 30, w, 22, 0, path, uiFont,
                                             GuiLabel::LeftAligned | GuiLabel::ShortenLeft));
    EXPECT_EQ(label->displayText(), Ellipsis + "/Sommer/Alpenrunde.gpx");
    EXPECT_EQ(label->shortenedFor, path);
    EXPECT_EQ(label->shortenedWidth, w);

    label->setText("/a.gpx");
    EXPECT_EQ(label->displayText(), "/a.gpx") << "a new text refills the cache";
    label->setText(path);
    label->w = widthOf(Ellipsis + "/Alpenrunde.gpx");
    EXPECT_EQ(label->displayText(), Ellipsis + "/Alpenrunde.gpx") << "a new width refills the cache";

    auto* fontless = gui.root->add(new GuiLabel(nullptr, -1, 0, 60, 10, 22, 0, path, nullptr, GuiLabel::ShortenLeft));
    EXPECT_EQ(fontless->displayText(), path);
}

TEST_F(GuiLabelTest, ValueIsTheText)
{
    auto* label = gui.root->add(new GuiLabel(nullptr, -1, 0, 0, 100, 22, 0, "Cursor", uiFont, 0));
    std::string value;
    EXPECT_TRUE(label->getValue(value));
    EXPECT_EQ(value, "Cursor");
    EXPECT_TRUE(label->setValue("Angle"));
    EXPECT_EQ(label->text, "Angle");
    EXPECT_STREQ(label->className(), "GuiLabel");
    EXPECT_FALSE(label->isCacheable());
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
