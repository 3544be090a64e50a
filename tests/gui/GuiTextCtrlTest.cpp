#include "gui/GuiTextCtrl.h"

#include "support/GuiTestSupport.h"

using namespace guitest;

namespace {

class TextCtrlTest : public ::testing::Test {
protected:
    GuiTextCtrl* make(Uint32 style, const std::string& text = "", int w = 200, int h = 22, int x = 20, int y = 30)
    {
        auto* ctrl = gui.root->add(new GuiTextCtrl(nullptr, 7, x, y, w, h, 0xFFFFFFFF, ftFace, style));
        ctrl->setText(text);
        gui.root->setFocus(ctrl);
        return ctrl;
    }
    void keys(std::initializer_list<SDL_Keycode> syms, Uint16 mod = KMOD_NONE)
    {
        for (SDL_Keycode sym : syms)
            key(gui.root, sym, mod);
    }
    // Where glyph i is drawn, just above its baseline, in window coordinates.
    static SDL_Point glyph(const GuiTextCtrl* c, int i)
    {
        const TextGlyph& g = c->glyphLayout.glyphs()[size_t(i)];
        return SDL_Point{g.x + std::max(g.width, 2) / 2 - 1, g.y - 5};
    }
    static int lineTop(const GuiTextCtrl* c, int i) { return glyph(c, i).y + 5 - int(ftFace->size->metrics.ascender >> 6) - 3; }

    GuiFixtureState gui;
};

std::string clipboard()
{
    char* text = SDL_GetClipboardText();
    std::string copy = text ? text : "";
    SDL_free(text);
    return copy;
}

} // namespace

TEST_F(TextCtrlTest, ClicksPlaceTheCaretAndADoubleClickSelectsAWord)
{
    GuiTextCtrl* c = make(0, "hello world");
    const SDL_Point o{c->glyphLayout.glyphs()[7].x + 1, glyph(c, 7).y};
    click(gui.root, o.x, o.y, 1, 1000);
    EXPECT_EQ((std::pair{c->edit.cursor(), c->edit.hasSelection()}), (std::pair{7, false}));
    click(gui.root, o.x + 2, o.y, 1, 1300);
    EXPECT_EQ((std::pair{c->selectedText(), c->edit.cursor()}), (std::pair{std::string("world"), 11}));
    click(gui.root, o.x + 2, o.y, 1, 1800);
    EXPECT_FALSE(c->edit.hasSelection()) << "a third click 500 ms later only places the caret";
    click(gui.root, o.x + 6, o.y, 1, 1900);
    click(gui.root, o.x + 6, o.y, 1, 2400);
    EXPECT_FALSE(c->edit.hasSelection()) << "too far from the first click, then too late, for a double click";

    // Dragging selects and scrolls past the edge; motion without the button changes nothing.
    c = make(0, "hello world, this text is longer than the field", 100);
    keys({SDLK_HOME});
    const SDL_Point h = glyph(c, 0);
    press(gui.root, h.x - 3, h.y);
    motion(gui.root, glyph(c, 4).x + 5, h.y, SDL_BUTTON_LMASK);
    EXPECT_EQ(c->selectedText(), "hello");
    motion(gui.root, c->x + 140, h.y, SDL_BUTTON_LMASK);
    EXPECT_GT(c->scrollX, 0);
    release(gui.root, c->x + 140, h.y);
    motion(gui.root, h.x, h.y, 0);
    EXPECT_GT(c->edit.selEnd(), 5);
}

TEST_F(TextCtrlTest, CaretKeysMoveAndShiftExtends)
{
    GuiTextCtrl* c = make(0, "hello world");
    keys({SDLK_HOME, SDLK_LEFT});
    EXPECT_EQ(c->edit.cursor(), 0);
    keys({SDLK_RIGHT, SDLK_RIGHT, SDLK_RIGHT}, KMOD_SHIFT);
    EXPECT_EQ(c->selectedText(), "hel");
    keys({SDLK_END}, KMOD_LSHIFT);
    EXPECT_EQ(c->selectedText(), "hello world");
    keys({SDLK_LEFT});
    EXPECT_EQ((std::pair{c->edit.cursor(), c->edit.hasSelection()}), (std::pair{10, false}));
    keys({SDLK_RIGHT, SDLK_RIGHT});
    EXPECT_EQ(c->edit.cursor(), 11);

    // Up and down keep the column; a line feed is a place on its line.
    c = make(TextStyle::MultiLine, "abcd\nab\nabcd\nabcd\nabcd", 200, 72);
    c->edit.setCursor(3);
    struct Step {
        SDL_Keycode key;
        Uint16 mod;
        int cursor;
    } const steps[] = {{SDLK_DOWN, 0, 7}, {SDLK_UP, KMOD_SHIFT, 2}, {SDLK_UP, 0, 2},       {SDLK_PAGEDOWN, 0, 10},
                       {SDLK_PAGEDOWN, 0, 20}, {SDLK_DOWN, 0, 20}, {SDLK_END, 0, 22}, {SDLK_PAGEUP, 0, 12}};
    for (const Step& s : steps) {
        keys({s.key}, s.mod);
        EXPECT_EQ(c->edit.cursor(), s.cursor) << SDL_GetKeyName(s.key);
        EXPECT_EQ(c->selectedText(), s.mod ? "cd\nab" : "");
    }

    // A trailing line feed opens an empty last line.
    c = make(TextStyle::MultiLine, "ab\n", 200, 80);
    keys({SDLK_HOME});
    EXPECT_EQ(c->edit.cursor(), 3);
    keys({SDLK_UP, SDLK_END});
    EXPECT_EQ(c->edit.cursor(), 2);
    keys({SDLK_DOWN, SDLK_END});
    EXPECT_EQ(c->edit.cursor(), 3);
}

TEST_F(TextCtrlTest, EditingKeysTypingAndTheClipboardRespectReadOnlySingleLineAndPasswords)
{
    GuiTextCtrl* multi = make(TextStyle::MultiLine, "abc");
    int changes = 0;
    multi->setOnChange([&] { ++changes; });
    keys({SDLK_LEFT, SDLK_RETURN});
    EXPECT_EQ(multi->text(), "ab\nc");
    keys({SDLK_BACKSPACE});
    EXPECT_EQ(multi->text(), "abc");
    keys({SDLK_RETURN, SDLK_DELETE, SDLK_DELETE});
    keys({SDLK_b}, KMOD_LCTRL);
    EXPECT_EQ(multi->text(), "ab\n");
    EXPECT_EQ(changes, 4) << "a Delete at the end, or Ctrl with a key that means nothing here, changes nothing";
    keys({SDLK_LEFT, SDLK_LEFT}, KMOD_SHIFT);
    textInput(gui.root, "p!");
    EXPECT_EQ((std::pair{multi->text(), multi->edit.hasSelection()}), (std::pair{std::string("ap!"), false}));
    SDL_SetModState(KMOD_LCTRL);
    textInput(gui.root, "x");
    SDL_SetModState(KMOD_NONE);
    EXPECT_EQ(changes, 5) << "no typing with Ctrl held";

    GuiTextCtrl* single = make(0, "copy me");
    keys({SDLK_RETURN});
    keys({SDLK_a, SDLK_c}, KMOD_CTRL);
    EXPECT_EQ(clipboard(), "copy me");
    keys({SDLK_x}, KMOD_CTRL);
    EXPECT_EQ(single->text(), "");
    keys({SDLK_v, SDLK_v}, KMOD_CTRL);
    EXPECT_EQ((std::pair{single->text(), single->edit.cursor()}), (std::pair{std::string("copy mecopy me"), 14}));
    SDL_SetClipboardText("one\ntwo\r\nthree");
    keys({SDLK_a, SDLK_v}, KMOD_CTRL);
    EXPECT_EQ(single->text(), "one two  three") << "line breaks become spaces on a single line";
    multi = make(TextStyle::MultiLine);
    keys({SDLK_v}, KMOD_CTRL);
    EXPECT_EQ(multi->text(), "one\ntwo\r\nthree");

    GuiTextCtrl* ro = make(TextStyle::ReadOnly, "abc");
    keys({SDLK_BACKSPACE, SDLK_DELETE});
    textInput(gui.root, "x");
    keys({SDLK_a, SDLK_x, SDLK_v}, KMOD_CTRL);
    EXPECT_EQ((std::pair{ro->text(), ro->selectedText()}), (std::pair{std::string("abc"), std::string("abc")}));

    GuiTextCtrl* secret = make(TextStyle::Password | TextStyle::MultiLine, "hunter2");
    EXPECT_FALSE(secret->multiLine);
    keys({SDLK_a, SDLK_c, SDLK_x}, KMOD_CTRL);
    EXPECT_EQ(clipboard(), "one\ntwo\r\nthree") << "a password never reaches the clipboard";
    EXPECT_EQ(secret->text(), "hunter2");

    gui.root->setFocus(nullptr);
    textInput(gui.root, "x");
    EXPECT_EQ(secret->text(), "hunter2");
}

TEST_F(TextCtrlTest, ScrollingKeepsTheCaretInViewAndMovesByWholeLines)
{
    GuiTextCtrl* c = make(0, "", 80);
    for (int i = 0; i < 30; ++i)
        textInput(gui.root, "w");
    const TextGlyph& last = c->glyphLayout.glyphs().back();
    EXPECT_GT(c->scrollX, 0);
    EXPECT_LE(last.x + last.width + 2 - c->scrollX, c->x + c->w);
    keys({SDLK_HOME});
    EXPECT_EQ((std::pair{c->scrollX, c->wantsWheel()}), (std::pair{0, false}));

    std::string text;
    for (int i = 0; i < 12; ++i)
        text += "line " + std::to_string(i) + "\n";
    c = make(TextStyle::MultiLine, text, 150, 80);
    const int line = c->glyphLayout.lineHeight();
    ASSERT_TRUE(c->vScrollBar.visible && !c->hScrollBar.visible);
    EXPECT_EQ(c->scrollY % line, 0);
    EXPECT_GT(c->scrollY, 0) << "setText leaves the caret, at the end, in view";
    wheel(gui.root, c->x + 10, c->y + 10, 100);
    EXPECT_EQ(c->scrollY, 0);
    wheel(gui.root, c->x + 10, c->y + 10, -2);
    EXPECT_EQ(c->scrollY, 2 * line);
    keys({SDLK_DOWN}, KMOD_CTRL);
    EXPECT_EQ(c->scrollY, 3 * line);
    keys({SDLK_END}, KMOD_CTRL);
    EXPECT_EQ(c->scrollY, 0);

    // Dragging the thumb to the bottom shows the last line whole.
    const SDL_Rect thumb = c->vScrollBar.thumb;
    press(gui.root, thumb.x + 2, thumb.y + 2);
    motion(gui.root, thumb.x + 2, thumb.y + 200, SDL_BUTTON_LMASK);
    release(gui.root, thumb.x + 2, thumb.y + 200);
    EXPECT_EQ(c->scrollY % line, 0);
    EXPECT_LE(lineTop(c, int(c->glyphLayout.glyphs().size()) - 1) - c->scrollY + line, c->y + c->h);
    EXPECT_FALSE(c->vScrollBar.dragging);

    c->setText(std::string(60, 'x'));
    EXPECT_TRUE(c->hScrollBar.visible);
    keys({SDLK_END}, KMOD_CTRL);
    wheel(gui.root, c->x + 10, c->y + 10, 0, -1);
    EXPECT_EQ(c->scrollX, 40);
    wheel(gui.root, c->x + 10, c->y + 10, 0, 5);
    EXPECT_EQ(c->scrollX, 0);
    EXPECT_FALSE(make(TextStyle::MultiLine | TextStyle::WordWrap, c->text(), 150, 80, 200)->hScrollBar.visible)
        << "wrapped lines need no horizontal bar";
}

TEST_F(TextCtrlTest, AGlyphCutByTheLeftEdgeLeavesNoInkElsewhere)
{
    GuiTextCtrl* c = make(0, "W" + std::string(60, ' '));
    gui.root->setFocus(nullptr);  // no caret
    for (int scroll = 1; scroll < c->glyphLayout.glyphs()[0].x + c->glyphLayout.glyphs()[0].width; ++scroll) {
        c->scrollX = scroll;
        c->markDirty();
        gui.root->draw(gui.renderer);
        int darkest = 255;
        for (int yy = c->y + 2; yy < c->y + c->h - 2; ++yy)
            for (int xx = c->x + c->w / 2; xx < c->x + c->w - 2; ++xx)
                darkest = std::min(darkest, int(readPixel(gui.renderer, xx, yy).r));
        EXPECT_GT(darkest, 200) << scroll;
    }
}

TEST_F(TextCtrlTest, DrawsSelectionGlyphsAndCaret)
{
    GuiTextCtrl* c = make(0, "Hi there");
    gui.engine->appFlag = true;
    c->tick(1000);
    c->tick(1100);
    ASSERT_TRUE(c->active);
    c->edit.select(0, 2);
    gui.root->draw(gui.renderer);
    const int top = lineTop(c, 0);
    const SDL_Color selection = readPixel(gui.renderer, c->glyphLayout.glyphs()[0].x + 1, top + 1);
    EXPECT_EQ((std::pair{selection.r, selection.b}), (std::pair<Uint8, Uint8>{0, 255}));
    // The darkest and the brightest red over a glyph's box.
    auto redRange = [&](const TextGlyph& t) {
        std::pair<int, int> range{255, 0};
        for (int yy = top; yy < top + c->glyphLayout.lineHeight(); ++yy)
            for (int xx = t.x; xx < t.x + t.width; ++xx) {
                const int red = readPixel(gui.renderer, xx, yy).r;
                range = {std::min(range.first, red), std::max(range.second, red)};
            }
        return range;
    };
    EXPECT_LT(redRange(c->glyphLayout.glyphs()[3]).first, 80) << "unselected glyphs are drawn in black";
    EXPECT_GT(redRange(c->glyphLayout.glyphs()[0]).second, 200) << "selected ones in white";
    EXPECT_EQ(readPixel(gui.renderer, c->x + c->w - 3, c->y + c->h - 2).r, 255);

    c->edit.clearSelection();
    c->edit.setCursor(8);
    c->markDirty();
    gui.root->draw(gui.renderer);
    const TextGlyph& e = c->glyphLayout.glyphs()[7];
    const SDL_Color caret = readPixel(gui.renderer, e.x + e.width, top + 1);
    EXPECT_EQ((std::pair{caret.r, caret.g}), (std::pair<Uint8, Uint8>{0, 0}));
}
