#include "gui/GuiOpenFileDialog.h"
#include "gui/GuiSaveFileDialog.h"

#include "gui/GuiComboBox.h"
#include "gui/GuiLabel.h"
#include "gui/GuiListCtrl.h"
#include "gui/GuiTextCtrl.h"

#include "support/GuiTestSupport.h"

#include <filesystem>

using namespace guitest;
namespace fs = std::filesystem;

namespace {

// A directory tree in the temporary directory, removed again afterwards.
struct FileDialogTest : ::testing::Test {
    FileDialogTest() : gui(std::make_unique<GuiFixtureState>(560, 460))
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
        for (const char* d : {"(old)", "-x", "Beta", "alpha", ".hidden", "home", "homework"})
            fs::create_directory(dir / d);
        for (const char* f : {".gpx", "B.gpx", "a.gpx", "data.GPX", "data.Gpx", "notes.txt", "track.gpx.bak",
                              "noext", "alpha/inner.gpx"})
            std::ofstream(dir / f) << "x";
        fs::create_directory_symlink(dir / "alpha", dir / "link-dir");
        fs::create_symlink(dir / "a.gpx", dir / "link-file.gpx");
        fs::create_symlink(dir / "missing", dir / "dangling.gpx");
    }
    ~FileDialogTest() override
    {
        // The dialog is no window's root here: nothing else takes the engine's keyboard focus off its field.
        if (dialog)
            dialog->setFocus(nullptr);
        dialog.reset();
        fs::remove_all(dir);
    }
    // Opens the dialog with HOME pointing into the test tree.
    template <class Dialog = GuiOpenFileDialog, class... Args> Dialog& open(const std::string& start, Args... args)
    {
        const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
        setenv("HOME", (dir / "home").c_str(), 1);
        auto* opened = new Dialog(gui->window, -1, 0, 0, 560, 460, 0xFFC8C8C8, start, args...);
        setenv("HOME", savedHome.c_str(), 1);
        if (dialog)
            dialog->setFocus(nullptr);
        dialog.reset(opened);
        return *opened;
    }
    // Types a name and presses the dialog's OK; whether it closed.
    bool accept(const std::string& name)
    {
        dialog->accepted = false;
        dialog->nameField->setText(name);
        dialog->accept();
        return dialog->accepted;
    }
    std::vector<std::string> rowTexts() const
    {
        std::vector<std::string> texts;
        for (const ListItem& item : dialog->fileList->items)
            texts.push_back(item.text);
        return texts;
    }
    void clickRow(const std::string& text, Uint8 clicks)
    {
        const auto texts = rowTexts();
        const int row = int(std::find(texts.begin(), texts.end(), text) - texts.begin());
        ASSERT_LT(row, int(texts.size())) << text;
        GuiListCtrl* list = dialog->fileList;
        const int y = list->y + row * list->itemHeight + list->itemHeight / 2 - list->scrollY;
        press(dialog.get(), list->x + 20, y, SDL_BUTTON_LEFT, clicks);
        release(dialog.get(), list->x + 20, y);
    }
    void doubleClickRow(const std::string& text) { clickRow(text, 1), clickRow(text, 2); }
    // The param of every close notification: 1 accepted, 2 cancelled.
    std::vector<Uint32> closes() const
    {
        std::vector<Uint32> out;
        for (const GuiEvent& e : gui->engine->notifications)
            if (e.code == GuiNotify::DialogClosed)
                out.push_back(e.param);
        return out;
    }

    std::unique_ptr<GuiFixtureState> gui;
    std::unique_ptr<GuiFileDialog> dialog;
    // Canonical, as the dialog shows directories; one per process, as other builds may run the suite too.
    const fs::path dir =
        fs::weakly_canonical(fs::temp_directory_path()) / ("pathlark-dialog-" + std::to_string(getpid()));
};

} // namespace

TEST_F(FileDialogTest, ListsDirectoriesThenMatchingFilesInByteOrder)
{
    GuiOpenFileDialog& d = open(dir.string(), std::vector<std::string>{".gpx"});
    EXPECT_EQ(rowTexts(), (std::vector<std::string>{"[(old)]", "[-x]", "[..]", "[Beta]", "[alpha]", "[home]",
                                                    "[homework]", "[link-dir]", "B.gpx", "a.gpx", "data.GPX",
                                                    "data.Gpx", "link-file.gpx"}));
    EXPECT_EQ(d.pathLabel->text, dir.string());
    open(dir.string(), std::vector<std::string>{});
    const auto all = rowTexts();
    for (const char* name : {"notes.txt", "noext", "track.gpx.bak", "dangling.gpx"})
        EXPECT_EQ(std::count(all.begin(), all.end(), name), name[0] == 'd' ? 0 : 1) << "all but a dangling link";
    open("/", std::vector<std::string>{});
    EXPECT_NE(rowTexts().at(0), "[..]") << "the root has no parent";
}

TEST_F(FileDialogTest, DoubleClickNeedsBothClicksOnOneRowAndWalksIntoDirectories)
{
    GuiOpenFileDialog& d = open(dir.string(), std::vector<std::string>{".gpx"});
    gui->engine->beginModal(&d);
    const std::pair<const char*, fs::path> steps[] = {
        {"[alpha]", dir / "alpha"}, {"[..]", dir}, {"[link-dir]", dir / "alpha"},  // kept in canonical form
        {"[..]", dir}, {"[(old)]", dir / "(old)"}, {"[..]", dir},                 // the first row counts too
    };
    for (const auto& [row, reached] : steps) {
        doubleClickRow(row);
        EXPECT_EQ(d.currentDir, reached.string()) << row;
    }
    clickRow("[alpha]", 1);
    EXPECT_EQ(d.fileNameText(), "") << "a directory click only remembers the row";
    clickRow("a.gpx", 1);
    clickRow("B.gpx", 2);
    EXPECT_EQ(d.fileNameText(), "B.gpx");
    EXPECT_TRUE(closes().empty()) << "the first click of the pair fell on another row";
    press(&d, d.fileList->x + 20, d.fileList->y + d.fileList->h - 5);
    clickRow("B.gpx", 2);
    EXPECT_TRUE(closes().empty()) << "a click below the last row forgets the row";
    clickRow("B.gpx", 2);
    EXPECT_EQ(d.resultPath, (dir / "B.gpx").string());
    EXPECT_EQ(closes(), std::vector<Uint32>{1});
}

TEST_F(FileDialogTest, TypedNamesOpenEnterOrComplain)
{
    GuiOpenFileDialog& d = open(dir.string(), std::vector<std::string>{".gpx"});
    gui->engine->beginModal(&d);
    const std::pair<const char*, const char*> refused[] = {
        {"", "Bitte eine Datei auswählen."}, {"missing.gpx", "Datei nicht gefunden."}};
    for (auto [typed, message] : refused) {
        EXPECT_FALSE(accept(typed));
        EXPECT_EQ(d.messageText(), guiText(message));
    }
    EXPECT_FALSE(accept("alpha")) << "a directory name enters it";
    EXPECT_EQ(d.currentDir, (dir / "alpha").string());
    EXPECT_TRUE(accept("../a.gpx"));
    EXPECT_EQ(fs::canonical(d.resultPath), dir / "a.gpx");
    gui->engine->beginModal(&d);
    EXPECT_TRUE(accept((dir / "notes.txt").string()));
    EXPECT_EQ(d.resultPath, (dir / "notes.txt").string()) << "an absolute name stands for itself";
    gui->engine->beginModal(&d);
    d.accepted = true;
    d.cancel();
    EXPECT_FALSE(d.accepted);
    EXPECT_EQ(closes(), (std::vector<Uint32>{1, 1, 2}));

    const std::string raw = "caf\xE9.gpx";  // Latin-1, as an old file system may hold it
    std::ofstream(dir / raw) << "x";
    open(dir.string(), std::vector<std::string>{".gpx"});
    clickRow("caf\uFFFD.gpx", 1);
    dialog->accept();
    EXPECT_EQ(dialog->resultPath, (dir / raw).string()) << "listed readably, opened as it is";
}

TEST_F(FileDialogTest, DriveBoxOffersRootAndHomeAndShowsTheOneHoldingTheDirectory)
{
    GuiOpenFileDialog& d = open((dir / "home").string(), std::vector<std::string>{".gpx"});
    auto pickDrive = [&](int index) {  // as the application hands the box's notification on
        d.driveCombo->select(index, true);
        d.dialogHook(gui->engine->notifications.back());
    };
    EXPECT_EQ(d.driveCombo->selectedText(), (dir / "home").string());
    doubleClickRow("[..]");
    EXPECT_EQ(d.driveCombo->selectedText(), "/");
    doubleClickRow("[homework]");
    EXPECT_EQ(d.driveCombo->selectedText(), "/") << "a longer name is not inside the home folder";
    pickDrive(1);
    EXPECT_EQ(d.currentDir, (dir / "home").string());
    pickDrive(0);
    EXPECT_EQ(d.currentDir, "/");

    // A drive that cannot be resolved any more leaves the listing alone.
    fs::remove(dir / "home");
    pickDrive(1);
    EXPECT_EQ(d.currentDir, "/");
    EXPECT_EQ(d.driveCombo->selectedText(), "/");
    EXPECT_EQ(d.messageText(), guiText("Verzeichnis nicht gefunden: ") + (dir / "home").string());

    // A home folder that is gone is not offered as a drive.
    GuiOpenFileDialog& again = open(dir.string(), std::vector<std::string>{".gpx"});
    again.driveCombo->select(1, false);
    EXPECT_EQ(again.driveCombo->selectedText(), "");
}

TEST_F(FileDialogTest, SaveDialogAddsTheExtensionAndReplacesOnlyAfterASecondSave)
{
    const std::vector<std::string> gpx{".gpx"};
    GuiSaveFileDialog& d = open<GuiSaveFileDialog>(dir.string(), gpx, "ride.gpx");
    EXPECT_EQ(d.fileNameText(), "ride.gpx");
    for (auto [typed, saved] : {std::pair{"ride.gpx", "ride.gpx"}, {"map", "map.gpx"}, {"Map.GPX", "Map.GPX"},
                                {"map.txt", "map.txt.gpx"}, {"alpha/new", "alpha/new.gpx"}}) {
        EXPECT_TRUE(accept(typed)) << typed;
        EXPECT_EQ(d.resultPath, (dir / saved).string());
    }
    const std::pair<const char*, std::string> refused[] = {
        {"", guiText("Bitte einen Dateinamen eingeben.")},
        {"missing/map", guiText("Verzeichnis nicht gefunden: ") + (dir / "missing").string()},
        {"a", guiText("Datei existiert. Erneut Speichern ersetzt sie.")}};
    for (const auto& [typed, message] : refused) {
        EXPECT_FALSE(accept(typed)) << typed;
        EXPECT_EQ(d.messageText(), message);
    }
    EXPECT_TRUE(accept("a"));
    EXPECT_EQ(d.resultPath, (dir / "a.gpx").string());
    // Typing takes the warning back, so the next Save warns again.
    EXPECT_FALSE(accept("a.gpx"));
    d.setFocus(d.nameField);
    textInput(&d, "x");
    EXPECT_EQ(d.messageText(), "");
    EXPECT_FALSE(accept("a.gpx"));

    // procfs takes no new files, not even from root, so this holds whoever runs the test.
    open<GuiSaveFileDialog>("/proc/self", gpx, std::string());
    EXPECT_FALSE(accept("map"));
    EXPECT_EQ(dialog->messageText(), guiText("Verzeichnis nicht beschreibbar: ") + dialog->currentDir);
}
