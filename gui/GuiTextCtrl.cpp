// GuiTextCtrl: FreeType layout, editing, input handling, scrolling and drawing.
//
// [SECTION] UTF-8 helpers
// [SECTION] Construction and slots
// [SECTION] Layout
// [SECTION] Positions: hit tests, words, lines
// [SECTION] Editing and selection
// [SECTION] Scrolling
// [SECTION] Events: mouse
// [SECTION] Events: keyboard and text input
// [SECTION] Tick: focus and blink
// [SECTION] Drawing

#include "gui/GuiTextCtrl.h"

#include "gui/GuiEngine.h"
#include "gui/GuiMessages.h"
#include "gui/GuiWindow.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int Margin = 5;          // left and top padding before the first glyph
constexpr int BarThickness = 12;
constexpr int TabWidth = 40;
constexpr Uint32 DoubleClickMs = 399;
constexpr int DoubleClickSlop = 3;
constexpr Sint32 FocusDebounceMs = 49;
constexpr Sint32 BlinkHoldMs = 999;  // the caret stays solid this long after any action
constexpr Sint32 BlinkHalfPeriodMs = 499;
constexpr char32_t Bullet = 0x2022;
constexpr char32_t Replacement = 0xFFFD;

// [SECTION] UTF-8 helpers

// Length of the well-formed UTF-8 sequence at pos, or 0 when there is none
// (stray continuation byte, overlong form, surrogate, truncated sequence).
size_t sequenceLength(std::string_view s, size_t pos)
{
    const unsigned char b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80)
        return 1;
    size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        if (b0 == 0xE0)
            lo = 0xA0;
        if (b0 == 0xED)
            hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        if (b0 == 0xF0)
            lo = 0x90;
        if (b0 == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (pos + len > s.size())
        return 0;
    const unsigned char b1 = static_cast<unsigned char>(s[pos + 1]);
    if (b1 < lo || b1 > hi)
        return 0;
    for (size_t i = 2; i < len; ++i)
        if ((static_cast<unsigned char>(s[pos + i]) & 0xC0) != 0x80)
            return 0;
    return len;
}

char32_t decodeSequence(std::string_view s, size_t pos, size_t len)
{
    const unsigned char b0 = static_cast<unsigned char>(s[pos]);
    if (len == 1)
        return b0;
    char32_t cp = b0 & (0xFF >> (len + 1));
    for (size_t i = 1; i < len; ++i)
        cp = (cp << 6) | (static_cast<unsigned char>(s[pos + i]) & 0x3F);
    return cp;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Every byte of `value` must belong to exactly one character, or inserting
// next to a stray byte could fuse two characters and shift every index after it.
std::string sanitizeUtf8(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t pos = 0; pos < s.size();) {
        const size_t len = sequenceLength(s, pos);
        if (len == 0) {
            appendUtf8(out, Replacement);
            ++pos;
        } else {
            out.append(s.substr(pos, len));
            pos += len;
        }
    }
    return out;
}

int countChars(std::string_view s)
{
    int n = 0;
    for (size_t pos = 0; pos < s.size(); ++n)
        pos += std::max<size_t>(1, sequenceLength(s, pos));
    return n;
}

bool isSeparator(char32_t cp)
{
    return cp < 32 || (cp < 128 && std::strchr(" !\"'(),-.:;?", int(cp)) != nullptr);
}

int roundUpTo(int v, int step)
{
    return v <= 0 ? 0 : (v + step - 1) / step * step;
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

// Source-over of one grey coverage bitmap in a single colour onto straight-alpha ABGR pixels.
void blendCoverage(SDL_Surface* surface, const FT_Bitmap& bitmap, int left, int top, Uint8 shade)
{
    if (bitmap.pitch <= 0)
        return;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const int sy = top + int(row);
        if (sy < 0 || sy >= surface->h)
            continue;
        const unsigned char* src = bitmap.buffer + size_t(row) * size_t(bitmap.pitch);
        Uint8* dstRow = static_cast<Uint8*>(surface->pixels) + size_t(sy) * size_t(surface->pitch);
        for (unsigned col = 0; col < bitmap.width; ++col) {
            const int sx = left + int(col);
            const unsigned a = src[col];
            if (sx < 0 || sx >= surface->w || a == 0)
                continue;
            Uint32* px = reinterpret_cast<Uint32*>(dstRow) + sx;
            Uint8 r, g, b, da;
            SDL_GetRGBA(*px, surface->format, &r, &g, &b, &da);
            const unsigned outA = a + da * (255 - a) / 255;
            const auto mix = [&](unsigned dst) {
                return Uint8((shade * a + dst * da * (255 - a) / 255) / std::max(outA, 1u));
            };
            *px = SDL_MapRGBA(surface->format, mix(r), mix(g), mix(b), Uint8(outA));
        }
    }
}

} // namespace

std::string utf8ForDisplay(std::string_view text)
{
    return sanitizeUtf8(text);
}

// [SECTION] Construction and slots

GuiTextCtrl::GuiTextCtrl(GuiObject* parent_, int id_, int x_, int y_, int w_, int h_, Uint32 colour_, FT_Face face_,
                         Uint32 style)
    : GuiObject(parent_, id_, x_, y_, w_, h_, colour_), face(face_)
{
    password = style & TextStyle::Password;
    multiLine = (style & TextStyle::MultiLine) && !password;
    readOnly = style & TextStyle::ReadOnly;
    wordWrap = multiLine && (style & TextStyle::WordWrap);
    vScrollBar.orientation = ScrollBar::Vertical;
    hScrollBar.orientation = ScrollBar::Horizontal;
    const Uint32 now = SDL_GetTicks();
    blinkStart = lastBlink = lastTickTime = now;
    if (face)
        for (int i = 0; i < face->num_charmaps; ++i)
            guiDebug("Charmap %d: platform_id = %d, encoding_id = %d\n", i, face->charmaps[i]->platform_id,
                   face->charmaps[i]->encoding_id);
    relayout();
}

bool GuiTextCtrl::getValue(std::string& out)
{
    out = value;
    return true;
}

bool GuiTextCtrl::setValue(const std::string& newValue)
{
    setText(newValue);
    return true;
}

bool GuiTextCtrl::wantsWheel() { return multiLine; }

bool GuiTextCtrl::isCacheable() { return true; }

const char* GuiTextCtrl::className() { return "GuiTextCtrl"; }

void GuiTextCtrl::resize(SDL_Renderer* renderer, int newW, int newH)
{
    GuiObject::resize(renderer, newW, newH);
    relayout();
}

void GuiTextCtrl::focusLost(GuiObject*)
{
    clearSelection();
    mouseSelecting = false;
    markDirty();
}

void GuiTextCtrl::layout() { relayout(); }

void GuiTextCtrl::setText(const std::string& newValue)
{
    value = sanitizeUtf8(newValue);
    clearSelection();
    relayout();
    cursor = Uint32(charCount());
    ensureCursorVisible();
}

std::string GuiTextCtrl::selectedText() const
{
    if (selStartByte < 0 || selEndByte < 0)
        return std::string();
    const size_t lo = size_t(std::min(selStartByte, selEndByte));
    const size_t hi = std::min(size_t(std::max(selStartByte, selEndByte)), value.size());
    return lo < hi ? value.substr(lo, hi - lo) : std::string();
}

// [SECTION] Layout

void GuiTextCtrl::relayout()
{
    layoutText();
    cursor = std::min<Uint32>(cursor, Uint32(charCount()));
    if (selStart > charCount() || selEnd > charCount())
        clearSelection();
    updateScrollBars();
    markDirty();
}

void GuiTextCtrl::layoutText()
{
    laidOutX = x;
    laidOutY = y;
    glyphs.clear();
    charBytes.clear();
    std::vector<char32_t> codePoints;
    for (size_t pos = 0; pos < value.size();) {
        const size_t len = sequenceLength(value, pos);
        charBytes.push_back(int(pos));
        codePoints.push_back(len ? decodeSequence(value, pos, len) : Replacement);
        pos += std::max<size_t>(len, 1);
    }
    charBytes.push_back(int(value.size()));

    const bool sized = face && face->size;
    ascender = sized ? int(face->size->metrics.ascender >> 6) : 0;
    lineStep = sized ? int(face->size->metrics.height >> 6) : 0;
    if (lineStep <= 0)
        lineStep = 16;

    const int left = x + Margin;
    const int wrapLimit = left + std::max(1, w - 22);
    const bool kerning = face && FT_HAS_KERNING(face);
    char32_t mask = '*';
    if (password && face && FT_Get_Char_Index(face, Bullet) != 0)
        mask = Bullet;

    int pen = left;
    int baseline = y + Margin + ascender;
    size_t lineStart = 0;
    // The first glyph after the last space or tab of this line, and the pen there.
    size_t breakAt = SIZE_MAX;
    int breakPen = left;
    FT_UInt previous = 0;  // glyph before the pen for kerning; 0 after a space, tab or line feed

    for (char32_t original : codePoints) {
        const char32_t cp = password ? mask : original;
        if (cp == '\n') {
            glyphs.push_back(TextGlyph{pen, baseline, 0, cp});
            baseline += lineStep;
            pen = left;
            lineStart = glyphs.size();
            breakAt = SIZE_MAX;
            previous = 0;
            continue;
        }
        if (cp == '\t') {
            glyphs.push_back(TextGlyph{pen, baseline, TabWidth, cp});
            pen += TabWidth;
            breakAt = glyphs.size();
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
        if (wordWrap && cp != ' ' && g.x + g.width > wrapLimit && glyphs.size() > lineStart) {
            if (breakAt != SIZE_MAX && breakAt > lineStart && breakAt < glyphs.size()) {
                // Carry the word begun after the last break down to a new line.
                const int shift = breakPen - left;
                for (size_t k = breakAt; k < glyphs.size(); ++k) {
                    glyphs[k].x -= shift;
                    glyphs[k].y += lineStep;
                }
                pen -= shift;
                g.x -= shift;
                baseline += lineStep;
                g.y = baseline;
                lineStart = breakAt;
                breakAt = SIZE_MAX;
            }
            if (g.x + g.width > wrapLimit && glyphs.size() > lineStart) {
                // No break left on this line: the word itself is split here.
                baseline += lineStep;
                pen = left;
                g.x = pen + m.left;
                g.y = baseline;
                lineStart = glyphs.size();
                breakAt = SIZE_MAX;
            }
        }
        glyphs.push_back(g);
        pen += m.advance;
        if (cp == ' ') {
            breakAt = glyphs.size();
            breakPen = pen;
            previous = 0;
        } else {
            previous = index;
        }
    }

    // A final line feed opens an empty line; this entry gives the caret a place on it.
    if (!password && !codePoints.empty() && codePoints.back() == '\n') {
        const GlyphMetrics m = loadMetrics(face, face ? FT_Get_Char_Index(face, ' ') : 0);
        glyphs.push_back(TextGlyph{pen, baseline, m.advance, ' '});
    }
}

int GuiTextCtrl::contentWidthPx() const
{
    int right = x + Margin;
    for (const TextGlyph& g : glyphs)
        right = std::max(right, g.x + g.width);
    // Room for the caret behind the last glyph and the same margin as on the left.
    return right + 2 + Margin - x;
}

int GuiTextCtrl::contentHeightPx() const
{
    int lines = 1;
    if (!glyphs.empty())
        lines = (glyphs.back().y - glyphs.front().y) / lineStep + 1;
    return lines * lineStep + Margin;
}

// [SECTION] Positions: hit tests, words, lines

int GuiTextCtrl::byteOffset(int index) const
{
    return charBytes[size_t(std::clamp(index, 0, charCount()))];
}

int GuiTextCtrl::charIndexAt(int px, int py) const
{
    px += scrollX;
    py += scrollY;
    const int count = charCount();
    for (size_t a = 0; a < glyphs.size();) {
        size_t b = a;
        while (b < glyphs.size() && glyphs[b].y == glyphs[a].y)
            ++b;
        const int top = lineTop(glyphs[a].y);
        if (py >= top && py < top + lineStep) {
            for (size_t i = a; i < b; ++i) {
                const int middle = i + 1 < b ? (glyphs[i].x + glyphs[i + 1].x) / 2 : glyphs[i].x + glyphs[i].width / 2;
                if (middle > px)
                    return std::min(int(i), count);
            }
            if (glyphs[b - 1].codePoint == '\n')
                return int(b - 1);
            return std::min(int(b), count);
        }
        a = b;
    }
    return count;
}

std::pair<int, int> GuiTextCtrl::wordAt(int index) const
{
    const int count = charCount();
    if (index < 0 || index >= count || isSeparator(glyphs[size_t(index)].codePoint))
        return {std::clamp(index, 0, count), std::clamp(index, 0, count)};
    int first = index, last = index;
    while (first > 0 && !isSeparator(glyphs[size_t(first - 1)].codePoint))
        --first;
    while (last < count && !isSeparator(glyphs[size_t(last)].codePoint))
        ++last;
    return {first, last};
}

std::pair<int, int> GuiTextCtrl::lineAround(int index) const
{
    if (glyphs.empty())
        return {0, 0};
    const size_t at = std::min(size_t(std::max(index, 0)), glyphs.size() - 1);
    size_t a = at, b = at + 1;
    while (a > 0 && glyphs[a - 1].y == glyphs[at].y)
        --a;
    while (b < glyphs.size() && glyphs[b].y == glyphs[at].y)
        ++b;
    return {int(a), int(b)};
}

void GuiTextCtrl::cursorPoint(int& px, int& baseline) const
{
    if (glyphs.empty()) {
        px = x + Margin;
        baseline = y + Margin + ascender;
    } else if (cursor < glyphs.size()) {
        px = glyphs[cursor].x;
        baseline = glyphs[cursor].y;
    } else {
        px = glyphs.back().x + glyphs.back().width;
        baseline = glyphs.back().y;
    }
}

// [SECTION] Editing and selection

void GuiTextCtrl::setSelection(int anchor, int end)
{
    anchor = std::clamp(anchor, 0, charCount());
    end = std::clamp(end, 0, charCount());
    selStart = anchor;
    selEnd = end;
    selStartByte = byteOffset(anchor);
    selEndByte = byteOffset(end);
    markDirty();
}

void GuiTextCtrl::clearSelection()
{
    selStart = selEnd = -1;
    selStartByte = selEndByte = -1;
    wordSelecting = false;
}

bool GuiTextCtrl::deleteSelection()
{
    if (!hasSelection()) {
        clearSelection();
        return false;
    }
    return eraseChars(std::min(selStart, selEnd), std::max(selStart, selEnd));
}

bool GuiTextCtrl::eraseChars(int first, int last)
{
    first = std::clamp(first, 0, charCount());
    last = std::clamp(last, first, charCount());
    clearSelection();
    if (first == last)
        return false;
    value.erase(size_t(byteOffset(first)), size_t(byteOffset(last) - byteOffset(first)));
    cursor = Uint32(first);
    relayout();
    ensureCursorVisible();
    return true;
}

bool GuiTextCtrl::insertText(std::string_view text)
{
    std::string clean = sanitizeUtf8(text);
    if (!multiLine)
        std::replace_if(clean.begin(), clean.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    bool changed = deleteSelection();
    if (!clean.empty()) {
        value.insert(size_t(byteOffset(int(cursor))), clean);
        cursor += Uint32(countChars(clean));
        relayout();
        changed = true;
    }
    clearSelection();
    ensureCursorVisible();
    return changed;
}

void GuiTextCtrl::moveCursor(int newCursor, bool extend)
{
    newCursor = std::clamp(newCursor, 0, charCount());
    if (extend) {
        const int anchor = selStart >= 0 ? selStart : int(cursor);
        cursor = Uint32(newCursor);
        setSelection(anchor, newCursor);
    } else {
        cursor = Uint32(newCursor);
        clearSelection();
    }
    ensureCursorVisible();
}

// Moves the caret to the glyph nearest its x on the line `lines` lines away;
// false when there is no such line.
bool GuiTextCtrl::moveVertical(int lines, bool extend)
{
    int cx = 0, baseline = 0;
    cursorPoint(cx, baseline);
    const int target = baseline + lines * lineStep;
    int best = -1, bestDistance = 0;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        if (std::abs(glyphs[i].y - target) > 2)
            continue;
        const int distance = std::abs(glyphs[i].x - cx);
        if (best < 0 || distance < bestDistance) {
            best = int(i);
            bestDistance = distance;
        }
    }
    // The end of the last line is a place too, or Down could never reach it.
    if (!glyphs.empty() && std::abs(glyphs.back().y - target) <= 2 && glyphs.back().codePoint != '\n' &&
        int(glyphs.size()) == charCount()) {
        const int endX = glyphs.back().x + glyphs.back().width;
        if (best < 0 || std::abs(endX - cx) < bestDistance)
            best = charCount();
    }
    if (best < 0) {
        if (!extend)
            clearSelection();
        return false;
    }
    moveCursor(best, extend);
    return true;
}

// [SECTION] Scrolling

SDL_Rect GuiTextCtrl::textArea() const
{
    return SDL_Rect{x, y, w - (vScrollBar.visible ? BarThickness : 0), h - (hScrollBar.visible ? BarThickness : 0)};
}

int GuiTextCtrl::maxScrollX() const
{
    return std::max(0, contentWidthPx() - textArea().w);
}

int GuiTextCtrl::maxScrollY() const
{
    // Whole lines: the last line must fit completely once scrolled to the end.
    return roundUpTo(contentHeightPx() - Margin + 2 - textArea().h, lineStep);
}

int GuiTextCtrl::scrollContentHeight() const
{
    // The bar's range ends exactly at the last whole-line offset, so a thumb
    // dragged to the bottom shows the last line complete.
    return maxScrollY() + textArea().h;
}

void GuiTextCtrl::clampScroll()
{
    scrollX = std::clamp(scrollX, 0, maxScrollX());
    scrollY = std::clamp(scrollY, 0, maxScrollY());
    scrollY -= scrollY % lineStep;
}

void GuiTextCtrl::updateScrollBars()
{
    if (!multiLine) {
        vScrollBar.visible = hScrollBar.visible = false;
        clampScroll();
        return;
    }
    const int contentW = contentWidthPx();
    const int contentH = contentHeightPx();
    bool needV = contentH > h;
    bool needH = !wordWrap && contentW > w - (needV ? BarThickness : 0);
    if (needH && !needV)
        needV = contentH > h - BarThickness;
    vScrollBar.visible = needV;
    hScrollBar.visible = needH;
    if (!needV)
        vScrollBar.dragging = false;
    if (!needH)
        hScrollBar.dragging = false;
    clampScroll();
    const SDL_Rect area = textArea();
    if (needV)
        scrollBarUpdate(vScrollBar, x + w - BarThickness, y, BarThickness, area.h, scrollContentHeight(), area.h,
                        scrollY, -1);
    if (needH)
        scrollBarUpdate(hScrollBar, x, y + h - BarThickness, area.w, BarThickness, contentW, area.w, scrollX, -1);
}

void GuiTextCtrl::scrollBy(int dx, int dy)
{
    scrollX += dx;
    scrollY += dy;
    clampScroll();
    updateScrollBars();
    markDirty();
}

void GuiTextCtrl::ensureCursorVisible()
{
    const SDL_Rect area = textArea();
    int cx = 0, baseline = 0;
    cursorPoint(cx, baseline);
    // Scrolling left keeps a margin of text before the caret, and reaches 0 at the first glyph.
    if (cx - scrollX < area.x + Margin)
        scrollX = cx - area.x - 2 * Margin;
    else if (cx + 2 - scrollX > area.x + area.w - Margin)
        scrollX = cx + 2 - (area.x + area.w - Margin);
    const int line = (baseline - (y + Margin + ascender)) / lineStep;
    if (line * lineStep < scrollY)
        scrollY = line * lineStep;
    else
        scrollY = std::max(scrollY, roundUpTo((line + 1) * lineStep + 2 - area.h, lineStep));
    clampScroll();
    updateScrollBars();
    markDirty();
}

// [SECTION] Events: mouse

Uint32 GuiTextCtrl::eventTime(const SDL_Event& sdl) const
{
    // Synthetic events carry no time stamp; the last frame's time is close enough.
    return sdl.common.timestamp ? sdl.common.timestamp : lastTickTime;
}

void GuiTextCtrl::restartBlink(Uint32 now)
{
    blinkStart = lastBlink = now;
    cursorVisible = true;
}

void GuiTextCtrl::handleMouseDown(const SDL_Event& sdl)
{
    if (sdl.button.button != SDL_BUTTON_LEFT)
        return;
    const int px = sdl.button.x, py = sdl.button.y;
    if (multiLine) {
        for (ScrollBar* bar : {&vScrollBar, &hScrollBar}) {
            if (!bar->visible || !scrollBarTrackHit(*bar, px, py))
                continue;
            const bool vertical = bar == &vScrollBar;
            const int along = vertical ? py : px;
            if (scrollBarThumbHit(*bar, px, py)) {
                scrollBarBeginDrag(*bar, along);
            } else if (vertical) {
                const int page = std::max(lineStep, (textArea().h - lineStep) / lineStep * lineStep);
                scrollY = scrollBarPageStep(*bar, along, scrollY, page);
            } else {
                scrollX = scrollBarPageStep(*bar, along, scrollX, std::max(1, textArea().w - WheelSideStep));
            }
            clampScroll();
            updateScrollBars();
            markDirty();
            return;
        }
    }

    const Uint32 now = eventTime(sdl);
    const bool doubleClick = haveLastClick && Sint32(now - lastClickTime) >= 0 &&
                             now - lastClickTime <= DoubleClickMs && std::abs(px - lastClickX) <= DoubleClickSlop &&
                             std::abs(py - lastClickY) <= DoubleClickSlop;
    haveLastClick = true;
    lastClickTime = now;
    lastClickX = px;
    lastClickY = py;
    if (doubleClick) {
        const auto [first, last] = wordAt(charIndexAt(px, py));
        cursor = Uint32(last);
        setSelection(first, last);
        wordSelecting = true;
        mouseSelecting = false;
    } else {
        const int at = charIndexAt(px, py);
        cursor = Uint32(at);
        setSelection(at, at);
        wordSelecting = false;
        mouseSelecting = true;
    }
    restartBlink(now);
    markDirty();
}

void GuiTextCtrl::handleMouseMotion(const SDL_Event& sdl)
{
    const int px = sdl.motion.x, py = sdl.motion.y;
    if (vScrollBar.dragging || hScrollBar.dragging) {
        const SDL_Rect area = textArea();
        if (vScrollBar.dragging) {
            scrollY = scrollBarDragPosition(vScrollBar, py, scrollContentHeight(), area.h);
            scrollY -= scrollY % lineStep;
        } else {
            scrollX = scrollBarDragPosition(hScrollBar, px, contentWidthPx(), area.w);
        }
        clampScroll();
        updateScrollBars();
        markDirty();
        return;
    }
    if (!(sdl.motion.state & SDL_BUTTON_LMASK) || !focused || !mouseSelecting)
        return;
    // Dragging past an edge pulls more text into view.
    const SDL_Rect area = textArea();
    int dx = 0, dy = 0;
    if (px < area.x)
        dx = px - area.x;
    else if (px >= area.x + area.w)
        dx = px - (area.x + area.w) + 1;
    if (py < area.y)
        dy = -lineStep;
    else if (py >= area.y + area.h)
        dy = lineStep;
    if (dx || dy)
        scrollBy(dx, dy);
    const int at = charIndexAt(px, py);
    const int anchor = selStart >= 0 ? selStart : int(cursor);
    cursor = Uint32(at);
    setSelection(anchor, at);
    restartBlink(eventTime(sdl));
    markDirty();
}

void GuiTextCtrl::handleWheel(const SDL_Event& sdl)
{
    if (!multiLine)
        return;
    const WheelSteps steps = wheelSteps(sdl.wheel, (SDL_GetModState() & KMOD_SHIFT) != 0);
    scrollBy(-WheelSideStep * steps.x, -steps.y * lineStep);
}

void GuiTextCtrl::handleEvent(GuiEvent& event)
{
    if (event.kind != GuiEvent::SdlInput || !event.sdlEvent)
        return;
    // A window move shifts the control without a new layout.
    if (x != laidOutX || y != laidOutY)
        relayout();
    const SDL_Event& sdl = *event.sdlEvent;
    bool changed = false;
    switch (sdl.type) {
    case SDL_MOUSEBUTTONDOWN:
        handleMouseDown(sdl);
        break;
    case SDL_MOUSEBUTTONUP:
        if (sdl.button.button == SDL_BUTTON_LEFT) {
            vScrollBar.dragging = hScrollBar.dragging = false;
            mouseSelecting = false;
        }
        break;
    case SDL_MOUSEMOTION:
        handleMouseMotion(sdl);
        break;
    case SDL_MOUSEWHEEL:
        handleWheel(sdl);
        break;
    case SDL_KEYDOWN:
        changed = handleKey(sdl);
        break;
    case SDL_TEXTINPUT:
        changed = handleTextInput(sdl);
        break;
    default:
        break;
    }
    if (changed && onChange)
        onChange();
}

// [SECTION] Events: keyboard and text input

bool GuiTextCtrl::copySelection()
{
    // A password never leaves its field.
    if (password || !hasSelection())
        return false;
    SDL_SetClipboardText(selectedText().c_str());
    return true;
}

bool GuiTextCtrl::paste()
{
    if (readOnly || !SDL_HasClipboardText())
        return false;
    char* clip = SDL_GetClipboardText();
    if (!clip)
        return false;
    const std::string text = clip;
    SDL_free(clip);
    if (text.empty())
        return false;
    return insertText(text);
}

bool GuiTextCtrl::handleControlKey(SDL_Keycode key)
{
    switch (key) {
    case SDLK_v:
        return paste();
    case SDLK_c:
        copySelection();
        return false;
    case SDLK_x:
        return !readOnly && copySelection() && deleteSelection();
    case SDLK_a:
        cursor = Uint32(charCount());
        setSelection(0, charCount());
        return false;
    case SDLK_HOME:
        ensureCursorVisible();
        return false;
    case SDLK_END:
        scrollX = scrollY = 0;
        updateScrollBars();
        return false;
    case SDLK_LEFT:
        scrollBy(-1, 0);
        return false;
    case SDLK_RIGHT:
        scrollBy(1, 0);
        return false;
    case SDLK_UP:
        scrollBy(0, -lineStep);
        return false;
    case SDLK_DOWN:
        scrollBy(0, lineStep);
        return false;
    default:
        return false;
    }
}

bool GuiTextCtrl::handleKey(const SDL_Event& sdl)
{
    if (!focused)
        return false;
    const SDL_Keycode key = sdl.key.keysym.sym;
    const Uint16 mod = sdl.key.keysym.mod;
    const bool shift = mod & KMOD_SHIFT;
    restartBlink(eventTime(sdl));
    markDirty();
    if (mod & KMOD_CTRL)
        return handleControlKey(key);

    const int page = std::max(1, (h - 40) / lineStep);
    switch (key) {
    case SDLK_HOME:
        moveCursor(lineAround(int(cursor)).first, shift);
        return false;
    case SDLK_END: {
        const auto [first, last] = lineAround(int(cursor));
        int end = last;
        if (last > first && glyphs[size_t(last - 1)].codePoint == '\n')
            end = last - 1;
        else if (last < charCount())
            end = last - 1;  // a wrapped line: stay in front of its last glyph
        moveCursor(end, shift);
        return false;
    }
    case SDLK_LEFT:
        moveCursor(int(cursor) - 1, shift);
        return false;
    case SDLK_RIGHT:
        moveCursor(int(cursor) + 1, shift);
        return false;
    case SDLK_UP:
        moveVertical(-1, shift);
        return false;
    case SDLK_DOWN:
        moveVertical(1, shift);
        return false;
    case SDLK_PAGEUP:
        for (int i = 0; i < page && moveVertical(-1, shift); ++i) {
        }
        return false;
    case SDLK_PAGEDOWN:
        for (int i = 0; i < page && moveVertical(1, shift); ++i) {
        }
        return false;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return multiLine && !readOnly && insertText("\n");
    case SDLK_BACKSPACE:
        if (readOnly)
            return false;
        if (deleteSelection())
            return true;
        return cursor > 0 && eraseChars(int(cursor) - 1, int(cursor));
    case SDLK_DELETE:
        if (readOnly)
            return false;
        if (deleteSelection())
            return true;
        return eraseChars(int(cursor), int(cursor) + 1);
    case SDLK_SCROLLLOCK:
        printState();
        return false;
    default:
        return false;
    }
}

void GuiTextCtrl::printState() const
{
    guiDebug("CursorIndex %ld   SelIndex %d:%d   SelByte %d:%d   ", long(cursor), selStart, selEnd, selStartByte,
           selEndByte);
    if (cursor < glyphs.size())
        guiDebug("Scroll %d:%d   CP %lu\n", scrollX, scrollY, static_cast<unsigned long>(glyphs[cursor].codePoint));
    else
        guiDebug("Scroll %d:%d   CP invalid\n", scrollX, scrollY);
}

bool GuiTextCtrl::handleTextInput(const SDL_Event& sdl)
{
    if (readOnly || !focused || (SDL_GetModState() & KMOD_CTRL))
        return false;
    restartBlink(eventTime(sdl));
    return insertText(sdl.text.text);
}

// [SECTION] Tick: focus and blink

void GuiTextCtrl::tick(Uint32 now)
{
    lastTickTime = now;
    GuiEngine* engine = window ? window->engine : nullptr;
    const bool wanted = engine && engine->appFlag && engine->focusedEditable == static_cast<IEditable*>(this);
    // Focus flickers while windows are raised and dialogs close; only a settled change counts.
    if (wanted == active) {
        activePending = false;
    } else if (!activePending) {
        activePending = true;
        activeSince = now;
    } else if (Sint32(now - activeSince) > FocusDebounceMs) {
        active = wanted;
        activePending = false;
        if (active)
            restartBlink(now);
        markDirty();
    }

    if (!active || hasSelection())
        return;
    if (Sint32(now - blinkStart) <= BlinkHoldMs) {
        if (!cursorVisible) {
            cursorVisible = true;
            markDirty();
        }
    } else if (Sint32(now - lastBlink) > BlinkHalfPeriodMs) {
        cursorVisible = !cursorVisible;
        lastBlink = now;
        markDirty();
    }
}

// Mirrors tick: when its next focus settle or caret blink falls due.
Uint32 GuiTextCtrl::msUntilWakeUp(Uint32 now)
{
    GuiEngine* engine = window ? window->engine : nullptr;
    const bool wanted = engine && engine->appFlag && engine->focusedEditable == static_cast<IEditable*>(this);
    if (wanted != active)
        return activePending ? msUntil(activeSince + FocusDebounceMs + 1, now) : 0;
    if (!active || hasSelection())
        return NoWakeUp;
    const Uint32 toggle = msUntil(lastBlink + BlinkHalfPeriodMs + 1, now);
    if (Sint32(now - blinkStart) > BlinkHoldMs)
        return toggle;
    if (!cursorVisible)
        return 0;
    return std::max(msUntil(blinkStart + BlinkHoldMs + 1, now), toggle);
}

// [SECTION] Drawing

bool GuiTextCtrl::lineVisible(int baseline, const SDL_Rect& area) const
{
    const int top = lineTop(baseline) - scrollY;
    return top >= area.y && top + lineStep <= area.y + area.h;
}

void GuiTextCtrl::drawSelection(SDL_Renderer* renderer, const SDL_Rect& area)
{
    if (!focused || !hasSelection())
        return;
    const size_t first = size_t(std::min(selStart, selEnd));
    const size_t last = std::min(size_t(std::max(selStart, selEnd)), glyphs.size());
    SDL_SetRenderDrawColor(renderer, 0, 0, 255, 255);
    for (size_t i = first; i < last; ++i) {
        const TextGlyph& g = glyphs[i];
        if (!lineVisible(g.y, area))
            continue;
        const bool nextOnLine = i + 1 < glyphs.size() && glyphs[i + 1].y == g.y;
        const int width = std::max(1, nextOnLine ? glyphs[i + 1].x - g.x : g.width);
        SDL_Rect r{g.x - scrollX, lineTop(g.y) - scrollY, width, lineStep};
        SDL_RenderFillRect(renderer, &r);
    }
}

void GuiTextCtrl::drawGlyphs(SDL_Renderer* renderer, const SDL_Rect& area)
{
    if (!face || area.w <= 0 || area.h <= 0)
        return;
    // All glyphs go into one surface and one texture rather than one texture per glyph.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, area.w, area.h, 32, SDL_PIXELFORMAT_ABGR8888);
    if (!surface)
        return;
    const bool showSelection = focused && hasSelection();
    const size_t selFirst = showSelection ? size_t(std::min(selStart, selEnd)) : 0;
    const size_t selLast = showSelection ? size_t(std::max(selStart, selEnd)) : 0;
    bool drewAny = false;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        const TextGlyph& g = glyphs[i];
        if (g.codePoint < 32 || g.width == 0 || !lineVisible(g.y, area))
            continue;
        const FT_UInt index = FT_Get_Char_Index(face, g.codePoint);
        if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_RENDER) != 0)
            continue;
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || !bitmap.buffer)
            continue;
        const Uint8 shade = (i >= selFirst && i < selLast) ? 255 : 0;
        blendCoverage(surface, bitmap, g.x - scrollX - area.x, g.y - scrollY - face->glyph->bitmap_top - 3 - area.y,
                      shade);
        drewAny = true;
    }
    if (drewAny) {
        if (SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface)) {
            SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
            SDL_RenderCopy(renderer, texture, nullptr, &area);
            GuiEngine::releaseTexture(renderer, texture);
        }
    }
    SDL_FreeSurface(surface);
}

void GuiTextCtrl::drawCaret(SDL_Renderer* renderer, const SDL_Rect& area)
{
    if (!active || !cursorVisible)
        return;
    int cx = 0, baseline = 0;
    cursorPoint(cx, baseline);
    if (!lineVisible(baseline, area))
        return;
    SDL_Rect r{cx - scrollX, lineTop(baseline) - scrollY, 2, lineStep};
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderFillRect(renderer, &r);
}

void GuiTextCtrl::draw(SDL_Renderer* renderer)
{
    if (x != laidOutX || y != laidOutY)
        relayout();
    SDL_Rect whole = rect();
    SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
    SDL_RenderFillRect(renderer, &whole);

    const SDL_Rect area = textArea();
    SDL_RenderSetClipRect(renderer, &area);
    drawSelection(renderer, area);
    drawGlyphs(renderer, area);
    drawCaret(renderer, area);
    SDL_RenderSetClipRect(renderer, nullptr);

    if (!multiLine)
        return;
    const SDL_Color track{230, 230, 230, 255}, thumb{160, 160, 160, 255};
    if (vScrollBar.visible)
        scrollBarDraw(vScrollBar, renderer, track, thumb);
    if (hScrollBar.visible)
        scrollBarDraw(hScrollBar, renderer, track, thumb);
    if (vScrollBar.visible && hScrollBar.visible) {
        SDL_Rect corner{vScrollBar.track.x, hScrollBar.track.y, BarThickness, BarThickness};
        SDL_SetRenderDrawColor(renderer, track.r, track.g, track.b, track.a);
        SDL_RenderFillRect(renderer, &corner);
    }
}
