#include "gui/GuiOpenFileDialog.h"
#include "gui/GuiSaveFileDialog.h"

#include "gui/GuiComboBox.h"
#include "gui/GuiComboBoxDropDown.h"
#include "gui/GuiLabel.h"
#include "gui/GuiListCtrl.h"
#include "gui/GuiText.h"
#include "gui/GuiTextCtrl.h"

#include "support/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace guitest;
namespace fs = std::filesystem;

namespace {

// A directory tree in the temporary directory, removed again afterwards.
class FileDialogTest : public ::testing::Test {
protected:
    FileDialogTest() : gui(std::make_unique<GuiFixtureState>(560, 460))
    {
        std::string pattern = (fs::temp_directory_path() / "pathlark-dialog-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        dir = fs::canonical(pattern);
        for (const char* d : {"(old)", "-x", "Beta", "alpha", ".hidden", "locked"})
            fs::create_directory(dir / d);
        for (const char* f : {".gpx", "B.gpx", "a.gpx", "data.GPX", "data.Gpx", "notes.txt", "track.gpx.bak",
                              "noext", "alpha/inner.gpx"})
            std::ofstream(dir / f) << "x";
        fs::create_directory_symlink(dir / "alpha", dir / "link-dir");
        fs::create_symlink(dir / "a.gpx", dir / "link-file.gpx");
        fs::create_symlink(dir / "missing", dir / "dangling.gpx");
        fs::permissions(dir / "locked", fs::perms::none);
    }

    ~FileDialogTest() override
    {
        // The dialog is no window's root here: nothing else takes the engine's keyboard focus off its field.
        if (dialog)
            dialog->setFocus(nullptr);
        dialog.reset();
        std::error_code ignored;
        fs::permissions(dir / "locked", fs::perms::owner_all, ignored);
        fs::remove_all(dir, ignored);
    }

    GuiOpenFileDialog& open(const std::string& start, std::vector<std::string> extensions = {".gpx"})
    {
        auto* opened = new GuiOpenFileDialog(gui->window, -1, 0, 0, 560, 460, 0xFFC8C8C8, start, extensions);
        dialog.reset(opened);
        return *opened;
    }

    GuiSaveFileDialog& openSave(const std::string& start, const std::string& name = {})
    {
        auto* opened = new GuiSaveFileDialog(gui->window, -1, 0, 0, 560, 460, 0xFFC8C8C8, start, {".gpx"}, name);
        dialog.reset(opened);
        return *opened;
    }

    bool save(const std::string& name)
    {
        dialog->accepted = false;
        typeAndAccept(name);
        return dialog->accepted;
    }

    std::vector<std::string> rowTexts() const
    {
        std::vector<std::string> texts;
        for (const ListItem& item : dialog->fileList->items)
            texts.push_back(item.text);
        return texts;
    }

    int rowOf(const std::string& text) const
    {
        const auto texts = rowTexts();
        const auto it = std::find(texts.begin(), texts.end(), text);
        return it == texts.end() ? -1 : int(it - texts.begin());
    }

    void clickRow(const std::string& text, Uint8 clicks)
    {
        const int row = rowOf(text);
        ASSERT_GE(row, 0) << text;
        GuiListCtrl* list = dialog->fileList;
        const int y = list->y + row * list->itemHeight + list->itemHeight / 2 - list->scrollY;
        press(dialog.get(), list->x + 20, y, SDL_BUTTON_LEFT, clicks);
        release(dialog.get(), list->x + 20, y);
    }

    void typeAndAccept(const std::string& name)
    {
        dialog->nameField->setText(name);
        dialog->accept();
    }

    std::optional<GuiEvent> lastClose() const
    {
        for (auto it = gui->engine->notifications.rbegin(); it != gui->engine->notifications.rend(); ++it)
            if (it->code == GuiNotify::DialogClosed)
                return *it;
        return std::nullopt;
    }

    std::unique_ptr<GuiFixtureState> gui;
    std::unique_ptr<GuiFileDialog> dialog;
    fs::path dir;
};

} // namespace

TEST_F(FileDialogTest, ListsDirectoriesThenMatchingFilesInByteOrder)
{
    GuiOpenFileDialog& d = open(dir.string());
    EXPECT_EQ(d.currentDir, dir.string());
    const std::vector<std::string> expected{"[(old)]", "[-x]",  "[..]",     "[Beta]",   "[alpha]",
                                            "[link-dir]", "[locked]", "B.gpx", "a.gpx", "data.GPX",
                                            "data.Gpx", "link-file.gpx"};
    EXPECT_EQ(rowTexts(), expected);
    EXPECT_EQ(d.pathLabel->text, dir.string());
    EXPECT_EQ(d.messageText(), "");
    EXPECT_EQ(d.findByName("files"), d.fileList);
    EXPECT_EQ(d.findByName("filename"), d.nameField);

    open(dir.string(), {});
    for (const char* name : {"notes.txt", "noext", "track.gpx.bak", "B.gpx"})
        EXPECT_GE(rowOf(name), 0) << "without extensions every visible file: " << name;
    EXPECT_LT(rowOf(".gpx"), 0);
    EXPECT_LT(rowOf("[.hidden]"), 0);
    EXPECT_LT(rowOf("dangling.gpx"), 0) << "a link whose target is gone";
}

TEST_F(FileDialogTest, RootHasNoParentEntry)
{
    GuiOpenFileDialog& d = open("/");
    EXPECT_EQ(d.currentDir, "/");
    EXPECT_LT(rowOf("[..]"), 0);
    EXPECT_GE(rowOf("[" + dir.parent_path().filename().string() + "]"), 0);
}

TEST_F(FileDialogTest, DirectoryThatCannotBeReadLeavesTheListEmpty)
{
    fs::create_directory(dir / "vanishing");
    GuiOpenFileDialog& d = open((dir / "vanishing").string());
    ASSERT_EQ(rowTexts(), std::vector<std::string>{"[..]"});
    fs::remove(dir / "vanishing");
    d.refreshListing();
    EXPECT_TRUE(d.entries.empty());
    EXPECT_TRUE(d.fileList->items.empty());
    EXPECT_EQ(d.messageText(),
              guiText("Verzeichnis kann nicht gelesen werden: ") + (dir / "vanishing").string());
}

TEST_F(FileDialogTest, DirectoryWithoutReadPermission)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    GuiOpenFileDialog& d = open(dir.string());
    d.setDirectory((dir / "locked").string());
    EXPECT_TRUE(d.entries.empty());
    EXPECT_EQ(d.messageText(), guiText("Verzeichnis kann nicht gelesen werden: ") + (dir / "locked").string());
}

TEST_F(FileDialogTest, DoubleClickNeedsBothClicksOnOneRow)
{
    GuiOpenFileDialog& d = open(dir.string());
    gui->engine->beginModal(&d);
    clickRow("a.gpx", 1);
    EXPECT_EQ(d.fileNameText(), "a.gpx");
    clickRow("B.gpx", 2);
    EXPECT_EQ(d.fileNameText(), "B.gpx");
    EXPECT_FALSE(d.accepted) << "the first click of the pair fell on another row";
    EXPECT_FALSE(lastClose());

    clickRow("B.gpx", 2);
    EXPECT_TRUE(d.accepted);
    EXPECT_EQ(d.resultPath, (dir / "B.gpx").string());
    ASSERT_TRUE(lastClose());
    EXPECT_EQ(lastClose()->param, 1u);
}

TEST_F(FileDialogTest, DoubleClickOnDirectoriesWalksTheTree)
{
    GuiOpenFileDialog& d = open(dir.string());
    clickRow("[alpha]", 1);
    EXPECT_EQ(d.fileNameText(), "") << "a directory click only remembers the row";
    clickRow("[alpha]", 2);
    EXPECT_EQ(d.currentDir, (dir / "alpha").string());
    EXPECT_EQ(rowTexts(), (std::vector<std::string>{"[..]", "inner.gpx"}));
    clickRow("[..]", 1);
    clickRow("[..]", 2);
    EXPECT_EQ(d.currentDir, dir.string());

    clickRow("[link-dir]", 1);
    clickRow("[link-dir]", 2);
    EXPECT_EQ(d.currentDir, (dir / "alpha").string()) << "kept in canonical form";

    press(&d, d.fileList->x + 20, d.fileList->y + d.fileList->h - 5);
    EXPECT_EQ(d.lastClickedRow, -1) << "a click below the last row";
}

TEST_F(FileDialogTest, TypedNames)
{
    GuiOpenFileDialog& d = open(dir.string());
    typeAndAccept("");
    EXPECT_EQ(d.messageText(), guiText("Bitte eine Datei auswählen."));
    typeAndAccept("missing.gpx");
    EXPECT_EQ(d.messageText(), guiText("Datei nicht gefunden."));
    EXPECT_FALSE(d.accepted);

    typeAndAccept("alpha");
    EXPECT_FALSE(d.accepted) << "a directory name enters it";
    EXPECT_EQ(d.currentDir, (dir / "alpha").string());
    EXPECT_EQ(d.fileNameText(), "");

    gui->engine->beginModal(&d);
    typeAndAccept("../a.gpx");
    EXPECT_TRUE(d.accepted);
    EXPECT_EQ(fs::canonical(d.resultPath), dir / "a.gpx");
    ASSERT_TRUE(lastClose());
    EXPECT_EQ(lastClose()->param, 1u);

    d.accepted = false;
    typeAndAccept((dir / "notes.txt").string());
    EXPECT_TRUE(d.accepted);
    EXPECT_EQ(d.resultPath, (dir / "notes.txt").string()) << "an absolute name stands for itself";

    gui->engine->beginModal(&d);
    d.accepted = false;
    d.cancel();
    EXPECT_FALSE(d.accepted);
    ASSERT_TRUE(lastClose());
    EXPECT_EQ(lastClose()->param, 2u);
}

TEST_F(FileDialogTest, DriveBoxShowsTheDriveHoldingTheDirectory)
{
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    const std::string home = (dir / "home").string();
    fs::create_directories(dir / "home" / "sub");
    setenv("HOME", home.c_str(), 1);
    GuiOpenFileDialog& d = open(home + "/sub");
    if (oldHome)
        setenv("HOME", savedHome.c_str(), 1);
    else
        unsetenv("HOME");
    EXPECT_EQ(d.driveCombo->selectedText(), home);

    // So "/" is one click on the closed box and one on its row.
    click(&d, d.driveCombo->x + 10, d.driveCombo->y + 10);
    GuiListCtrl* drives = d.driveCombo->dropDownList();
    ASSERT_NE(drives, nullptr);
    click(&d, drives->x + 10, drives->y + drives->itemHeight / 2);
    ASSERT_FALSE(gui->engine->notifications.empty());
    d.dialogHook(gui->engine->notifications.back());
    EXPECT_EQ(d.currentDir, "/");
    EXPECT_EQ(d.driveCombo->selectedText(), "/");
}

TEST_F(FileDialogTest, NameThatIsNotUtf8IsListedReadablyAndOpensAsItIs)
{
    const std::string raw = "caf\xE9.gpx";  // Latin-1, as an old file system may hold it
    std::ofstream(dir / raw) << "x";
    GuiOpenFileDialog& d = open(dir.string());
    gui->engine->beginModal(&d);
    clickRow("caf\uFFFD.gpx", 1);
    d.accept();
    EXPECT_TRUE(d.accepted);
    EXPECT_EQ(d.resultPath, (dir / raw).string());
}

TEST_F(FileDialogTest, DriveSelectorOffersRootAndHome)
{
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    fs::create_directory(dir / "home");
    setenv("HOME", (dir / "home").c_str(), 1);
    GuiOpenFileDialog& d = open(dir.string());
    if (oldHome)
        setenv("HOME", savedHome.c_str(), 1);
    else
        unsetenv("HOME");

    ASSERT_EQ(d.driveCombo->items.size(), 2u);
    EXPECT_EQ(d.driveCombo->items[0].text, "/");
    EXPECT_EQ(d.driveCombo->items[1].text, (dir / "home").string());
    EXPECT_EQ(d.driveCombo->items[1].id, 1) << "the id is the position";

    d.driveCombo->select(1, true);
    ASSERT_FALSE(gui->engine->notifications.empty());
    d.dialogHook(gui->engine->notifications.back());
    EXPECT_EQ(d.currentDir, (dir / "home").string());

    // A drive that cannot be resolved any more leaves the listing alone.
    fs::remove(dir / "home");
    d.driveCombo->select(0, false);
    d.driveCombo->select(1, true);
    d.dialogHook(gui->engine->notifications.back());
    EXPECT_EQ(d.currentDir, (dir / "home").string());
    EXPECT_EQ(d.messageText(), guiText("Verzeichnis nicht gefunden: ") + (dir / "home").string());

    d.driveCombo->select(0, true);
    d.dialogHook(gui->engine->notifications.back());
    EXPECT_EQ(d.currentDir, "/");
}

TEST_F(FileDialogTest, SaveDialogTakesNewNamesAndAddsTheExtension)
{
    GuiSaveFileDialog& d = openSave(dir.string(), "ride.gpx");
    EXPECT_EQ(d.fileNameText(), "ride.gpx");
    for (auto [typed, saved] : {std::pair{"ride.gpx", "ride.gpx"}, {"map", "map.gpx"}, {"Map.GPX", "Map.GPX"},
                                {"map.txt", "map.txt.gpx"}, {"alpha/new", "alpha/new.gpx"}}) {
        EXPECT_TRUE(save(typed)) << typed;
        EXPECT_EQ(d.resultPath, (dir / saved).string());
    }
    EXPECT_FALSE(save(""));
    EXPECT_EQ(d.messageText(), guiText("Bitte einen Dateinamen eingeben."));
    EXPECT_FALSE(save("missing/map"));
    EXPECT_EQ(d.messageText(), guiText("Verzeichnis nicht gefunden: ") + (dir / "missing").string());
    EXPECT_FALSE(save("alpha"));
    EXPECT_EQ(d.currentDir, (dir / "alpha").string()) << "a folder's name enters it";

    // procfs takes no new files, not even from root, so this holds whoever runs the test.
    openSave("/proc/self");
    EXPECT_FALSE(save("map"));
    EXPECT_EQ(dialog->messageText(), guiText("Verzeichnis nicht beschreibbar: ") + dialog->currentDir);
}

TEST_F(FileDialogTest, SaveDialogReplacesAFileOnlyAfterASecondSave)
{
    GuiSaveFileDialog& d = openSave(dir.string());
    EXPECT_FALSE(save("a"));
    EXPECT_EQ(d.messageText(), guiText("Datei existiert. Erneut Speichern ersetzt sie."));
    EXPECT_TRUE(save("a"));
    EXPECT_EQ(d.resultPath, (dir / "a.gpx").string());

    // Typing takes the warning back, so the next Save warns again.
    EXPECT_FALSE(save("a.gpx"));
    d.setFocus(d.nameField);
    textInput(&d, "x");
    EXPECT_EQ(d.messageText(), "");
    EXPECT_FALSE(save("a.gpx"));
}
