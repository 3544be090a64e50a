#include "gui/TextEditModel.h"

#include <gtest/gtest.h>

TEST(TextEditModel, BadBytesBecomeReplacementCharactersAndEditsNeverSplitACharacter)
{
    TextEditModel m(false);
    m.setText("a\xC3(\x80");
    EXPECT_EQ(m.text(), "a\xEF\xBF\xBD(\xEF\xBF\xBD");
    EXPECT_EQ((std::pair{m.charCount(), m.cursor()}), (std::pair{4, 4}));

    // a, a-umlaut (2 bytes), euro (3 bytes), G clef (4 bytes), b
    m.setText("a\xC3\xA4\xE2\x82\xAC\xF0\x9D\x84\x9E" "b");
    ASSERT_EQ(m.charCount(), 5);
    for (int i = 0; i < 3; ++i)
        m.extendSelection(m.cursor() - 1);
    EXPECT_EQ(m.selectedText(), "\xE2\x82\xAC\xF0\x9D\x84\x9E" "b");
    EXPECT_EQ((std::pair{m.selStartByte(), m.selEndByte()}), (std::pair{11, 3}));
    m.setCursor(m.cursor() + 1);
    EXPECT_TRUE(m.erase(m.cursor() - 1, m.cursor()));
    EXPECT_EQ(m.text(), "a\xC3\xA4\xF0\x9D\x84\x9E" "b");
    EXPECT_TRUE(m.insert("\xC3\xBC"));
    EXPECT_EQ((std::pair{m.text(), m.cursor()}), (std::pair{std::string("a\xC3\xA4\xC3\xBC\xF0\x9D\x84\x9E" "b"), 3}));
    m.erase(m.cursor(), m.cursor() + 1);
    EXPECT_EQ(m.text(), "a\xC3\xA4\xC3\xBC" "b");
    m.setCursor(0);
    m.erase(0, 2);
    EXPECT_EQ(m.text(), "\xC3\xBC" "b");
    EXPECT_FALSE(m.erase(5, 9)) << "nothing past the end";
}
