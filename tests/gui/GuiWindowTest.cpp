// Event routing through the root window when a widget goes away in the middle of it.

#include "support/GuiTestSupport.h"

#include "GuiProbe.h"

using namespace guitest;

TEST(GuiWindowTest, WidgetDeletingItselfDuringDispatchIsGoneAfterwards)
{
    GuiFixtureState gui;
    GuiWindow* root = gui.root;
    bool destroyed = false;
    auto* a = root->add(new EditableProbe(0, 0, 50, 50));
    a->destroyed = &destroyed;
    a->onEvent = [a](const SDL_Event&) { a->deleteLater(); };
    press(root, 10, 10);
    EXPECT_TRUE(destroyed && root->children.empty());
    EXPECT_EQ((std::array<void*, 3>{root->focus, root->capture, gui.engine->focusedEditable}),
              (std::array<void*, 3>{}));
    release(root, 10, 10);  // must not reach the deleted widget
}
