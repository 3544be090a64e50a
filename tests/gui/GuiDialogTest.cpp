// Modal dialogs: accept and cancel only while modal, the close notification
// and keyboard focus handed back.

#include "support/GuiTestSupport.h"

#include "gui/GuiButton.h"
#include "gui/GuiDialog.h"

#include "GuiProbe.h"

using namespace guitest;

namespace {

struct GuiDialogTest : ::testing::Test {
    void SetUp() override
    {
        record = gui.engine->createDialogWindow(gui.engine, "Open", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                                560, 460, SDL_WINDOW_HIDDEN, 0xFFC8C8C8);
        dialog = dynamic_cast<GuiDialog*>(record->root);
        ASSERT_NE(dialog, nullptr);
        field = static_cast<IEditable*>(gui.root->add(new EditableProbe(10, 10, 60, 20)));
        click(gui.root, 15, 15);
    }

    GuiFixtureState gui;
    AppWindow* record = nullptr;
    GuiDialog* dialog = nullptr;
    IEditable* field = nullptr;
};

} // namespace

TEST_F(GuiDialogTest, AcceptAndCancelPostTheirResultOnceAndHandTheKeyboardBack)
{
    dialog->accept();
    dialog->cancel();
    EXPECT_TRUE(gui.engine->notifications.empty()) << "not running yet: nothing to close";
    for (bool accept : {true, false}) {
        gui.engine->notifications.clear();
        gui.engine->beginModal(dialog);
        EXPECT_EQ(gui.engine->focusedEditable, nullptr);
        accept ? dialog->accept() : dialog->cancel();
        EXPECT_EQ(gui.engine->modalRoot, nullptr);
        EXPECT_EQ(gui.engine->focusedEditable, field);
        dialog->accept();
        dialog->cancel();
        ASSERT_EQ(gui.engine->notifications.size(), 1u) << "the second call finds no modal state";
        const GuiEvent& n = gui.engine->notifications[0];
        const Uint64 result = accept ? GuiDialog::Accepted : GuiDialog::Cancelled;
        EXPECT_EQ((std::vector<Uint64>{n.code, n.param, n.windowId}),
                  (std::vector<Uint64>{GuiNotify::DialogClosed, result, record->windowId}));
        EXPECT_EQ(n.source, dialog);
    }
    gui.engine->beginModal(dialog);
    EXPECT_TRUE(gui.engine->destroyWindow(record->windowId)) << "destroying the window ends it silently";
    EXPECT_EQ(gui.engine->modalRoot, nullptr);
    EXPECT_EQ(gui.engine->focusedEditable, field);
    EXPECT_EQ(gui.engine->notifications.size(), 1u);
}
