// Modal dialogs: creation, accept and cancel only while modal, the 9999
// notification, keyboard focus handed back, and the main window kept quiet.

#include "support/GuiTestSupport.h"

#include "gui/GuiButton.h"
#include "gui/GuiText.h"
#include "gui/GuiDialog.h"
#include "gui/IEditable.h"

#include <gtest/gtest.h>

using namespace guitest;

namespace {

// Stands in for a text field: a widget the engine remembers as focused editable.
class EditableProbe : public GuiObject, public IEditable {
public:
    EditableProbe(int x, int y) : GuiObject(nullptr, 50, x, y, 60, 20, 0xFFFFFFFF) {}
    void handleEvent(GuiEvent&) override {}
};

class GuiDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        record = gui.engine->createDialogWindow(gui.engine, "Open", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                                560, 460, SDL_WINDOW_HIDDEN, 0xFFC8C8C8);
        ASSERT_NE(record, nullptr);
        dialog = dynamic_cast<GuiDialog*>(record->root);
        ASSERT_NE(dialog, nullptr);
    }
    int closeNotifications() const
    {
        int n = 0;
        for (const GuiEvent& e : gui.engine->notifications)
            n += e.code == GuiNotify::DialogClosed;
        return n;
    }
    // A focused editable in the main window.
    EditableProbe* focusedField()
    {
        auto* field = gui.root->add(new EditableProbe(10, 10));
        click(gui.root, 15, 15);
        EXPECT_EQ(gui.engine->focusedEditable, static_cast<IEditable*>(field));
        return field;
    }

    GuiFixtureState gui;
    AppWindow* record = nullptr;
    GuiDialog* dialog = nullptr;
};

} // namespace

TEST_F(GuiDialogTest, AcceptAndCancelPostTheirResultOnceAndOnlyWhileModal)
{
    EXPECT_EQ(dialog->w, 560);
    EXPECT_EQ(gui.engine->modalRoot, nullptr) << "creating is not yet running it";
    dialog->accept();
    dialog->cancel();
    EXPECT_EQ(closeNotifications(), 0);

    for (bool accept : {true, false}) {
        gui.engine->notifications.clear();
        gui.engine->beginModal(dialog);
        EXPECT_EQ(gui.engine->modalRoot, dialog);
        accept ? dialog->accept() : dialog->cancel();
        EXPECT_EQ(gui.engine->modalRoot, nullptr);
        ASSERT_EQ(gui.engine->notifications.size(), 1u);
        const GuiEvent& n = gui.engine->notifications[0];
        EXPECT_EQ(n.code, GuiNotify::DialogClosed);
        EXPECT_EQ(n.param, Uint32(accept ? GuiDialog::Accepted : GuiDialog::Cancelled));
        EXPECT_EQ(n.value, 0u);
        EXPECT_EQ(n.source, dialog);
        EXPECT_EQ(n.windowId, record->windowId);
        dialog->accept();
        dialog->cancel();
        EXPECT_EQ(closeNotifications(), 1) << "the second call finds no modal state";
    }
}

TEST_F(GuiDialogTest, KeyboardFocusReturnsToTheEditableThatHadIt)
{
    EditableProbe* field = focusedField();
    gui.engine->beginModal(dialog);
    EXPECT_EQ(gui.engine->focusedEditable, nullptr);
    EXPECT_EQ(gui.engine->savedEditable, static_cast<IEditable*>(field));
    dialog->cancel();
    EXPECT_EQ(gui.engine->focusedEditable, static_cast<IEditable*>(field));
}

TEST_F(GuiDialogTest, MainWindowButtonsAreSilentWhileTheDialogRuns)
{
    gui.root->add(new GuiButton(nullptr, 100, 10, 10, 90, 26, 0, "Open GPX", uiFont, 0));
    gui.engine->setModalForMain(gui.window);  // must not make the main window modal for itself
    gui.engine->setModalForMain(record);
    gui.engine->beginModal(dialog);
    click(gui.root, 20, 20);
    EXPECT_TRUE(gui.engine->notifications.empty());

    auto* ok = dialog->add(new GuiButton(nullptr, 1, 10, 10, 90, 26, 0, "OK", uiFont, 0));
    click(dialog, 20, 20);
    ASSERT_EQ(gui.engine->notifications.size(), 1u) << "the dialog's own buttons still report";
    EXPECT_EQ(gui.engine->notifications[0].source, ok);

    dialog->accept();
    gui.engine->notifications.clear();
    click(gui.root, 20, 20);
    ASSERT_EQ(gui.engine->notifications.size(), 1u) << "after the dialog the main window reports again";
    EXPECT_EQ(gui.engine->notifications[0].param, 100u);
}

TEST_F(GuiDialogTest, BeginModalReleasesAButtonHeldInTheMainWindow)
{
    auto* held = gui.root->add(new GuiButton(nullptr, 107, 10, 10, 32, 30, 0, "", uiFont, GuiButton::AutoRepeat));
    press(gui.root, 20, 20);
    ASSERT_TRUE(held->pressed);
    gui.engine->beginModal(dialog);
    EXPECT_FALSE(held->pressed);
    EXPECT_EQ(gui.root->capture, nullptr);
    held->tick(held->pressTime + 5000);
    EXPECT_TRUE(gui.engine->notifications.empty());
}

TEST_F(GuiDialogTest, DestroyingTheDialogWindowEndsTheModalStateSilently)
{
    EditableProbe* field = focusedField();
    gui.engine->beginModal(dialog);
    EXPECT_TRUE(gui.engine->destroyWindow(record->windowId));
    EXPECT_EQ(gui.engine->modalRoot, nullptr);
    EXPECT_EQ(gui.engine->focusedEditable, static_cast<IEditable*>(field));
    EXPECT_EQ(closeNotifications(), 0);
}
