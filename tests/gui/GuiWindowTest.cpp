// Event routing through the root window: hit tests, capture, hover, focus,
// popups, deferred deletes, tooltips and the widget cache.

#include "support/GuiTestSupport.h"

#include "GuiProbe.h"

using namespace guitest;

namespace {

struct GuiWindowTest : ::testing::Test {
    template <class P = Probe> P* add(int x, int y, int w, int h) { return gui.root->add(new P(x, y, w, h)); }
    GuiFixtureState gui;
    GuiWindow* root = gui.root;
};

using Types = std::vector<Uint32>;

} // namespace

TEST_F(GuiWindowTest, HitTestsTakeTopLeftEdgesAndTheLaterChildWhereTheyOverlap)
{
    auto* a = add(10, 20, 30, 40);
    for (auto [x, y, hit] : {std::tuple{10, 20, true}, {39, 59, true}, {40, 30, false}, {20, 60, false},
                             {9, 30, false}})
        EXPECT_EQ(a->hitTest(x, y), hit ? a : nullptr) << x << ", " << y;
    auto* above = add(20, 30, 100, 100);
    click(root, 30, 40);
    EXPECT_TRUE(a->types.empty());
    EXPECT_EQ(above->local, (std::array{10, 10}));
}

TEST_F(GuiWindowTest, CaptureReceivesMotionAndReleaseOutsideTheWidget)
{
    auto* a = add(0, 0, 50, 50);
    auto* b = add(100, 0, 50, 50);
    press(root, 10, 10);
    motion(root, 120, 10, SDL_BUTTON_LMASK);
    release(root, 120, 10);
    EXPECT_TRUE(b->types.empty());
    EXPECT_EQ(a->types, (Types{SDL_MOUSEBUTTONDOWN, SDL_MOUSEMOTION, SDL_MOUSEBUTTONUP}));
    EXPECT_EQ(a->local[0], 120);
    press(root, 10, 10);
    root->releaseCapture();
    EXPECT_EQ(a->types.back(), Uint32(SDL_MOUSEBUTTONUP)) << "taking the capture away sends a release";
    EXPECT_EQ(root->capture, nullptr);
}

TEST_F(GuiWindowTest, HoverFollowsThePointerAndAPressMovesTheFocus)
{
    auto* a = add(0, 0, 50, 50);
    auto* b = add<EditableProbe>(100, 0, 50, 50);
    for (auto [x, hovered] : {std::pair<int, GuiObject*>{10, a}, {20, a}, {110, b}, {300, nullptr}}) {
        motion(root, x, 10);
        EXPECT_EQ(root->hovered, hovered) << x;
    }
    EXPECT_EQ((std::array{a->enters, a->leaves, b->enters, b->leaves}), (std::array{1, 1, 1, 1}));

    click(root, 10, 10);
    EXPECT_TRUE(a->focused);
    EXPECT_EQ(gui.engine->focusedEditable, nullptr);
    click(root, 110, 10);
    EXPECT_FALSE(a->focused);
    EXPECT_EQ(a->lostTo, b);
    EXPECT_EQ(gui.engine->focusedEditable, static_cast<IEditable*>(b));
    key(root, SDLK_a);
    EXPECT_EQ(b->types.back(), Uint32(SDL_KEYDOWN));
}

TEST_F(GuiWindowTest, WidgetDeletingItselfDuringDispatchIsGoneAfterwards)
{
    bool destroyed = false;
    auto* a = add<EditableProbe>(0, 0, 50, 50);
    a->destroyed = &destroyed;
    a->onEvent = [a](const SDL_Event&) { a->deleteLater(); };
    press(root, 10, 10);
    EXPECT_TRUE(destroyed && root->children.empty());
    EXPECT_EQ((std::array<void*, 3>{root->focus, root->capture, gui.engine->focusedEditable}),
              (std::array<void*, 3>{}));
    release(root, 10, 10);  // must not reach the deleted widget
}

TEST_F(GuiWindowTest, PopupGrabsKeysAndAReleaseAndAnOutsidePressOnlyClosesIt)
{
    auto* base = add(0, 0, 200, 300);
    auto* other = add(200, 0, 200, 300);
    root->setFocus(base);
    press(root, 10, 10);
    bool popupGone = false;
    auto* popup = new Probe(10, 10, 50, 50);
    popup->destroyed = &popupGone;
    root->openPopup(popup);
    EXPECT_FALSE(SDL_IsTextInputActive());
    key(root, SDLK_DOWN);
    release(root, 20, 20);
    EXPECT_EQ(popup->types, (Types{SDL_KEYDOWN, SDL_MOUSEBUTTONUP})) << "the press's release ends in the popup";
    EXPECT_EQ(root->capture, nullptr);
    press(root, 250, 200);
    EXPECT_TRUE(popupGone && root->popups.empty() && !root->popupGrab);
    EXPECT_EQ(base->types, (Types{SDL_MOUSEBUTTONDOWN})) << "neither the key nor the press that closed the popup";
    EXPECT_TRUE(other->types.empty() && SDL_IsTextInputActive());
    motion(root, 210, 10);
    EXPECT_EQ(root->hovered, other);
}

TEST_F(GuiWindowTest, TooltipShowsAfterHalfASecondOfRestInsideTheWindow)
{
    add(0, 0, 400, 300)->tooltip = "A rather long tooltip text";
    motion(root, 395, 295);
    // Holding a button on the widget hides it and keeps it hidden; the rest counts again after.
    const std::tuple<Uint32, bool, void (*)(GuiWindow*)> steps[] = {
        {1000, false, nullptr}, {1499, false, nullptr}, {1500, true, [](GuiWindow* w) { press(w, 395, 295); }},
        {1600, false, nullptr}, {5000, false, [](GuiWindow* w) { release(w, 395, 295); }},
        {5100, false, nullptr}, {5599, false, nullptr}, {5601, true, nullptr},
    };
    for (auto [time, visible, then] : steps) {
        root->tick(time);
        EXPECT_EQ(root->tooltipVisible, visible) << time;
        if (then)
            then(root);
    }
    SDL_SetRenderDrawColor(gui.renderer, 0, 0, 0, 255);
    SDL_RenderClear(gui.renderer);
    root->draw(gui.renderer);
    // Near the corner the box's bottom-right border pixel lies on the window's last pixel.
    EXPECT_EQ(readPixel(gui.renderer, 399, 299).r, 0);
    EXPECT_TRUE(near(readPixel(gui.renderer, 397, 297), SDL_Color{255, 255, 225, 255}));
}

TEST_F(GuiWindowTest, CachedWidgetsRedrawOnlyWhenDirty)
{
    // Software renderers skip the cache; force it to exercise what GPUs run.
    root->cacheProbed = root->cacheEnabled = true;
    auto* a = add(10, 10, 40, 30);
    auto* outside = add(390, 10, 40, 30);  // partly off the window
    auto red = [&] {
        root->draw(gui.renderer);
        return readPixel(gui.renderer, 20, 20).r;
    };
    a->colour = SDL_Color{200, 0, 0, 255};
    EXPECT_EQ(red(), 200);
    EXPECT_FALSE(a->dirty);
    a->colour = SDL_Color{0, 0, 200, 255};
    EXPECT_EQ(red(), 200) << "unchanged widgets come from their texture";
    a->markDirty();
    EXPECT_EQ(red(), 0);
    EXPECT_EQ((std::array{a->draws, outside->draws}), (std::array{2, 3})) << "off the window: never cached";
    a->w = 60;  // wider only: drawn afresh into a texture of the new size, not the old one stretched
    root->draw(gui.renderer);
    int textureWidth = 0;
    SDL_QueryTexture(a->cacheTexture, nullptr, nullptr, &textureWidth, nullptr);
    EXPECT_EQ((std::array{textureWidth, a->draws}), (std::array{60, 3}));
    root->resize(gui.renderer, 400, 300);  // holds caching off for a while
    root->draw(gui.renderer);
    EXPECT_EQ(a->draws, 4);
}
