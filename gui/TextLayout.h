#pragma once
// Line layout for the text control, done with FreeType rather than SDL_ttf so
// that every character has a known rectangle: hit tests, words, lines, the
// selection and the caret all work from the same glyph entries. Kerning, tabs,
// line feeds, the password mask and word wrap are applied here.
//
// Positions are window pixels; scrolling is the caller's business.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <utility>
#include <vector>

// One laid-out character: pen position plus bitmap offset, baseline, and the
// code point actually shown (the mask character in password mode).
struct TextGlyph {
    int x = 0;
    int y = 0;  // baseline
    int width = 0;
    char32_t codePoint = 0;
};

class TextLayout {
public:
    static constexpr int Margin = 5;  // left and top padding before the first glyph

    struct Style {
        bool password = false;  // every character shows as a bullet (or '*'), on one line
        bool wordWrap = false;  // lines break at the box's right edge
    };

    // Lays `chars` out in a box at (x, y) of width w. A null face gives every
    // glyph width 0 and a line height of 16.
    void layOut(FT_Face face, const std::u32string& chars, int x, int y, int w, Style style);

    const std::vector<TextGlyph>& glyphs() const { return laidOut; }
    int ascender() const { return ascent; }
    int lineHeight() const { return lineStep; }
    // Top of the line band of a baseline.
    int lineTop(int baseline) const { return baseline - ascent - 3; }
    // Lines down from the first one to `baseline`.
    int lineIndex(int baseline) const { return (baseline - firstBaseline) / lineStep; }
    // Extent of the text including the margins and room for the caret behind the last glyph.
    int contentWidth() const;
    int contentHeight() const;

    // Character index for a point: the glyph whose middle lies right of it on
    // the line under it; past a line's end the index behind it; the text's end below all lines.
    int charIndexAt(int px, int py) const;
    // The word around character `index` as [first, last); empty on a separator.
    std::pair<int, int> wordAt(int index) const;
    // Where Home and End take a caret standing at `index`.
    int lineHome(int index) const;
    int lineEnd(int index) const;
    // Caret place for character `index` (behind the last glyph at the end): x and baseline.
    std::pair<int, int> caretPlace(int index) const;
    // The character on the line `lines` lines away from the caret at `index`
    // whose x is nearest the caret's, or -1 when there is no such line.
    int lineAway(int index, int lines) const;

private:
    // The visual line [first, last) of glyphs that holds glyph `index`.
    std::pair<int, int> lineAround(int index) const;

    std::vector<TextGlyph> laidOut;
    int charCount = 0;
    int left = 0;  // the box's x
    int firstBaseline = 0;
    int ascent = 0;
    int lineStep = 16;
};
