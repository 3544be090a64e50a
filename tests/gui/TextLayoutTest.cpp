#include "gui/TextLayout.h"

#include "support/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

constexpr int X = 20, Y = 30;

// The interface font at the toolkit's 14 pixels, straight from FreeType.
class TextLayoutTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const auto& bytes = guitest::fontBytes();
        FT_Init_FreeType(&library);
        FT_New_Memory_Face(library, bytes.data(), FT_Long(bytes.size()), 0, &face);
        FT_Select_Charmap(face, FT_ENCODING_UNICODE);
        FT_Set_Pixel_Sizes(face, 0, 14);
    }
    static void TearDownTestSuite()
    {
        FT_Done_Face(face);
        FT_Done_FreeType(library);
    }

    static TextLayout lay(const std::u32string& text, int w = 200, TextLayout::Style style = {})
    {
        TextLayout layout;
        layout.layOut(face, text, X, Y, w, style);
        return layout;
    }

    struct Advance {
        int left, advance;
    };
    static Advance advance(char32_t cp)
    {
        FT_Load_Glyph(face, FT_Get_Char_Index(face, cp), FT_LOAD_RENDER);
        return Advance{face->glyph->bitmap_left, int(face->glyph->advance.x >> 6)};
    }
    static int kerning(char32_t a, char32_t b)
    {
        FT_Vector d{0, 0};
        FT_Get_Kerning(face, FT_Get_Char_Index(face, a), FT_Get_Char_Index(face, b), FT_KERNING_DEFAULT, &d);
        return int(d.x >> 6);
    }

    static inline FT_Library library = nullptr;
    static inline FT_Face face = nullptr;
};

} // namespace

TEST_F(TextLayoutTest, GlyphsFollowFreeTypeAdvancesKerningTabsAndLineFeeds)
{
    ASSERT_NE(face, nullptr);
    ASSERT_NE(kerning('T', 'o'), 0) << "the case needs a kerning pair";
    const TextLayout l = lay(U"To\tx\nT");
    const auto& g = l.glyphs();
    const int lineHeight = int(face->size->metrics.height >> 6);
    const int baseline = Y + 5 + int(face->size->metrics.ascender >> 6);

    int pen = X + 5;
    EXPECT_EQ(g[0].x, pen + advance('T').left);
    pen += advance('T').advance + kerning('T', 'o');
    EXPECT_EQ(g[1].x, pen + advance('o').left);
    pen += advance('o').advance;
    EXPECT_EQ(g[2].x, pen);
    EXPECT_EQ(g[2].width, 40);
    EXPECT_EQ(g[3].x, pen + 40 + advance('x').left);
    EXPECT_EQ(g[3].y, baseline);
    EXPECT_EQ(g[4].width, 0);
    EXPECT_EQ(g[5].x, X + 5 + advance('T').left);
    EXPECT_EQ(g[5].y, baseline + lineHeight);
    EXPECT_EQ(l.lineHeight(), lineHeight);

    const TextLayout open = lay(U"ab\n");
    ASSERT_EQ(open.glyphs().size(), 4u);
    EXPECT_EQ(open.glyphs()[3].x, X + 5) << "a final line feed gives the caret a place on the empty last line";
    EXPECT_EQ(open.glyphs()[3].y, open.glyphs()[0].y + open.lineHeight());
}

TEST_F(TextLayoutTest, WordWrapBreaksAfterSpacesAndSplitsOverlongWords)
{
    const std::u32string text = U"alpha beta gamma delta epsilon";
    const TextLayout l = lay(text, 100, {.wordWrap = true});
    const auto& g = l.glyphs();
    const int limit = X + 5 + (100 - 22);
    int lines = 1;
    for (size_t i = 0; i < g.size(); ++i) {
        if (g[i].codePoint != ' ') {
            EXPECT_LE(g[i].x + g[i].width, limit) << "glyph " << i;
        }
        if (i > 0 && g[i].y != g[i - 1].y) {
            ++lines;
            EXPECT_EQ(text[i - 1], U' ') << "line broken inside a word at " << i;
            EXPECT_LE(g[i].x, X + 5 + 1);
        }
    }
    EXPECT_GE(lines, 3);

    const TextLayout word = lay(std::u32string(40, U'm'), 100, {.wordWrap = true});
    size_t firstLine = 0;
    while (word.glyphs()[firstLine].y == word.glyphs()[0].y)
        ++firstLine;
    EXPECT_GT(firstLine, 1u);
    EXPECT_LT(firstLine, 40u);
    EXPECT_EQ(word.glyphs()[firstLine].x, word.glyphs()[0].x);
}

TEST_F(TextLayoutTest, PasswordShowsOneMaskPerCharacterOnOneLine)
{
    const char32_t mask = FT_Get_Char_Index(face, 0x2022) ? 0x2022 : '*';
    const TextLayout l = lay(U"p\u00E4\u20AC\nx", 200, {.password = true});
    ASSERT_EQ(l.glyphs().size(), 5u);
    for (const TextGlyph& g : l.glyphs()) {
        EXPECT_EQ(g.codePoint, mask);
        EXPECT_EQ(g.y, l.glyphs()[0].y);
    }
}

TEST_F(TextLayoutTest, MissingGlyphTakesNoRoom)
{
    ASSERT_EQ(FT_Get_Char_Index(face, 0x1D11E), 0u) << "the case needs a character the font lacks";
    const TextLayout l = lay(U"a\U0001D11Eb");
    EXPECT_EQ(l.glyphs()[1].width, 0);
    EXPECT_EQ(l.glyphs()[2].x, X + 5 + advance('a').advance + advance('b').left);
}

TEST_F(TextLayoutTest, CharacterAtPointUsesGlyphMiddlesAndLineEnds)
{
    const TextLayout l = lay(U"abc\ndef");
    const TextGlyph& b = l.glyphs()[1];
    const TextGlyph& c = l.glyphs()[2];
    const int y1 = b.y - 5, y2 = y1 + l.lineHeight();
    EXPECT_EQ(l.charIndexAt(b.x + 1, y1), 1);
    EXPECT_EQ(l.charIndexAt((b.x + c.x) / 2 + 1, y1), 2);
    EXPECT_EQ(l.charIndexAt(X + 190, y1), 3) << "right of a line ending in a line feed";
    EXPECT_EQ(l.charIndexAt(X + 190, y2), 7) << "right of the last line";
    EXPECT_EQ(l.charIndexAt(X, y2), 4);
    EXPECT_EQ(l.charIndexAt(X + 10, Y + 70), 7) << "below the text";
}

TEST_F(TextLayoutTest, WordsEndAtSeparators)
{
    const TextLayout l = lay(U"foo-bar (baz).");
    const std::pair<int, std::pair<int, int>> words[] = {{1, {0, 3}}, {3, {3, 3}}, {6, {4, 7}}, {10, {9, 12}}, {14, {14, 14}}};
    for (const auto& [at, word] : words)
        EXPECT_EQ(l.wordAt(at), word) << at;
}
