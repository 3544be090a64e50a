// The language of the interface, and the toolkit's quiet standard output.

#include "support/GuiTestSupport.h"

#include "gui/GuiButton.h"
#include "gui/GuiCheckBox.h"
#include "gui/GuiMessages.h"
#include "gui/GuiText.h"
#include "gui/GuiTextCtrl.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

using namespace guitest;

namespace {

// Sets an environment variable for one scope, then puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name_, const char* value) : name(name_)
    {
        if (const char* old = std::getenv(name))
            previous = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { previous ? setenv(name, previous->c_str(), 1) : unsetenv(name); }

private:
    const char* name;
    std::optional<std::string> previous;
};

} // namespace

TEST(MessageLanguage, GermanOnlyWhenTheUsersFirstLanguageIsGerman)
{
    struct Case {
        const char* locale;
        const char* languageList;
        const char* expected;
    } const cases[] = {
        {"de_DE.UTF-8", nullptr, "de"}, {"de_AT.UTF-8", "", "de"},     {"en_US.UTF-8", "de:en", "de"},
        {"de_DE.UTF-8", "fr:de", "en"}, {"C.UTF-8", "de", "de"},       {"C.UTF-8", nullptr, "en"},
        {"C", "de", "en"},              {"POSIX", nullptr, "en"},      {nullptr, nullptr, "en"},
        {"denglisch", nullptr, "en"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseMessageLanguage(c.locale, c.languageList), c.expected)
            << (c.locale ? c.locale : "(none)") << " / " << (c.languageList ? c.languageList : "(none)");
}

// The toolkit's message ids are German: every other language, the C locale
// included, must get its English catalogue.
TEST(MessageLanguage, ToolkitTextsAreEnglishUnlessTheUserReadsGerman)
{
    struct Case {
        const char* locale;
        const char* languageList;
        const char* expected;
    } const cases[] = {
        {"C", nullptr, "Cancel"},
        {"C.UTF-8", "de", "Abbrechen"},
        {"C.UTF-8", "fr", "Cancel"},
    };
    for (const Case& c : cases) {
        ScopedEnv locale("LC_ALL", c.locale), language("LANGUAGE", c.languageList);
        GuiFixtureState gui;
        EXPECT_STREQ(guiText("Abbrechen"), c.expected) << c.locale << " / " << (c.languageList ? c.languageList : "");
    }
}

// Clicks, typing and new text fields print debug lines only on request.
TEST(DebugOutput, StandardOutputStaysEmptyUnlessFramewerkDebugIsOne)
{
    for (const char* flag : {static_cast<const char*>(nullptr), "0", "1"}) {
        ScopedEnv debug("FRAMEWERK_DEBUG", flag);
        GuiFixtureState gui;
        testing::internal::CaptureStdout();
        gui.root->add(new GuiButton(nullptr, 1, 10, 10, 80, 24, 0, "OK", uiFont, 0));
        gui.root->add(new GuiCheckBox(nullptr, 2, 10, 40, 80, 24, 0, "Box", uiFont, 0));
        gui.root->add(new GuiTextCtrl(nullptr, 3, 10, 70, 100, 24, 0xFFFFFFFF, ftFace, 0));
        click(gui.root, 20, 20);
        click(gui.root, 15, 45);
        click(gui.root, 20, 80);
        textInput(gui.root, "ab");
        key(gui.root, SDLK_SCROLLLOCK);
        const std::string out = testing::internal::GetCapturedStdout();
        if (flag && std::string(flag) == "1") {
            for (const char* line : {"BUTTON DOWN\nBUTTON DOWN\n", "Charmap 0: ", "CursorIndex 2 "})
                EXPECT_NE(out.find(line), std::string::npos) << line << " missing in:\n" << out;
        } else {
            EXPECT_EQ(out, "") << (flag ? flag : "(unset)");
        }
    }
}
