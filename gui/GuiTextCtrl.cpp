// GuiTextCtrl: input turned into edits of its TextEditModel, a new TextLayout
// after each change, scrolling and drawing.
//
// [SECTION] Construction and slots
// [SECTION] Editing
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

namespace {

constexpr int Margin = TextLayout::Margin;
constexpr Uint32 DoubleClickMs = 399;
constexpr int DoubleClickSlop = 3;
constexpr Sint32 FocusDebounceMs = 49;
constexpr Sint32 BlinkHoldMs = 999;  // the caret stays solid this long after any action
constexpr Sint32 BlinkHalfPeriodMs = 499;

int roundUpTo(int v, int step)
{
    return v <= 0 ? 0 : (v + step - 1) / step * step;
}

bool isMouseEvent(Uint32 type)
{
    return type == SDL_MOUSEBUTTONDOWN || type == SDL_MOUSEBUTTONUP || type == SDL_MOUSEMOTION ||
           type == SDL_MOUSEWHEEL;
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

// [SECTION] Construction and slots

GuiTextCtrl::GuiTextCtrl(GuiObject* parent_, int id_, int x_, int y_, int w_, int h_, Uint32 colour_, FT_Face face_,
                         Uint32 style)
    : GuiObject(parent_, id_, x_, y_, w_, h_, colour_),
      multiLine((style & TextStyle::MultiLine) && !(style & TextStyle::Password)),
      readOnly(style & TextStyle::ReadOnly),
      password(style & TextStyle::Password),
      wordWrap(multiLine && (style & TextStyle::WordWrap)),
      edit(multiLine),
      face(face_)
{
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
    out = edit.text();
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
    edit.clearSelection();
    mouseSelecting = false;
    markDirty();
}

void GuiTextCtrl::layout() { relayout(); }

void GuiTextCtrl::relayout()
{
    laidOutX = x;
    laidOutY = y;
    glyphLayout.layOut(face, edit.chars(), x, y, w, TextLayout::Style{password, wordWrap});
    updateScrollBars();
    markDirty();
}

int GuiTextCtrl::charIndexAt(int px, int py) const
{
    return glyphLayout.charIndexAt(px + scrollX, py + scrollY);
}

// [SECTION] Editing

void GuiTextCtrl::setText(const std::string& newValue)
{
    edit.setText(newValue);
    relayout();
    ensureCursorVisible();
}

bool GuiTextCtrl::edited(bool changed)
{
    if (changed)
        relayout();
    ensureCursorVisible();
    return changed;
}

bool GuiTextCtrl::deleteSelection()
{
    return edit.deleteSelection() && edited(true);
}

bool GuiTextCtrl::eraseChars(int first, int last) { return edited(edit.erase(first, last)); }

bool GuiTextCtrl::insertText(std::string_view text) { return edited(edit.insert(text)); }

void GuiTextCtrl::moveCursor(int index, bool extend)
{
    if (extend)
        edit.extendSelection(index);
    else
        edit.setCursor(index);
    ensureCursorVisible();
}

// Moves the caret to the glyph nearest its x on the line `lines` lines away;
// false when there is no such line.
bool GuiTextCtrl::moveVertical(int lines, bool extend)
{
    const int target = glyphLayout.lineAway(edit.cursor(), lines);
    if (target < 0) {
        if (!extend)
            edit.clearSelection();
        return false;
    }
    moveCursor(target, extend);
    return true;
}

// [SECTION] Scrolling

SDL_Rect GuiTextCtrl::textArea() const
{
    return SDL_Rect{x, y, w - (vScrollBar.visible ? ScrollBarThickness : 0),
                    h - (hScrollBar.visible ? ScrollBarThickness : 0)};
}

int GuiTextCtrl::maxScrollX() const
{
    return std::max(0, glyphLayout.contentWidth() - textArea().w);
}

int GuiTextCtrl::maxScrollY() const
{
    // Whole lines: the last line must fit completely once scrolled to the end.
    return roundUpTo(glyphLayout.contentHeight() - Margin + 2 - textArea().h, glyphLayout.lineHeight());
}

int GuiTextCtrl::scrollContentHeight() const
{
    // The bar's range ends exactly at the last whole-line offset, so a thumb
    // dragged to the bottom shows the last line complete.
    return maxScrollY() + textArea().h;
}

int GuiTextCtrl::verticalPage() const
{
    const int line = glyphLayout.lineHeight();
    return std::max(line, (textArea().h - line) / line * line);
}

void GuiTextCtrl::clampScroll()
{
    scrollX = std::clamp(scrollX, 0, maxScrollX());
    scrollY = std::clamp(scrollY, 0, maxScrollY());
    scrollY -= scrollY % glyphLayout.lineHeight();
}

void GuiTextCtrl::updateScrollBars()
{
    if (!multiLine) {
        vScrollBar.visible = hScrollBar.visible = false;
        clampScroll();
        return;
    }
    // Wrapped lines never need the horizontal bar.
    showScrollBars(vScrollBar, hScrollBar, rect(), wordWrap ? 0 : glyphLayout.contentWidth(),
                   glyphLayout.contentHeight());
    clampScroll();
    placeScrollBars(vScrollBar, hScrollBar, rect(), glyphLayout.contentWidth(), scrollContentHeight(), scrollX,
                    scrollY);
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
    const auto [cx, baseline] = glyphLayout.caretPlace(edit.cursor());
    // Scrolling left keeps a margin of text before the caret, and reaches 0 at the first glyph.
    if (cx - scrollX < area.x + Margin)
        scrollX = cx - area.x - 2 * Margin;
    else if (cx + 2 - scrollX > area.x + area.w - Margin)
        scrollX = cx + 2 - (area.x + area.w - Margin);
    const int lineStep = glyphLayout.lineHeight();
    const int line = glyphLayout.lineIndex(baseline);
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
    const int px = sdl.button.x, py = sdl.button.y;
    const Uint32 now = eventTime(sdl);
    const bool doubleClick = haveLastClick && Sint32(now - lastClickTime) >= 0 &&
                             now - lastClickTime <= DoubleClickMs && std::abs(px - lastClickX) <= DoubleClickSlop &&
                             std::abs(py - lastClickY) <= DoubleClickSlop;
    haveLastClick = true;
    lastClickTime = now;
    lastClickX = px;
    lastClickY = py;
    const int at = charIndexAt(px, py);
    if (doubleClick) {
        const auto [first, last] = glyphLayout.wordAt(at);
        edit.selectWord(first, last);
        mouseSelecting = false;
    } else {
        edit.select(at, at);
        mouseSelecting = true;
    }
    restartBlink(now);
    markDirty();
}

void GuiTextCtrl::handleMouseMotion(const SDL_Event& sdl)
{
    if (!(sdl.motion.state & SDL_BUTTON_LMASK) || !focused || !mouseSelecting)
        return;
    const int px = sdl.motion.x, py = sdl.motion.y;
    // Dragging past an edge pulls more text into view.
    const SDL_Rect area = textArea();
    int dx = 0, dy = 0;
    if (px < area.x)
        dx = px - area.x;
    else if (px >= area.x + area.w)
        dx = px - (area.x + area.w) + 1;
    if (py < area.y)
        dy = -glyphLayout.lineHeight();
    else if (py >= area.y + area.h)
        dy = glyphLayout.lineHeight();
    if (dx || dy)
        scrollBy(dx, dy);
    edit.extendSelection(charIndexAt(px, py));
    restartBlink(eventTime(sdl));
    markDirty();
}

void GuiTextCtrl::handleEvent(GuiEvent& event)
{
    if (event.kind != GuiEvent::SdlInput || !event.sdlEvent)
        return;
    // A window move shifts the control without a new layout.
    if (x != laidOutX || y != laidOutY)
        relayout();
    const SDL_Event& sdl = *event.sdlEvent;
    // Only the left button selects and works the bars.
    if ((sdl.type == SDL_MOUSEBUTTONDOWN || sdl.type == SDL_MOUSEBUTTONUP) && sdl.button.button != SDL_BUTTON_LEFT)
        return;
    if (multiLine && isMouseEvent(sdl.type) &&
        scrollAreaInput(sdl, vScrollBar, hScrollBar, glyphLayout.contentWidth(), scrollContentHeight(),
                        verticalPage(), glyphLayout.lineHeight(), scrollX, scrollY)) {
        scrollBy(0, 0);
        return;
    }
    bool changed = false;
    switch (sdl.type) {
    case SDL_MOUSEBUTTONDOWN:
        handleMouseDown(sdl);
        break;
    case SDL_MOUSEBUTTONUP:
        mouseSelecting = false;
        break;
    case SDL_MOUSEMOTION:
        handleMouseMotion(sdl);
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
    if (password || !edit.hasSelection())
        return false;
    SDL_SetClipboardText(edit.selectedText().c_str());
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
        edit.selectAll();
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
        scrollBy(0, -glyphLayout.lineHeight());
        return false;
    case SDLK_DOWN:
        scrollBy(0, glyphLayout.lineHeight());
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

    const int cursor = edit.cursor();
    const int page = std::max(1, (h - 40) / glyphLayout.lineHeight());
    switch (key) {
    case SDLK_HOME:
        moveCursor(glyphLayout.lineHome(cursor), shift);
        return false;
    case SDLK_END:
        moveCursor(glyphLayout.lineEnd(cursor), shift);
        return false;
    case SDLK_LEFT:
        moveCursor(cursor - 1, shift);
        return false;
    case SDLK_RIGHT:
        moveCursor(cursor + 1, shift);
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
        return cursor > 0 && eraseChars(cursor - 1, cursor);
    case SDLK_DELETE:
        if (readOnly)
            return false;
        if (deleteSelection())
            return true;
        return eraseChars(cursor, cursor + 1);
    case SDLK_SCROLLLOCK:
        printState();
        return false;
    default:
        return false;
    }
}

void GuiTextCtrl::printState() const
{
    const int cursor = edit.cursor();
    guiDebug("CursorIndex %ld   SelIndex %d:%d   SelByte %d:%d   ", long(cursor), edit.selStart(), edit.selEnd(),
             edit.selStartByte(), edit.selEndByte());
    const auto& glyphs = glyphLayout.glyphs();
    if (size_t(cursor) < glyphs.size())
        guiDebug("Scroll %d:%d   CP %lu\n", scrollX, scrollY,
                 static_cast<unsigned long>(glyphs[size_t(cursor)].codePoint));
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

    if (!active || edit.hasSelection())
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
    if (!active || edit.hasSelection())
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
    const int top = glyphLayout.lineTop(baseline) - scrollY;
    return top >= area.y && top + glyphLayout.lineHeight() <= area.y + area.h;
}

void GuiTextCtrl::drawSelection(SDL_Renderer* renderer, const SDL_Rect& area)
{
    if (!focused || !edit.hasSelection())
        return;
    const auto& glyphs = glyphLayout.glyphs();
    const size_t first = size_t(std::min(edit.selStart(), edit.selEnd()));
    const size_t last = std::min(size_t(std::max(edit.selStart(), edit.selEnd())), glyphs.size());
    SDL_SetRenderDrawColor(renderer, 0, 0, 255, 255);
    for (size_t i = first; i < last; ++i) {
        const TextGlyph& g = glyphs[i];
        if (!lineVisible(g.y, area))
            continue;
        const bool nextOnLine = i + 1 < glyphs.size() && glyphs[i + 1].y == g.y;
        const int width = std::max(1, nextOnLine ? glyphs[i + 1].x - g.x : g.width);
        SDL_Rect r{g.x - scrollX, glyphLayout.lineTop(g.y) - scrollY, width, glyphLayout.lineHeight()};
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
    const bool showSelection = focused && edit.hasSelection();
    const size_t selFirst = showSelection ? size_t(std::min(edit.selStart(), edit.selEnd())) : 0;
    const size_t selLast = showSelection ? size_t(std::max(edit.selStart(), edit.selEnd())) : 0;
    const auto& glyphs = glyphLayout.glyphs();
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
    const auto [cx, baseline] = glyphLayout.caretPlace(edit.cursor());
    if (!lineVisible(baseline, area))
        return;
    SDL_Rect r{cx - scrollX, glyphLayout.lineTop(baseline) - scrollY, 2, glyphLayout.lineHeight()};
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
    drawScrollBars(renderer, vScrollBar, hScrollBar);
}
