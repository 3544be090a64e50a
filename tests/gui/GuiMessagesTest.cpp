// The language of the interface, chosen as gettext would choose it.

#include "gui/GuiMessages.h"

#include <gtest/gtest.h>

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
