#include "gui/GuiTextCtrl.h"
#include "gui/GuiText.h"

#include "support/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

using namespace guitest;

namespace {

class TextCtrlTest : public ::testing::Test {
protected:
    TextCtrlTest() : gui(std::make_unique<GuiFixtureState>()) {}

    GuiTextCtrl* make(Uint32 style, const std::string& text = "", int w = 200, int h = 22, int x = 20, int y = 30)
    {
        auto* ctrl = gui->root->add(new GuiTextCtrl(nullptr, 7, x, y, w, h, 0xFFFFFFFF, ftFace, style));
        ctrl->setText(text);
        return ctrl;
    }

    GuiTextCtrl* focusedCtrl(Uint32 style, const std::string& text = "", int w = 200, int h = 22)
    {
        GuiTextCtrl* ctrl = make(style, text, w, h);
        gui->root->setFocus(ctrl);
        return ctrl;
    }

    void pressAt(int x, int y, Uint32 timestamp)
    {
        SDL_Event e = mouseButton(SDL_MOUSEBUTTONDOWN, x, y);
        e.button.timestamp = timestamp;
        send(gui->root, e);
        SDL_Event up = mouseButton(SDL_MOUSEBUTTONUP, x, y);
        up.button.timestamp = timestamp;
        send(gui->root, up);
    }

    // Centre of glyph i, in window coordinates.
    static SDL_Point glyphCentre(const GuiTextCtrl* c, int i)
    {
        const TextGlyph& g = c->glyphLayout.glyphs()[size_t(i)];
        return SDL_Point{g.x + std::max(g.width, 2) / 2 - 1, g.y - 5};
    }

    void keys(SDL_Keycode sym, Uint16 mod = KMOD_NONE, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            key(gui->root, sym, mod);
    }
    // Plain keys and Ctrl+letter shortcuts, in order.
    void keys(std::initializer_list<SDL_Keycode> syms, Uint16 mod = KMOD_NONE)
    {
        for (SDL_Keycode sym : syms)
            key(gui->root, sym, mod);
    }

    std::unique_ptr<GuiFixtureState> gui;
};

std::string clipboard()
{
    char* text = SDL_GetClipboardText();
    std::string copy = text ? text : "";
    SDL_free(text);
    return copy;
}

int ascender()
{
    return int(ftFace->size->metrics.ascender >> 6);
}

} // namespace

// [SECTION] Mouse

TEST_F(TextCtrlTest, ClicksPlaceCaretDoubleClickSelectsWord)
{
    GuiTextCtrl* c = make(0, "hello world");
    const SDL_Point o{c->glyphLayout.glyphs()[7].x + 1, c->glyphLayout.glyphs()[7].y - 5};
    pressAt(o.x, o.y, 1000);
    EXPECT_EQ(c->edit.cursor(), 7);
    EXPECT_FALSE(c->edit.hasSelection());

    pressAt(o.x + 2, o.y, 1300);
    EXPECT_TRUE(c->edit.wordSelecting());
    EXPECT_EQ(c->selectedText(), "world");
    EXPECT_EQ(c->edit.cursor(), 11);

    pressAt(o.x + 2, o.y, 1800);
    EXPECT_FALSE(c->edit.hasSelection()) << "a third click 500 ms later only places the caret";

    pressAt(o.x + 6, o.y, 1900);
    pressAt(o.x + 6, o.y, 2400);
    EXPECT_FALSE(c->edit.hasSelection()) << "too far from the first click, then too late, for a double click";
}

TEST_F(TextCtrlTest, DragSelectsAndScrollsPastTheEdge)
{
    GuiTextCtrl* c = focusedCtrl(0, "hello world, this text is longer than the field", 100);
    keys(SDLK_HOME);
    ASSERT_EQ(c->scrollX, 0);
    const SDL_Point h = glyphCentre(c, 0);
    press(gui->root, h.x - 3, h.y);
    motion(gui->root, glyphCentre(c, 4).x + 5, h.y, SDL_BUTTON_LMASK);
    EXPECT_EQ(c->selectedText(), "hello");
    motion(gui->root, c->x + 140, h.y, SDL_BUTTON_LMASK);
    EXPECT_GT(c->scrollX, 0);
    release(gui->root, c->x + 140, h.y);
    motion(gui->root, h.x, h.y, 0);
    EXPECT_GT(c->edit.selEnd(), 5) << "motion without the button changes nothing";
}

// [SECTION] Keyboard

TEST_F(TextCtrlTest, HorizontalKeysMoveAndShiftExtends)
{
    GuiTextCtrl* c = focusedCtrl(0, "hello world");
    keys(SDLK_HOME);
    EXPECT_EQ(c->edit.cursor(), 0);
    keys(SDLK_LEFT);
    EXPECT_EQ(c->edit.cursor(), 0);
    keys(SDLK_RIGHT, KMOD_SHIFT, 3);
    EXPECT_EQ(c->selectedText(), "hel");
    keys(SDLK_END, KMOD_LSHIFT);
    EXPECT_EQ(c->selectedText(), "hello world");
    keys(SDLK_LEFT);
    EXPECT_FALSE(c->edit.hasSelection());
    EXPECT_EQ(c->edit.cursor(), 10);
    keys(SDLK_RIGHT, KMOD_NONE, 5);
    EXPECT_EQ(c->edit.cursor(), 11);
}

TEST_F(TextCtrlTest, VerticalKeysKeepTheColumn)
{
    GuiTextCtrl* c = focusedCtrl(TextStyle::MultiLine, "abcd\nab\nabcd\nabcd\nabcd", 200, 72);
    c->edit.setCursor(3);
    keys(SDLK_DOWN);
    EXPECT_EQ(c->edit.cursor(), 7) << "nearest glyph is the line feed behind \"ab\"";
    keys(SDLK_UP, KMOD_SHIFT);
    EXPECT_EQ(c->edit.cursor(), 2);
    EXPECT_EQ(c->selectedText(), "cd\nab");
    keys(SDLK_UP);
    EXPECT_EQ(c->edit.cursor(), 2) << "no line above the first";
    keys(SDLK_PAGEDOWN);  // (72 - 40) / 16 = 2 lines
    EXPECT_EQ(c->edit.cursor(), 10);
    keys({SDLK_PAGEDOWN, SDLK_DOWN});
    EXPECT_EQ(c->edit.cursor(), 20);
    keys(SDLK_END);
    EXPECT_EQ(c->edit.cursor(), 22) << "the end of the last line is reachable";
    keys(SDLK_PAGEUP);
    EXPECT_EQ(c->edit.cursor(), 12) << "a line feed is a place on its line";
}

TEST_F(TextCtrlTest, TrailingLineFeedOpensAnEmptyLastLine)
{
    GuiTextCtrl* c = focusedCtrl(TextStyle::MultiLine, "ab\n", 200, 80);
    ASSERT_EQ(c->edit.cursor(), 3);
    keys(SDLK_HOME);
    EXPECT_EQ(c->edit.cursor(), 3);
    keys({SDLK_UP, SDLK_END});
    EXPECT_EQ(c->edit.cursor(), 2);
    keys({SDLK_DOWN, SDLK_END});
    EXPECT_EQ(c->edit.cursor(), 3);
}

TEST_F(TextCtrlTest, EditingKeysRespectReadOnlyAndSingleLine)
{
    GuiTextCtrl* multi = focusedCtrl(TextStyle::MultiLine, "abc");
    int changes = 0;
    multi->setOnChange([&] { ++changes; });
    keys({SDLK_LEFT, SDLK_RETURN});
    EXPECT_EQ(multi->text(), "ab\nc");
    keys(SDLK_BACKSPACE);
    EXPECT_EQ(multi->text(), "abc");
    keys({SDLK_RETURN, SDLK_DELETE});
    EXPECT_EQ(multi->text(), "ab\n");
    keys(SDLK_DELETE);
    EXPECT_EQ(changes, 4) << "a Delete at the end changes nothing";

    GuiTextCtrl* single = focusedCtrl(0, "abc");
    keys(SDLK_RETURN);
    EXPECT_EQ(single->text(), "abc");

    GuiTextCtrl* ro = focusedCtrl(TextStyle::ReadOnly, "abc");
    keys({SDLK_BACKSPACE, SDLK_DELETE});
    textInput(gui->root, "x");
    keys({SDLK_a, SDLK_x}, KMOD_CTRL);
    EXPECT_EQ(ro->text(), "abc");
    EXPECT_EQ(ro->selectedText(), "abc");
}

TEST_F(TextCtrlTest, ClipboardShortcuts)
{
    GuiTextCtrl* c = focusedCtrl(0, "copy me");
    keys({SDLK_a, SDLK_c}, KMOD_CTRL);
    EXPECT_EQ(clipboard(), "copy me");
    keys(SDLK_x, KMOD_CTRL);
    EXPECT_EQ(c->text(), "");
    keys({SDLK_v, SDLK_v}, KMOD_CTRL);
    EXPECT_EQ(c->text(), "copy mecopy me");
    EXPECT_EQ(c->edit.cursor(), 14);

    SDL_SetClipboardText("one\ntwo\r\nthree");
    keys({SDLK_a, SDLK_v}, KMOD_CTRL);
    EXPECT_EQ(c->text(), "one two  three") << "line breaks become spaces on a single line";

    GuiTextCtrl* multi = focusedCtrl(TextStyle::MultiLine);
    keys(SDLK_v, KMOD_CTRL);
    EXPECT_EQ(multi->text(), "one\ntwo\r\nthree");

    GuiTextCtrl* ro = focusedCtrl(TextStyle::ReadOnly, "fixed");
    keys(SDLK_v, KMOD_CTRL);
    EXPECT_EQ(ro->text(), "fixed");

    GuiTextCtrl* secret = focusedCtrl(TextStyle::Password | TextStyle::MultiLine, "hunter2");
    EXPECT_FALSE(secret->multiLine);
    keys({SDLK_a, SDLK_c, SDLK_x}, KMOD_CTRL);
    EXPECT_EQ(clipboard(), "one\ntwo\r\nthree") << "a password never reaches the clipboard";
    EXPECT_EQ(secret->text(), "hunter2");
}

TEST_F(TextCtrlTest, TypingReplacesSelectionButNotWithCtrlHeld)
{
    GuiTextCtrl* c = focusedCtrl(0, "hello");
    int changes = 0;
    c->setOnChange([&] { ++changes; });
    keys(SDLK_LEFT, KMOD_SHIFT, 2);
    textInput(gui->root, "p!");
    EXPECT_EQ(c->text(), "help!");
    EXPECT_FALSE(c->edit.hasSelection());
    SDL_SetModState(KMOD_LCTRL);
    textInput(gui->root, "x");
    SDL_SetModState(KMOD_NONE);
    EXPECT_EQ(c->text(), "help!");
    EXPECT_EQ(changes, 1);

    gui->root->setFocus(nullptr);
    textInput(gui->root, "x");
    EXPECT_EQ(c->text(), "help!");
}

TEST_F(TextCtrlTest, FocusFollowsClicksAndLeavesWithTheWidget)
{
    GuiTextCtrl* a = make(0, "first", 100, 22, 10, 10);
    GuiTextCtrl* b = make(0, "second", 100, 22, 10, 50);
    click(gui->root, 30, 20);
    EXPECT_EQ(gui->engine->focusedEditable, static_cast<IEditable*>(a));
    keys(SDLK_a, KMOD_CTRL);
    click(gui->root, 30, 60);
    EXPECT_EQ(gui->engine->focusedEditable, static_cast<IEditable*>(b));
    EXPECT_FALSE(a->edit.hasSelection()) << "losing the focus drops the selection";
    b->deleteLater();
    gui->root->flushPendingDeletes();
    EXPECT_EQ(gui->engine->focusedEditable, nullptr);
}

TEST_F(TextCtrlTest, CaretBlinksOnlyWhileTheWindowHasFocus)
{
    GuiTextCtrl* c = focusedCtrl(0, "x");
    gui->engine->appFlag = true;
    const Uint32 t = 100000;
    c->tick(t);
    c->tick(t + 49);
    EXPECT_FALSE(c->active) << "a focus change must settle first";
    c->tick(t + 50);
    ASSERT_TRUE(c->active);
    // Shown for a second, hidden for half a second.
    for (auto [after, shown] : {std::pair{0u, true}, {999u, true}, {1000u, false}, {1499u, false}, {1500u, true}}) {
        c->tick(t + 50 + after);
        EXPECT_EQ(c->cursorVisible, shown) << after;
    }

    // Any key restarts the clock with the caret shown.
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_LSHIFT;
    e.key.timestamp = t + 50 + 1600;
    send(gui->root, e);
    c->tick(t + 50 + 2500);
    EXPECT_TRUE(c->cursorVisible);

    // Window focus flickering off for less than the debounce changes nothing.
    gui->engine->appFlag = false;
    c->tick(t + 3000);
    gui->engine->appFlag = true;
    c->tick(t + 3040);
    c->tick(t + 3100);
    EXPECT_TRUE(c->active);
    gui->engine->appFlag = false;
    c->tick(t + 4000);
    c->tick(t + 4050);
    EXPECT_FALSE(c->active);
}

// [SECTION] Scrolling

TEST_F(TextCtrlTest, SingleLineScrollsToKeepTheCaretInView)
{
    GuiTextCtrl* c = focusedCtrl(0, "", 80);
    for (int i = 0; i < 30; ++i)
        textInput(gui->root, "w");
    EXPECT_GT(c->scrollX, 0);
    const TextGlyph& last = c->glyphLayout.glyphs().back();
    EXPECT_LE(last.x + last.width + 2 - c->scrollX, c->x + c->w);
    keys(SDLK_HOME);
    EXPECT_EQ(c->scrollX, 0);
    EXPECT_FALSE(c->wantsWheel());
}

TEST_F(TextCtrlTest, MultiLineScrollsByWholeLines)
{
    std::string text;
    for (int i = 0; i < 12; ++i)
        text += "line " + std::to_string(i) + "\n";
    GuiTextCtrl* c = focusedCtrl(TextStyle::MultiLine, text, 150, 80);
    const int line = c->glyphLayout.lineHeight();
    ASSERT_TRUE(c->vScrollBar.visible);
    EXPECT_FALSE(c->hScrollBar.visible);
    EXPECT_EQ(c->scrollY % line, 0);
    EXPECT_GT(c->scrollY, 0) << "setText leaves the caret, at the end, in view";

    wheel(gui->root, c->x + 10, c->y + 10, 100);
    EXPECT_EQ(c->scrollY, 0);
    wheel(gui->root, c->x + 10, c->y + 10, -2);
    EXPECT_EQ(c->scrollY, 2 * line);
    keys(SDLK_DOWN, KMOD_CTRL);
    EXPECT_EQ(c->scrollY, 3 * line);
    keys(SDLK_END, KMOD_CTRL);
    EXPECT_EQ(c->scrollY, 0);

    // Dragging the thumb to the bottom shows the last line whole.
    const SDL_Rect thumb = c->vScrollBar.thumb;
    press(gui->root, thumb.x + 2, thumb.y + 2);
    motion(gui->root, thumb.x + 2, thumb.y + 200, SDL_BUTTON_LMASK);
    release(gui->root, thumb.x + 2, thumb.y + 200);
    EXPECT_EQ(c->scrollY % line, 0);
    const int lastTop = c->glyphLayout.glyphs().back().y - ascender() - 3 - c->scrollY;
    EXPECT_LE(lastTop + line, c->y + c->h);
    EXPECT_FALSE(c->vScrollBar.dragging);

    c->setText(std::string(60, 'x'));
    EXPECT_TRUE(c->hScrollBar.visible);
    keys(SDLK_END, KMOD_CTRL);
    wheel(gui->root, c->x + 10, c->y + 10, 0, -1);
    EXPECT_EQ(c->scrollX, 40);
    wheel(gui->root, c->x + 10, c->y + 10, 0, 5);
    EXPECT_EQ(c->scrollX, 0);
    EXPECT_FALSE(make(TextStyle::MultiLine | TextStyle::WordWrap, c->text(), 150, 80, 200)->hScrollBar.visible)
        << "wrapped lines need no horizontal bar";
}

// [SECTION] Drawing

TEST_F(TextCtrlTest, DrawsSelectionGlyphsAndCaret)
{
    GuiTextCtrl* c = focusedCtrl(0, "Hi there");
    gui->engine->appFlag = true;
    c->tick(1000);
    c->tick(1100);
    ASSERT_TRUE(c->active);
    c->edit.select(0, 2);
    gui->root->draw(gui->renderer);

    const TextGlyph& h = c->glyphLayout.glyphs()[0];
    const int lineTop = h.y - ascender() - 3;
    const SDL_Color selection = readPixel(gui->renderer, h.x + 1, lineTop + 1);
    EXPECT_EQ((std::pair{selection.r, selection.b}), (std::pair<Uint8, Uint8>{0, 255}));

    const TextGlyph& t = c->glyphLayout.glyphs()[3];
    int darkest = 255;
    for (int yy = lineTop; yy < lineTop + c->glyphLayout.lineHeight(); ++yy)
        for (int xx = t.x; xx < t.x + t.width; ++xx)
            darkest = std::min(darkest, int(readPixel(gui->renderer, xx, yy).r));
    EXPECT_LT(darkest, 80) << "unselected glyphs are drawn in black";
    const SDL_Color blank = readPixel(gui->renderer, c->x + c->w - 3, c->y + c->h - 2);
    EXPECT_EQ(blank.r, 255);

    c->edit.clearSelection();
    c->edit.setCursor(8);
    c->markDirty();
    gui->root->draw(gui->renderer);
    const TextGlyph& e = c->glyphLayout.glyphs()[7];
    const SDL_Color caret = readPixel(gui->renderer, e.x + e.width, lineTop + 1);
    EXPECT_EQ((std::pair{caret.r, caret.g}), (std::pair<Uint8, Uint8>{0, 0}));
}
