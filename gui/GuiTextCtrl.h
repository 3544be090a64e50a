#pragma once
// Text entry: single- or multi-line, optionally read-only, password-masked or
// word-wrapped, with mouse and keyboard selection, the clipboard, scrolling and
// a blinking caret. The text, caret and selection live in a TextEditModel, the
// glyph positions in a TextLayout; this class turns input into edits, scrolls
// and draws.

#include "gui/GuiObject.h"
#include "gui/IEditable.h"
#include "gui/ScrollBar.h"
#include "gui/TextEditModel.h"
#include "gui/TextLayout.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <functional>
#include <string>
#include <string_view>
#include <utility>

// Style bits of GuiTextCtrl.
namespace TextStyle {
constexpr Uint32 MultiLine = 1u << 0;
constexpr Uint32 ReadOnly = 1u << 1;
constexpr Uint32 Password = 1u << 2;  // forces a single line
constexpr Uint32 WordWrap = 1u << 3;  // only together with MultiLine
} // namespace TextStyle

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
    const std::string& text() const { return edit.text(); }
    void setOnChange(std::function<void()> callback) { onChange = std::move(callback); }
    std::string selectedText() const { return edit.selectedText(); }
    // Removes the selected characters and puts the caret at the selection start.
    bool deleteSelection();

    Uint32 blinkStart = 0;
    Uint32 lastBlink = 0;
    bool cursorVisible = true;
    bool active = false;
    Uint32 activeSince = 0;
    Uint32 lastClickTime = 0;
    int lastClickX = 0;
    int lastClickY = 0;
    int scrollX = 0;
    int scrollY = 0;
    ScrollBar vScrollBar;  // multi-line controls only
    ScrollBar hScrollBar;
    bool multiLine;
    bool readOnly;
    bool password;
    bool wordWrap;
    TextEditModel edit;       // the text, the caret and the selection
    TextLayout glyphLayout;   // where each character of `edit` stands
    std::function<void()> onChange;
    FT_Face face;  // not owned

private:
    void relayout();
    // Character index for a point in window coordinates (scroll offsets applied).
    int charIndexAt(int px, int py) const;
    // The text area: the control less the scroll bars.
    SDL_Rect textArea() const;

    void updateScrollBars();
    void clampScroll();
    int maxScrollX() const;
    int maxScrollY() const;
    int scrollContentHeight() const;
    int verticalPage() const;
    void ensureCursorVisible();
    void restartBlink(Uint32 now);
    Uint32 eventTime(const SDL_Event& sdl) const;

    // After an edit: a new layout when the text changed, and the caret in view.
    bool edited(bool changed);
    bool insertText(std::string_view text);
    bool eraseChars(int first, int last);
    void moveCursor(int index, bool extend);
    bool moveVertical(int lines, bool extend);
    void scrollBy(int dx, int dy);

    void handleMouseDown(const SDL_Event& sdl);
    void handleMouseMotion(const SDL_Event& sdl);
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

    bool activePending = false;   // the focus state differs from `active` since `activeSince`
    bool mouseSelecting = false;  // a left press in the text started a drag selection
    bool haveLastClick = false;
    Uint32 lastTickTime = 0;
    int laidOutX = 0;  // position the glyphs were laid out at; a window move makes them stale
    int laidOutY = 0;
};
