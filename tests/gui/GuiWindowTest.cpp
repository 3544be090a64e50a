// Event routing through the root window: hit tests, capture, hover, focus,
// popups, deferred deletes and tooltips.

#include "support/GuiTestSupport.h"

#include "gui/GuiEngine.h"
#include "gui/GuiWindow.h"
#include "gui/IEditable.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>

using namespace guitest;

namespace {

// A plain widget that records what reaches it.
class Probe : public GuiObject {
public:
    Probe(int id, int x, int y, int w, int h) : GuiObject(nullptr, id, x, y, w, h, 0xFF808080) {}
    ~Probe() override { if (destroyed) *destroyed = true; }

    void handleEvent(GuiEvent& event) override
    {
        if (!event.sdlEvent)
            return;
        types.push_back(event.sdlEvent->type);
        lastLocalX = event.localX;
        lastLocalY = event.localY;
        if (deleteOnEvent)
            deleteLater();
    }
    void mouseEnter(int, int) override { ++enters; }
    void mouseLeave() override { ++leaves; }
    void focusLost(GuiObject* next) override { ++focusLosses; lostTo = next; }

    std::vector<Uint32> types;
    int lastLocalX = -999, lastLocalY = -999;
    int enters = 0, leaves = 0, focusLosses = 0;
    GuiObject* lostTo = nullptr;
    bool deleteOnEvent = false;
    bool* destroyed = nullptr;
};

class EditableProbe : public Probe, public IEditable {
public:
    using Probe::Probe;
};

class GuiWindowTest : public ::testing::Test {
protected:
    GuiFixtureState gui;
    GuiWindow* root() { return gui.root; }
};

} // namespace

TEST_F(GuiWindowTest, HitTestIncludesTopLeftEdgesAndExcludesBottomRight)
{
    auto* a = root()->add(new Probe(1, 10, 20, 30, 40));
    for (auto [x, y] : {std::pair{10, 20}, {39, 59}})
        EXPECT_EQ(a->hitTest(x, y), a) << x << ", " << y;
    for (auto [x, y] : {std::pair{40, 30}, {20, 60}, {9, 30}})
        EXPECT_EQ(a->hitTest(x, y), nullptr) << x << ", " << y;
    EXPECT_EQ(root()->hitTest(40, 30), root());
}

TEST_F(GuiWindowTest, LaterAddedChildWinsWhereChildrenOverlap)
{
    auto* below = root()->add(new Probe(1, 0, 0, 100, 100));
    auto* above = root()->add(new Probe(2, 50, 50, 100, 100));
    EXPECT_EQ(root()->hitTest(60, 60), above);
    click(root(), 60, 60);
    EXPECT_TRUE(below->types.empty());
    ASSERT_EQ(above->types.size(), 2u);
    EXPECT_EQ((std::array{above->lastLocalX, above->lastLocalY}), (std::array{10, 10}));
}

TEST_F(GuiWindowTest, AddOffsetsByWindowPositionAndMoveKeepsRelativePlacement)
{
    root()->move(5, 7);
    auto* a = root()->add(new Probe(1, 10, 10, 5, 5));
    EXPECT_EQ((std::array{a->x, a->y}), (std::array{15, 17}));
    root()->move(100, -1);
    EXPECT_EQ((std::array{a->x, a->y}), (std::array{110, 17}));
    EXPECT_EQ(a->window, root());
}

TEST_F(GuiWindowTest, FindByNameNeverMatchesEmptyNames)
{
    auto* a = root()->add(new Probe(1, 0, 0, 5, 5));
    EXPECT_EQ(root()->findByName(""), nullptr);
    a->name = "zoom";
    EXPECT_EQ(root()->findByName("zoom"), a);
    EXPECT_EQ(root()->findByName("Zoom"), nullptr);
    std::string untouched = "keep";
    EXPECT_FALSE(a->getValue(untouched));
    EXPECT_EQ(untouched, "keep");
}

TEST_F(GuiWindowTest, CaptureReceivesMotionAndReleaseOutsideTheWidget)
{
    auto* a = root()->add(new Probe(1, 0, 0, 50, 50));
    auto* b = root()->add(new Probe(2, 100, 0, 50, 50));
    press(root(), 10, 10);
    EXPECT_EQ(root()->capture, a);
    motion(root(), 120, 10, SDL_BUTTON_LMASK);
    release(root(), 120, 10);
    EXPECT_EQ(root()->capture, nullptr);
    EXPECT_TRUE(b->types.empty());
    EXPECT_EQ(a->types, (std::vector<Uint32>{SDL_MOUSEBUTTONDOWN, SDL_MOUSEMOTION, SDL_MOUSEBUTTONUP}));
    EXPECT_EQ(a->lastLocalX, 120);

    press(root(), 10, 10);
    root()->releaseCapture();
    EXPECT_EQ(a->types.back(), Uint32(SDL_MOUSEBUTTONUP)) << "taking the capture away sends a release";
    EXPECT_EQ(root()->capture, nullptr);
}

TEST_F(GuiWindowTest, HoverEntersAndLeavesAsThePointerMoves)
{
    auto* a = root()->add(new Probe(1, 0, 0, 50, 50));
    auto* b = root()->add(new Probe(2, 100, 0, 50, 50));
    motion(root(), 10, 10);
    EXPECT_EQ(root()->hovered, a);
    motion(root(), 20, 10);
    EXPECT_EQ(a->enters, 1);
    motion(root(), 110, 10);
    EXPECT_EQ(a->leaves, 1);
    EXPECT_EQ(b->enters, 1);
    motion(root(), 300, 200);
    EXPECT_EQ(b->leaves, 1);
    EXPECT_EQ(root()->hovered, nullptr);
}

TEST_F(GuiWindowTest, PressMovesFocusAndTellsTheOldFocus)
{
    auto* a = root()->add(new Probe(1, 0, 0, 50, 50));
    auto* b = root()->add(new EditableProbe(2, 100, 0, 50, 50));
    click(root(), 10, 10);
    EXPECT_TRUE(a->focused);
    EXPECT_EQ(gui.engine->focusedEditable, nullptr);
    click(root(), 110, 10);
    EXPECT_FALSE(a->focused);
    EXPECT_TRUE(b->focused);
    EXPECT_EQ(a->focusLosses, 1);
    EXPECT_EQ(a->lostTo, b);
    EXPECT_EQ(gui.engine->focusedEditable, static_cast<IEditable*>(b));
    key(root(), SDLK_a);
    EXPECT_EQ(b->types.back(), Uint32(SDL_KEYDOWN));
}

TEST_F(GuiWindowTest, WidgetDeletingItselfDuringDispatchIsGoneAfterwards)
{
    bool destroyed = false;
    auto* a = root()->add(new EditableProbe(1, 0, 0, 50, 50));
    a->destroyed = &destroyed;
    a->deleteOnEvent = true;
    press(root(), 10, 10);
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(root()->children.empty());
    EXPECT_EQ(root()->focus, nullptr);
    EXPECT_EQ(root()->capture, nullptr);
    EXPECT_EQ(gui.engine->focusedEditable, nullptr);
    release(root(), 10, 10);  // must not reach the deleted widget
}

TEST_F(GuiWindowTest, PopupGrabsKeysAndAnOutsidePressOnlyClosesIt)
{
    auto* base = root()->add(new Probe(1, 0, 0, 400, 300));
    root()->setFocus(base);
    bool popupGone = false;
    auto* popup = new Probe(2, 10, 10, 50, 50);
    popup->destroyed = &popupGone;
    root()->openPopup(popup);
    EXPECT_FALSE(SDL_IsTextInputActive());
    key(root(), SDLK_DOWN);
    EXPECT_EQ(popup->types.back(), Uint32(SDL_KEYDOWN));
    EXPECT_TRUE(base->types.empty());

    press(root(), 200, 200);
    EXPECT_TRUE(popupGone);
    EXPECT_TRUE(root()->popups.empty());
    EXPECT_EQ(root()->popupGrab, nullptr);
    EXPECT_TRUE(base->types.empty()) << "the press that closed the popup is used up";
    EXPECT_TRUE(SDL_IsTextInputActive());
}

TEST_F(GuiWindowTest, TooltipShowsAfterHalfASecondOfRestOnly)
{
    auto* a = root()->add(new Probe(1, 0, 0, 50, 50));
    a->tooltip = "Zoom in";
    motion(root(), 10, 10);
    root()->tick(1000);
    root()->tick(1499);
    EXPECT_FALSE(root()->tooltipVisible);
    root()->tick(1500);
    EXPECT_TRUE(root()->tooltipVisible);

    // Holding a button on the widget hides it and keeps it hidden.
    press(root(), 10, 10);
    for (Uint32 t : {1600u, 5000u})
        root()->tick(t);
    EXPECT_FALSE(root()->tooltipVisible);
    release(root(), 10, 10);
    root()->tick(5100);
    root()->tick(5599);
    EXPECT_FALSE(root()->tooltipVisible);
    root()->tick(5601);
    EXPECT_TRUE(root()->tooltipVisible);
}

TEST_F(GuiWindowTest, TooltipNearTheCornerStaysInsideTheWindow)
{
    auto* a = root()->add(new Probe(1, 0, 0, 400, 300));
    a->tooltip = "A rather long tooltip text";
    motion(root(), 395, 295);
    root()->tick(0);
    root()->tick(600);
    ASSERT_TRUE(root()->tooltipVisible);
    SDL_SetRenderDrawColor(gui.renderer, 0, 0, 0, 255);
    SDL_RenderClear(gui.renderer);
    root()->draw(gui.renderer);
    // The box's bottom-right border pixel lies on the window's last pixel.
    SDL_Color corner = readPixel(gui.renderer, 399, 299);
    EXPECT_EQ(corner.r, 0);
    SDL_Color inside = readPixel(gui.renderer, 397, 297);
    EXPECT_EQ((std::array{inside.r, inside.g, inside.b}), (std::array<Uint8, 3>{255, 255, 225}));
}

TEST_F(GuiWindowTest, ReleaseIntoAPopupEndsThePressCapture)
{
    auto* opener = root()->add(new Probe(1, 0, 0, 100, 100));
    auto* other = root()->add(new Probe(2, 200, 0, 100, 100));
    press(root(), 10, 10);
    ASSERT_EQ(root()->capture, opener);
    auto* popup = new Probe(3, 0, 100, 100, 100);
    root()->openPopup(popup);
    release(root(), 10, 150);
    EXPECT_EQ(root()->capture, nullptr);
    EXPECT_EQ(popup->types.back(), Uint32(SDL_MOUSEBUTTONUP));
    root()->closeAllPopups();
    root()->flushPendingDeletes();
    motion(root(), 210, 10);
    EXPECT_EQ(root()->hovered, other);
}

namespace {

// A widget the window may cache: it draws its colour and counts its draws.
class CachedProbe : public Probe {
public:
    using Probe::Probe;
    bool isCacheable() override { return true; }
    void draw(SDL_Renderer* renderer) override
    {
        ++draws;
        GuiObject::draw(renderer);
    }
    int draws = 0;
};

} // namespace

TEST_F(GuiWindowTest, CachedWidgetsRedrawOnlyWhenDirty)
{
    // Software renderers skip the cache; force it to exercise what GPUs run.
    root()->cacheProbed = true;
    root()->cacheEnabled = true;
    auto* a = root()->add(new CachedProbe(1, 10, 10, 40, 30));
    auto* outside = root()->add(new CachedProbe(2, 390, 10, 40, 30));  // partly off the window
    a->colour = SDL_Color{200, 0, 0, 255};

    root()->draw(gui.renderer);
    EXPECT_EQ(readPixel(gui.renderer, 20, 20).r, 200);
    ASSERT_NE(a->cacheTexture, nullptr);
    EXPECT_FALSE(a->dirty);

    // Unchanged widgets come from their texture; a stale colour proves it.
    a->colour = SDL_Color{0, 0, 200, 255};
    root()->draw(gui.renderer);
    EXPECT_EQ(a->draws, 1);
    EXPECT_EQ(readPixel(gui.renderer, 20, 20).r, 200);

    a->markDirty();
    root()->draw(gui.renderer);
    EXPECT_EQ(a->draws, 2);
    SDL_Color now = readPixel(gui.renderer, 20, 20);
    EXPECT_EQ(now.r, 0);
    EXPECT_EQ(now.b, 200);
    EXPECT_EQ(outside->draws, 3);  // never cached: it draws itself every frame

    // A resize holds caching off for a while, drawing everything directly.
    root()->resize(gui.renderer, 400, 300);
    root()->draw(gui.renderer);
    EXPECT_EQ(a->draws, 3);
}
