// TextLayout: glyph placement with FreeType, then the queries on the result.
//
// [SECTION] Layout
// [SECTION] Positions: hit tests, words, lines

#include "gui/TextLayout.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int TabWidth = 40;
constexpr char32_t Bullet = 0x2022;

bool isSeparator(char32_t cp)
{
    return cp < 32 || (cp < 128 && std::strchr(" !\"'(),-.:;?", int(cp)) != nullptr);
}

struct GlyphMetrics {
    int left = 0;     // bitmap offset from the pen
    int advance = 0;  // pen advance in whole pixels
    int bitmapWidth = 0;
};

// Missing and unloadable glyphs take no room and are not drawn.
GlyphMetrics loadMetrics(FT_Face face, FT_UInt index)
{
    GlyphMetrics m;
    if (!face || index == 0 || FT_Load_Glyph(face, index, FT_LOAD_RENDER) != 0)
        return m;
    m.left = face->glyph->bitmap_left;
    m.advance = int(face->glyph->advance.x >> 6);
    m.bitmapWidth = int(face->glyph->bitmap.width);
    return m;
}

} // namespace

// [SECTION] Layout

void TextLayout::layOut(FT_Face face, const std::u32string& chars, int x, int y, int w, Style style)
{
    laidOut.clear();
    charCount = int(chars.size());
    const bool sized = face && face->size;
    ascent = sized ? int(face->size->metrics.ascender >> 6) : 0;
    lineStep = sized ? int(face->size->metrics.height >> 6) : 0;
    if (lineStep <= 0)
        lineStep = 16;
    left = x;
    firstBaseline = y + Margin + ascent;

    const int start = x + Margin;
    const int wrapLimit = start + std::max(1, w - 22);
    const bool kerning = face && FT_HAS_KERNING(face);
    char32_t mask = '*';
    if (style.password && face && FT_Get_Char_Index(face, Bullet) != 0)
        mask = Bullet;

    int pen = start;
    int baseline = firstBaseline;
    size_t lineStart = 0;
    // The first glyph after the last space or tab of this line, and the pen there.
    size_t breakAt = SIZE_MAX;
    int breakPen = start;
    FT_UInt previous = 0;  // glyph before the pen for kerning; 0 after a space, tab or line feed

    for (char32_t original : chars) {
        const char32_t cp = style.password ? mask : original;
        if (cp == '\n') {
            laidOut.push_back(TextGlyph{pen, baseline, 0, cp});
            baseline += lineStep;
            pen = start;
            lineStart = laidOut.size();
            breakAt = SIZE_MAX;
            previous = 0;
            continue;
        }
        if (cp == '\t') {
            laidOut.push_back(TextGlyph{pen, baseline, TabWidth, cp});
            pen += TabWidth;
            breakAt = laidOut.size();
            breakPen = pen;
            previous = 0;
            continue;
        }
        const FT_UInt index = face ? FT_Get_Char_Index(face, cp) : 0;
        if (kerning && previous && index && cp != ' ') {
            FT_Vector delta{0, 0};
            if (FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &delta) == 0)
                pen += int(delta.x >> 6);
        }
        const GlyphMetrics m = loadMetrics(face, index);
        TextGlyph g{pen + m.left, baseline, std::max(m.advance, m.bitmapWidth), cp};
        if (style.wordWrap && cp != ' ' && g.x + g.width > wrapLimit && laidOut.size() > lineStart) {
            if (breakAt != SIZE_MAX && breakAt > lineStart && breakAt < laidOut.size()) {
                // Carry the word begun after the last break down to a new line.
                const int shift = breakPen - start;
                for (size_t k = breakAt; k < laidOut.size(); ++k) {
                    laidOut[k].x -= shift;
                    laidOut[k].y += lineStep;
                }
                pen -= shift;
                g.x -= shift;
                baseline += lineStep;
                g.y = baseline;
                lineStart = breakAt;
                breakAt = SIZE_MAX;
            }
            if (g.x + g.width > wrapLimit && laidOut.size() > lineStart) {
                // No break left on this line: the word itself is split here.
                baseline += lineStep;
                pen = start;
                g.x = pen + m.left;
                g.y = baseline;
                lineStart = laidOut.size();
                breakAt = SIZE_MAX;
            }
        }
        laidOut.push_back(g);
        pen += m.advance;
        if (cp == ' ') {
            breakAt = laidOut.size();
            breakPen = pen;
            previous = 0;
        } else {
            previous = index;
        }
    }

    // A final line feed opens an empty line; this entry gives the caret a place on it.
    if (!style.password && !chars.empty() && chars.back() == '\n') {
        const GlyphMetrics m = loadMetrics(face, face ? FT_Get_Char_Index(face, ' ') : 0);
        laidOut.push_back(TextGlyph{pen, baseline, m.advance, ' '});
    }
}

int TextLayout::contentWidth() const
{
    int right = left + Margin;
    for (const TextGlyph& g : laidOut)
        right = std::max(right, g.x + g.width);
    // Room for the caret behind the last glyph and the same margin as on the left.
    return right + 2 + Margin - left;
}

int TextLayout::contentHeight() const
{
    int lines = 1;
    if (!laidOut.empty())
        lines = (laidOut.back().y - laidOut.front().y) / lineStep + 1;
    return lines * lineStep + Margin;
}

// [SECTION] Positions: hit tests, words, lines

int TextLayout::charIndexAt(int px, int py) const
{
    for (size_t a = 0; a < laidOut.size();) {
        size_t b = a;
        while (b < laidOut.size() && laidOut[b].y == laidOut[a].y)
            ++b;
        const int top = lineTop(laidOut[a].y);
        if (py >= top && py < top + lineStep) {
            for (size_t i = a; i < b; ++i) {
                const int middle =
                    i + 1 < b ? (laidOut[i].x + laidOut[i + 1].x) / 2 : laidOut[i].x + laidOut[i].width / 2;
                if (middle > px)
                    return std::min(int(i), charCount);
            }
            if (laidOut[b - 1].codePoint == '\n')
                return int(b - 1);
            return std::min(int(b), charCount);
        }
        a = b;
    }
    return charCount;
}

std::pair<int, int> TextLayout::wordAt(int index) const
{
    if (index < 0 || index >= charCount || isSeparator(laidOut[size_t(index)].codePoint))
        return {std::clamp(index, 0, charCount), std::clamp(index, 0, charCount)};
    int first = index, last = index;
    while (first > 0 && !isSeparator(laidOut[size_t(first - 1)].codePoint))
        --first;
    while (last < charCount && !isSeparator(laidOut[size_t(last)].codePoint))
        ++last;
    return {first, last};
}

std::pair<int, int> TextLayout::lineAround(int index) const
{
    if (laidOut.empty())
        return {0, 0};
    const size_t at = std::min(size_t(std::max(index, 0)), laidOut.size() - 1);
    size_t a = at, b = at + 1;
    while (a > 0 && laidOut[a - 1].y == laidOut[at].y)
        --a;
    while (b < laidOut.size() && laidOut[b].y == laidOut[at].y)
        ++b;
    return {int(a), int(b)};
}

int TextLayout::lineHome(int index) const { return lineAround(index).first; }

int TextLayout::lineEnd(int index) const
{
    const auto [first, last] = lineAround(index);
    if (last > first && laidOut[size_t(last - 1)].codePoint == '\n')
        return last - 1;
    if (last < charCount)
        return last - 1;  // a wrapped line: stay in front of its last glyph
    return last;
}

std::pair<int, int> TextLayout::caretPlace(int index) const
{
    if (laidOut.empty())
        return {left + Margin, firstBaseline};
    if (index >= 0 && size_t(index) < laidOut.size())
        return {laidOut[size_t(index)].x, laidOut[size_t(index)].y};
    return {laidOut.back().x + laidOut.back().width, laidOut.back().y};
}

int TextLayout::lineAway(int index, int lines) const
{
    const auto [cx, baseline] = caretPlace(index);
    const int target = baseline + lines * lineStep;
    int best = -1, bestDistance = 0;
    for (size_t i = 0; i < laidOut.size(); ++i) {
        if (std::abs(laidOut[i].y - target) > 2)
            continue;
        const int distance = std::abs(laidOut[i].x - cx);
        if (best < 0 || distance < bestDistance) {
            best = int(i);
            bestDistance = distance;
        }
    }
    // The end of the last line is a place too, or Down could never reach it.
    if (!laidOut.empty() && std::abs(laidOut.back().y - target) <= 2 && laidOut.back().codePoint != '\n' &&
        int(laidOut.size()) == charCount) {
        const int endX = laidOut.back().x + laidOut.back().width;
        if (best < 0 || std::abs(endX - cx) < bestDistance)
            best = charCount;
    }
    return best;
}
