#pragma once
// Text entry: single- or multi-line, optionally read-only, password-masked or
// word-wrapped, with mouse and keyboard selection, the clipboard, scrolling and
// a blinking caret. It lays its glyphs out itself with FreeType (kerning, tabs,
// wrapping) instead of going through SDL_ttf, so that every character has a
// known rectangle for hit tests, selection and the caret.
//
// Positions: `cursor`, `selStart`, `selEnd` count characters (code points);
// `selStartByte`, `selEndByte` are the same selection as byte offsets into the
// UTF-8 `value`. Both forms always land on character boundaries.

#include "gui/GuiObject.h"
#include "gui/IEditable.h"
#include "gui/ScrollBar.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The text with every byte that is not part of well-formed UTF-8 shown as
// U+FFFD, as the text control stores it; file names need not be UTF-8.
std::string utf8ForDisplay(std::string_view text);

// Style bits of GuiTextCtrl.
namespace TextStyle {
constexpr Uint32 MultiLine = 1u << 0;
constexpr Uint32 ReadOnly = 1u << 1;
constexpr Uint32 Password = 1u << 2;  // forces a single line
constexpr Uint32 WordWrap = 1u << 3;  // only together with MultiLine
} // namespace TextStyle

// One laid-out character: pen position plus bitmap offset, baseline, and the
// code point actually shown (the mask character in password mode).
struct TextGlyph {
    int x = 0;  // window pixels
    int y = 0;  // baseline, window pixels
    int width = 0;
    char32_t codePoint = 0;
};

class GuiTextCtrl : public GuiObject, public IEditable {
public:
    GuiTextCtrl(GuiObject* parent, int id, int x, int y, int w, int h, Uint32 colour, FT_Face face, Uint32 style);

    bool getValue(std::string& out) override;
    bool setValue(const std::string& newValue) override;
    bool wantsWheel() override;
    bool isCacheable() override;
    const char* className() override;
    void tick(Uint32 now) override;
    Uint32 msUntilWakeUp(Uint32 now) override;
    void draw(SDL_Renderer* renderer) override;
    void resize(SDL_Renderer* renderer, int newW, int newH) override;
    void handleEvent(GuiEvent& event) override;
    void focusLost(GuiObject* newFocus) override;
    void layout() override;

    // Replaces the text; the caret goes to its end and the selection is cleared.
    // Bytes that are not valid UTF-8 are stored as U+FFFD.
    void setText(const std::string& newValue);
    const std::string& text() const { return value; }
    void setOnChange(std::function<void()> callback) { onChange = std::move(callback); }
    std::string selectedText() const;
    // Removes the selected characters and puts the caret at the selection start.
    bool deleteSelection();

    // Number of characters (code points) in `value`.
    int charCount() const { return int(charBytes.size()) - 1; }
    // Byte offset in `value` where character `index` starts (clamped to the text).
    int byteOffset(int index) const;
    // Character index for a point in window coordinates (scroll offsets applied).
    int charIndexAt(int px, int py) const;
    // The word around character `index` as [first, last); empty on a separator.
    std::pair<int, int> wordAt(int index) const;
    // Sets the selection in characters and keeps the byte form in step.
    void setSelection(int anchor, int end);
    void clearSelection();
    bool hasSelection() const { return selStart >= 0 && selEnd >= 0 && selStart != selEnd; }
    int lineHeight() const { return lineStep; }
    // The text area: the control less the scroll bars.
    SDL_Rect textArea() const;

    std::vector<TextGlyph> glyphs;
    Uint32 cursor = 0;
    int selStart = -1;
    int selEnd = -1;
    Uint32 blinkStart = 0;
    Uint32 lastBlink = 0;
    bool cursorVisible = true;
    bool active = false;
    Uint32 activeSince = 0;
    int selStartByte = -1;
    int selEndByte = -1;
    Uint32 lastClickTime = 0;
    int lastClickX = 0;
    int lastClickY = 0;
    bool wordSelecting = false;
    int scrollX = 0;
    int scrollY = 0;
    ScrollBar vScrollBar;  // multi-line controls only
    ScrollBar hScrollBar;
    bool multiLine;
    bool readOnly;
    bool password;
    bool wordWrap;
    std::string value;
    std::function<void()> onChange;
    FT_Face face;  // not owned

private:
    void relayout();
    void layoutText();
    int lineTop(int baseline) const { return baseline - ascender - 3; }
    // The visual line [first, last) of glyphs that holds glyph `index`.
    std::pair<int, int> lineAround(int index) const;
    void cursorPoint(int& px, int& baseline) const;
    int contentWidthPx() const;
    int contentHeightPx() const;

    void updateScrollBars();
    void clampScroll();
    int maxScrollX() const;
    int maxScrollY() const;
    int scrollContentHeight() const;
    void ensureCursorVisible();
    void restartBlink(Uint32 now);
    Uint32 eventTime(const SDL_Event& sdl) const;

    bool insertText(std::string_view text);
    bool eraseChars(int first, int last);
    void moveCursor(int newCursor, bool extend);
    bool moveVertical(int lines, bool extend);
    void scrollBy(int dx, int dy);

    void handleMouseDown(const SDL_Event& sdl);
    void handleMouseMotion(const SDL_Event& sdl);
    void handleWheel(const SDL_Event& sdl);
    bool handleKey(const SDL_Event& sdl);
    bool handleControlKey(SDL_Keycode key);
    bool copySelection();
    bool paste();
    void printState() const;
    bool handleTextInput(const SDL_Event& sdl);

    bool lineVisible(int baseline, const SDL_Rect& area) const;
    void drawSelection(SDL_Renderer* renderer, const SDL_Rect& area);
    void drawGlyphs(SDL_Renderer* renderer, const SDL_Rect& area);
    void drawCaret(SDL_Renderer* renderer, const SDL_Rect& area);

    std::vector<int> charBytes{0};  // byte offset of every character, plus the end
    int ascender = 0;
    int lineStep = 16;
    bool activePending = false;   // the focus state differs from `active` since `activeSince`
    bool mouseSelecting = false;  // a left press in the text started a drag selection
    bool haveLastClick = false;
    Uint32 lastTickTime = 0;
    int laidOutX = 0;  // position the glyphs were laid out at; a window move makes them stale
    int laidOutY = 0;
};
