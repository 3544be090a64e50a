#include "gui/TextLayout.h"

#include "support/GuiTestSupport.h"

namespace {

constexpr int X = 20, Y = 30, Left = X + 5;

// The interface font at the toolkit's 14 pixels, as the engine loads it.
class TextLayoutTest : public ::testing::Test {
protected:
    guitest::GuiFixtureState gui;
    const FT_Face face = ftFace;
    TextLayout lay(const std::u32string& text, int w = 200, TextLayout::Style style = {})
    {
        TextLayout layout;
        layout.layOut(face, text, X, Y, w, style);
        return layout;
    }
    // The glyph's left bearing and advance, and the kerning before it.
    std::pair<int, int> metrics(char32_t cp)
    {
        FT_Load_Glyph(face, FT_Get_Char_Index(face, cp), FT_LOAD_RENDER);
        return {face->glyph->bitmap_left, int(face->glyph->advance.x >> 6)};
    }
    int kerning(char32_t a, char32_t b)
    {
        FT_Vector d{0, 0};
        FT_Get_Kerning(face, FT_Get_Char_Index(face, a), FT_Get_Char_Index(face, b), FT_KERNING_DEFAULT, &d);
        return int(d.x >> 6);
    }
};

} // namespace

TEST_F(TextLayoutTest, GlyphsFollowFreeTypeAdvancesKerningTabsAndLineFeeds)
{
    ASSERT_NE(kerning('T', 'o'), 0) << "the case needs a kerning pair";
    ASSERT_EQ(FT_Get_Char_Index(face, 0x1D11E), 0u) << "the case needs a character the font lacks";
    const auto [tLeft, tAdvance] = metrics('T');
    const auto [oLeft, oAdvance] = metrics('o');
    const int lineHeight = int(face->size->metrics.height >> 6);
    const int baseline = Y + 5 + int(face->size->metrics.ascender >> 6);
    const TextLayout l = lay(U"To\tx\nT\U0001D11Eo\n");
    const int tab = Left + tAdvance + kerning('T', 'o') + oAdvance;
    std::vector<std::array<int, 3>> actual;
    for (const TextGlyph& g : l.glyphs())
        actual.push_back({g.x, g.y, g.width});
    EXPECT_EQ(actual[1][0], Left + tAdvance + kerning('T', 'o') + oLeft);
    EXPECT_EQ((std::array{actual[2][0], actual[2][2], actual[3][0] - metrics('x').first, actual[3][1], actual[4][2]}),
              (std::array{tab, 40, tab + 40, baseline, 0}));
    EXPECT_EQ((std::array{actual[5][0], actual[5][1], actual[6][2], actual[7][0]}),
              (std::array{Left + tLeft, baseline + lineHeight, 0, Left + tAdvance + oLeft}))
        << "a missing glyph takes no room";
    EXPECT_EQ((std::array{actual[9][0], actual[9][1]}), (std::array{Left, baseline + 2 * lineHeight}))
        << "a final line feed gives the caret a place on the empty last line";
    EXPECT_EQ(l.lineHeight(), lineHeight);
}

TEST_F(TextLayoutTest, WordWrapBreaksAfterSpacesAndSplitsOverlongWords)
{
    const std::u32string text = U"alpha beta gamma delta epsilon";
    const TextLayout l = lay(text, 100, {.wordWrap = true});
    const auto& g = l.glyphs();
    int lines = 1;
    for (size_t i = 0; i < g.size(); ++i) {
        EXPECT_LE(g[i].codePoint == ' ' ? 0 : g[i].x + g[i].width, Left + 100 - 22) << "glyph " << i;
        if (i > 0 && g[i].y != g[i - 1].y) {
            ++lines;
            EXPECT_EQ(text[i - 1], U' ') << "line broken inside a word at " << i;
            EXPECT_LE(g[i].x, Left + 1);
        }
    }
    EXPECT_GE(lines, 3);

    const TextLayout overlong = lay(std::u32string(40, U'm'), 100, {.wordWrap = true});
    const auto& word = overlong.glyphs();
    size_t firstLine = 0;
    while (word[firstLine].y == word[0].y)
        ++firstLine;
    EXPECT_GT(firstLine, 1u);
    EXPECT_LT(firstLine, 40u);
    EXPECT_EQ(word[firstLine].x, word[0].x);
}

TEST_F(TextLayoutTest, PasswordShowsOneMaskPerCharacterOnOneLine)
{
    const char32_t mask = FT_Get_Char_Index(face, 0x2022) ? 0x2022 : '*';
    const TextLayout l = lay(U"p\u00E4\u20AC\nx", 200, {.password = true});
    ASSERT_EQ(l.glyphs().size(), 5u);
    for (const TextGlyph& g : l.glyphs())
        EXPECT_EQ((std::pair{g.codePoint, g.y}), (std::pair{mask, l.glyphs()[0].y}));
}
