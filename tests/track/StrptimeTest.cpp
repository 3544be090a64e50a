// Our strptime: the fields, their bounds and the patterns it takes.

#include "track/Strptime.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

constexpr int kUntouched = 77;

// Parses the whole text; fails the test when something is left over.
std::optional<std::tm> parseAll(const char* text, const char* format)
{
    std::tm tm{};
    tm.tm_sec = tm.tm_min = tm.tm_hour = tm.tm_mday = tm.tm_mon = tm.tm_year = tm.tm_wday = tm.tm_yday = kUntouched;
    const char* end = pathlark::strptime(text, format, &tm);
    if (!end)
        return std::nullopt;
    EXPECT_EQ(*end, '\0') << format << " on \"" << text << "\" left \"" << end << '"';
    return tm;
}

} // namespace

TEST(Strptime, FieldsAcceptTheirBoundsAndStoreAdjustedValues)
{
    using T = std::tm;
    const struct {
        const char *format, *text;
        int T::*member;
        int stored;
    } cases[] = {
        {"%Y", "0", &T::tm_year, -1900}, {"%Y", "9999", &T::tm_year, 8099}, {"%m", "1", &T::tm_mon, 0},
        {"%m", "12", &T::tm_mon, 11}, {"%d", "1", &T::tm_mday, 1}, {"%e", "31", &T::tm_mday, 31},
        {"%H", "0", &T::tm_hour, 0}, {"%k", "23", &T::tm_hour, 23}, {"%I", "1", &T::tm_hour, 1},
        {"%l", "12", &T::tm_hour, 0}, {"%M", "59", &T::tm_min, 59}, {"%S", "61", &T::tm_sec, 61},
        {"%j", "1", &T::tm_yday, 0}, {"%j", "366", &T::tm_yday, 365}, {"%w", "6", &T::tm_wday, 6},
        {"%C%y", "1905", &T::tm_year, 5}, {"%y", "68", &T::tm_year, 168}, {"%y", "69", &T::tm_year, 69},
        {"%C", "20", &T::tm_year, 100}, {"%Ey", "00", &T::tm_year, 100}, {"%Od", "07", &T::tm_mday, 7},
        {"%W", "53", &T::tm_yday, kUntouched}, {"%D", "08/19/23", &T::tm_mday, 19}, {"%x", "12/31/99", &T::tm_year, 99},
        {"%T", "13:45:59", &T::tm_sec, 59}, {"%X", "13:45:59", &T::tm_hour, 13}, {"%R", "07:05", &T::tm_sec, kUntouched},
        {"%r", "01:45:59   pm", &T::tm_hour, 13}, {"%I %p", "12 AM", &T::tm_hour, 0}, {"%I %p", "12 PM", &T::tm_hour, 12},
        {"%l%p", "11pm", &T::tm_hour, 23}, {"%a", "Sat", &T::tm_wday, 6}, {"%A", "SUNDAY", &T::tm_wday, 0},
        {"%B", "march", &T::tm_mon, 2}, {"%b", "Aug", &T::tm_mon, 7}, {"%h", "dec", &T::tm_mon, 11},
        {"%H %M", "10   30", &T::tm_min, 30}, {"%H %M", "1030", &T::tm_min, 30}, {"%H%n%M", "10\n\t30", &T::tm_min, 30},
        {"%H%%", "10%", &T::tm_hour, 10}, {"%Y%m%d", "20230819", &T::tm_mon, 7},
    };
    for (const auto& c : cases) {
        auto tm = parseAll(c.text, c.format);
        ASSERT_TRUE(tm) << c.format << " on " << c.text;
        EXPECT_EQ((*tm).*c.member, c.stored) << c.format << " on " << c.text;
    }
}

TEST(Strptime, ValuesOutsideTheBoundsOrNotMatchingFail)
{
    const std::pair<const char*, const char*> cases[] = {
        {"%m", "0"}, {"%m", "13"}, {"%d", "0"}, {"%d", "32"}, {"%H", "24"}, {"%I", "0"}, {"%I", "13"}, {"%W", "54"},
        {"%S", "62"}, {"%j", "0"}, {"%j", "367"}, {"%w", "7"}, {"%U", "54"}, {"%d", " 5"}, {"%d", "+5"}, {"%d", "-5"},
        {"%Y", ""}, {"%Y", "x"}, {"%Q", "1"}, {"%", "%"}, {"%EEd", "1"}, {"-", "+"}, {"%H %p", "13 PM"},
        {"%I %p", "1 XM"}, {"%a", "Sa"}, {"%b", "Mrz"}, {"%H:%M", "10-30"}, {"%H: %M:", "10:30"},
    };
    for (auto [format, text] : cases)
        EXPECT_FALSE(parseAll(text, format)) << format << " on \"" << text << '"';
}
