#include "gui/GuiSaveFileDialog.h"

#include "gui/GuiText.h"
#include "gui/GuiTextCtrl.h"

#include "support/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

using namespace guitest;
namespace fs = std::filesystem;

namespace {

class SaveDialogTest : public ::testing::Test {
protected:
    SaveDialogTest() : gui(std::make_unique<GuiFixtureState>(560, 460))
    {
        std::string pattern = (fs::temp_directory_path() / "pathlark-save-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        dir = fs::canonical(pattern);
        fs::create_directory(dir / "sub");
        std::ofstream(dir / "old.png") << "old";
    }
    ~SaveDialogTest() override
    {
        // No window owns the dialog here, so nothing else takes the engine's keyboard focus off its field.
        if (dialog)
            dialog->setFocus(nullptr);
        dialog.reset();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    GuiSaveFileDialog& open(const std::string& start, const std::string& name = {})
    {
        dialog = std::make_unique<GuiSaveFileDialog>(gui->window, -1, 0, 0, 560, 460, 0xFFC8C8C8, start,
                                                     std::vector<std::string>{".png"}, name);
        return *dialog;
    }

    bool save(const std::string& name)
    {
        dialog->nameField->setText(name);
        dialog->accepted = false;
        dialog->accept();
        return dialog->accepted;
    }

    std::string content(const fs::path& path)
    {
        std::ostringstream text;
        text << std::ifstream(path).rdbuf();
        return text.str();
    }

    std::unique_ptr<GuiFixtureState> gui;
    std::unique_ptr<GuiSaveFileDialog> dialog;
    fs::path dir;
};

} // namespace

TEST_F(SaveDialogTest, NewNamesGetTheExtensionWhenItIsMissing)
{
    GuiSaveFileDialog& d = open(dir.string(), "ride.png");
    EXPECT_EQ(d.fileNameText(), "ride.png");
    const struct {
        const char* typed;
        const char* saved;
    } cases[] = {
        {"ride.png", "ride.png"}, {"map", "map.png"},          {"Map.PNG", "Map.PNG"},
        {"map.jpg", "map.jpg.png"}, {"sub/inner", "sub/inner.png"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(save(c.typed)) << c.typed;
        EXPECT_EQ(d.resultPath, (dir / c.saved).string());
    }
    EXPECT_TRUE(save((dir / "abs").string()));
    EXPECT_EQ(d.resultPath, (dir / "abs.png").string());
}

TEST_F(SaveDialogTest, ExistingFileIsReplacedOnlyAfterASecondSave)
{
    GuiSaveFileDialog& d = open(dir.string());
    gui->engine->beginModal(&d);
    EXPECT_FALSE(save("old"));
    EXPECT_EQ(d.messageText(), guiText("Datei existiert. Erneut Speichern ersetzt sie."));
    EXPECT_TRUE(save("old"));
    EXPECT_EQ(d.resultPath, (dir / "old.png").string());
    EXPECT_EQ(content(dir / "old.png"), "old") << "the dialog only names the file";

    // Typing takes the warning back: the next Save warns again.
    EXPECT_FALSE(save("old.png"));
    d.setFocus(d.nameField);
    textInput(&d, "x");
    EXPECT_EQ(d.messageText(), "");
    EXPECT_FALSE(save("old.png"));
}

TEST_F(SaveDialogTest, NamesThatCannotBeSaved)
{
    GuiSaveFileDialog& d = open(dir.string());
    EXPECT_FALSE(save(""));
    EXPECT_EQ(d.messageText(), guiText("Bitte einen Dateinamen eingeben."));
    EXPECT_FALSE(save("missing/map"));
    EXPECT_EQ(d.messageText(), guiText("Verzeichnis nicht gefunden: ") + (dir / "missing").string());

    EXPECT_FALSE(save("sub"));
    EXPECT_EQ(d.currentDir, (dir / "sub").string()) << "a folder's name enters it";

    // procfs refuses new files even to root, so this holds whoever runs the test.
    open("/proc/self");
    EXPECT_FALSE(save("map"));
    EXPECT_EQ(dialog->messageText(), guiText("Verzeichnis nicht beschreibbar: ") + dialog->currentDir);
}
