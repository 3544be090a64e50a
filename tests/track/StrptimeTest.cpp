#include "track/Strptime.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

constexpr int kUntouched = 77;

std::tm untouchedTm()
{
    std::tm tm {};
    tm.tm_sec = tm.tm_min = tm.tm_hour = tm.tm_mday = tm.tm_mon = tm.tm_year = kUntouched;
    tm.tm_wday = tm.tm_yday = kUntouched;
    return tm;
}

// Parses the whole text; fails the test when something is left over.
std::optional<std::tm> parseAll(const char* text, const char* format)
{
    std::tm tm = untouchedTm();
    const char* end = pathlark::strptime(text, format, &tm);
    if (!end)
        return std::nullopt;
    EXPECT_EQ(*end, '\0') << format << " on \"" << text << "\" left \"" << end << '"';
    return tm;
}

struct Field {
    const char* format;
    int std::tm::*member;
    const char* text;
    int stored;
};

} // namespace

TEST(Strptime, NumericFieldsAcceptTheirBoundsAndStoreAdjustedValues)
{
    const Field cases[] = {
        { "%Y", &std::tm::tm_year, "0", -1900 }, { "%Y", &std::tm::tm_year, "9999", 8099 },
        { "%m", &std::tm::tm_mon, "1", 0 }, { "%m", &std::tm::tm_mon, "12", 11 },
        { "%d", &std::tm::tm_mday, "1", 1 }, { "%e", &std::tm::tm_mday, "31", 31 },
        { "%H", &std::tm::tm_hour, "0", 0 }, { "%k", &std::tm::tm_hour, "23", 23 },
        { "%I", &std::tm::tm_hour, "1", 1 }, { "%l", &std::tm::tm_hour, "12", 0 },
        { "%M", &std::tm::tm_min, "59", 59 }, { "%S", &std::tm::tm_sec, "61", 61 },
        { "%j", &std::tm::tm_yday, "1", 0 }, { "%j", &std::tm::tm_yday, "366", 365 },
        { "%w", &std::tm::tm_wday, "6", 6 }, { "%C%y", &std::tm::tm_year, "1905", 5 },
        { "%y", &std::tm::tm_year, "68", 168 }, { "%y", &std::tm::tm_year, "69", 69 },
        { "%C", &std::tm::tm_year, "20", 100 }, { "%Ey", &std::tm::tm_year, "00", 100 },
        { "%Od", &std::tm::tm_mday, "07", 7 },
    };
    for (const Field& field : cases) {
        auto tm = parseAll(field.text, field.format);
        ASSERT_TRUE(tm) << field.format << " on " << field.text;
        EXPECT_EQ((*tm).*field.member, field.stored) << field.format << " on " << field.text;
    }
}

TEST(Strptime, ValuesOutsideTheBoundsOrNotDigitsFail)
{
    const std::pair<const char*, const char*> cases[] = {
        { "%m", "0" }, { "%m", "13" }, { "%d", "0" }, { "%d", "32" }, { "%H", "24" }, { "%I", "0" },
        { "%I", "13" }, { "%W", "54" }, { "%S", "62" }, { "%j", "0" }, { "%j", "367" }, { "%w", "7" },
        { "%U", "54" }, { "%d", " 5" }, { "%d", "+5" }, { "%d", "-5" }, { "%Y", "" },
        { "%Y", "x" }, { "%Q", "1" }, { "%", "%" }, { "%EEd", "1" }, { "-", "+" },
    };
    for (auto [format, text] : cases) {
        std::tm tm = untouchedTm();
        EXPECT_EQ(pathlark::strptime(text, format, &tm), nullptr) << format << " on \"" << text << '"';
    }
}

TEST(Strptime, UpperBoundLimitsHowManyDigitsAreRead)
{
    std::tm tm = untouchedTm();
    const char* text = "20230819";
    EXPECT_EQ(pathlark::strptime(text, "%Y%m%d", &tm), text + 8);
    EXPECT_EQ(tm.tm_year, 123);
    EXPECT_EQ(tm.tm_mon, 7);
    EXPECT_EQ(tm.tm_mday, 19);
    // "25" as a month is "2" followed by "5"; a year has at most four digits.
    const char* month = "25";
    EXPECT_EQ(pathlark::strptime(month, "%m", &tm), month + 1);
    EXPECT_EQ(tm.tm_mon, 1);
    const char* minute = "60";
    EXPECT_EQ(pathlark::strptime(minute, "%M", &tm), minute + 1);
    const char* year = "10000";
    EXPECT_EQ(pathlark::strptime(year, "%Y", &tm), year + 4);
    EXPECT_EQ(tm.tm_year, 1000 - 1900);
}

TEST(Strptime, CompositesExpandToTheirPatterns)
{
    auto date = parseAll("08/19/23", "%D");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->tm_mon, 7);
    EXPECT_EQ(date->tm_mday, 19);
    EXPECT_EQ(date->tm_year, 123);
    EXPECT_TRUE(parseAll("12/31/99", "%x"));

    auto time = parseAll("13:45:59", "%T");
    ASSERT_TRUE(time);
    EXPECT_EQ(time->tm_hour, 13);
    EXPECT_EQ(time->tm_min, 45);
    EXPECT_EQ(time->tm_sec, 59);
    EXPECT_TRUE(parseAll("13:45:59", "%X"));
    // Only the fields the pattern names are written.
    auto shortTime = parseAll("07:05", "%R");
    ASSERT_TRUE(shortTime);
    EXPECT_EQ(shortTime->tm_sec, kUntouched);
    EXPECT_EQ(shortTime->tm_mday, kUntouched);
    EXPECT_EQ(parseAll("53", "%W")->tm_yday, kUntouched);

    auto afternoon = parseAll("01:45:59   pm", "%r");
    ASSERT_TRUE(afternoon);
    EXPECT_EQ(afternoon->tm_hour, 13);
}

TEST(Strptime, MeridiemAdjustsTwelveHourClock)
{
    EXPECT_EQ(parseAll("12 AM", "%I %p")->tm_hour, 0);
    EXPECT_EQ(parseAll("12 PM", "%I %p")->tm_hour, 12);
    EXPECT_EQ(parseAll("11pm", "%l%p")->tm_hour, 23);
    EXPECT_FALSE(parseAll("13 PM", "%H %p"));
    EXPECT_FALSE(parseAll("1 XM", "%I %p"));
}

TEST(Strptime, NamesMatchFullOrAbbreviatedInAnyCase)
{
    EXPECT_EQ(parseAll("Sat", "%a")->tm_wday, 6);
    EXPECT_EQ(parseAll("SUNDAY", "%A")->tm_wday, 0);
    EXPECT_EQ(parseAll("march", "%B")->tm_mon, 2);
    EXPECT_EQ(parseAll("Aug", "%b")->tm_mon, 7);
    EXPECT_EQ(parseAll("dec", "%h")->tm_mon, 11);
    EXPECT_FALSE(parseAll("Sa", "%a"));
    EXPECT_FALSE(parseAll("Mrz", "%b"));
}

TEST(Strptime, WhiteSpaceAndLiteralsInThePattern)
{
    EXPECT_TRUE(parseAll("10   30", "%H %M"));
    EXPECT_TRUE(parseAll("1030", "%H %M"));
    EXPECT_TRUE(parseAll("10\n\t30", "%H%n%M"));
    EXPECT_TRUE(parseAll("10%", "%H%%"));
    EXPECT_FALSE(parseAll("10-30", "%H:%M"));
    EXPECT_FALSE(parseAll("10:30", "%H: %M:"));
}
