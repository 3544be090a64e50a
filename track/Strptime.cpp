#include "track/Strptime.h"

#include <array>
#include <string_view>

namespace pathlark {
namespace {

constexpr std::array<std::string_view, 7> kDayNames {
    "sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"
};
constexpr std::array<std::string_view, 12> kMonthNames {
    "january", "february", "march", "april", "may", "june",
    "july", "august", "september", "october", "november", "december"
};

bool isWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

const char* skipWhiteSpace(const char* text)
{
    while (isWhiteSpace(*text))
        ++text;
    return text;
}

// True when `text` starts with `word`, ignoring ASCII case.
bool startsWithWord(const char* text, std::string_view word)
{
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (text[i] == '\0' || lower(text[i]) != word[i])
            return false;
    }
    return true;
}

// Reads a field of digits within [low, high]. The upper bound also caps the
// number of digits, so "2023" read as %m stops after "2" and "12:00" read as
// %H stops before the colon.
const char* readNumber(const char* text, int low, int high, int& value)
{
    if (*text < '0' || *text > '9')
        return nullptr;
    int result = 0;
    int rest = high;
    while (*text >= '0' && *text <= '9' && result * 10 <= high && rest > 0) {
        result = result * 10 + (*text - '0');
        rest /= 10;
        ++text;
    }
    if (result < low || result > high)
        return nullptr;
    value = result;
    return text;
}

// Matches a full name or its three-letter abbreviation, the full name first
// so "March" is not read as "Mar" followed by "ch".
template <std::size_t N>
const char* readName(const char* text, const std::array<std::string_view, N>& names, int& index)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (startsWithWord(text, names[i])) {
            index = static_cast<int>(i);
            return text + names[i].size();
        }
    }
    for (std::size_t i = 0; i < N; ++i) {
        if (startsWithWord(text, names[i].substr(0, 3))) {
            index = static_cast<int>(i);
            return text + 3;
        }
    }
    return nullptr;
}

// Fields whose meaning depends on others and is settled after the whole match.
struct Pending {
    bool haveCentury = false;
    int century = 0;
    bool haveShortYear = false;
    int shortYear = 0;
    bool haveHour = false;
    int hour = 0;
    enum class Meridiem { None, Am, Pm } meridiem = Meridiem::None;
};

const char* match(const char* text, const char* format, std::tm& tm, Pending& pending, int nesting);

const char* convert(const char* text, char conversion, std::tm& tm, Pending& pending, int nesting)
{
    int value = 0;
    const char* next = nullptr;
    switch (conversion) {
    case '%':
        return *text == '%' ? text + 1 : nullptr;
    case 'n':
    case 't':
        return skipWhiteSpace(text);
    case 'Y':
        if ((next = readNumber(text, 0, 9999, value)))
            tm.tm_year = value - 1900;
        return next;
    case 'C':
        if ((next = readNumber(text, 0, 99, value))) {
            pending.haveCentury = true;
            pending.century = value;
        }
        return next;
    case 'y':
        if ((next = readNumber(text, 0, 99, value))) {
            pending.haveShortYear = true;
            pending.shortYear = value;
        }
        return next;
    case 'm':
        if ((next = readNumber(text, 1, 12, value)))
            tm.tm_mon = value - 1;
        return next;
    case 'd':
    case 'e':
        if ((next = readNumber(text, 1, 31, value)))
            tm.tm_mday = value;
        return next;
    case 'H':
    case 'k':
        if ((next = readNumber(text, 0, 23, value))) {
            pending.haveHour = true;
            pending.hour = value;
        }
        return next;
    case 'I':
    case 'l':
        if ((next = readNumber(text, 1, 12, value))) {
            pending.haveHour = true;
            pending.hour = value % 12;
        }
        return next;
    case 'M':
        if ((next = readNumber(text, 0, 59, value)))
            tm.tm_min = value;
        return next;
    case 'S':
        // Up to two leap seconds, as POSIX has always allowed.
        if ((next = readNumber(text, 0, 61, value)))
            tm.tm_sec = value;
        return next;
    case 'j':
        if ((next = readNumber(text, 1, 366, value)))
            tm.tm_yday = value - 1;
        return next;
    case 'w':
        if ((next = readNumber(text, 0, 6, value)))
            tm.tm_wday = value;
        return next;
    case 'U':
    case 'W':
        // Week numbers cannot be stored in a tm; they are checked and dropped.
        return readNumber(text, 0, 53, value);
    case 'a':
    case 'A':
        if ((next = readName(text, kDayNames, value)))
            tm.tm_wday = value;
        return next;
    case 'b':
    case 'B':
    case 'h':
        if ((next = readName(text, kMonthNames, value)))
            tm.tm_mon = value;
        return next;
    case 'p':
        if (startsWithWord(text, "am"))
            pending.meridiem = Pending::Meridiem::Am;
        else if (startsWithWord(text, "pm"))
            pending.meridiem = Pending::Meridiem::Pm;
        else
            return nullptr;
        return text + 2;
    case 'D':
    case 'x':
        return match(text, "%m/%d/%y", tm, pending, nesting + 1);
    case 'R':
        return match(text, "%H:%M", tm, pending, nesting + 1);
    case 'T':
    case 'X':
        return match(text, "%H:%M:%S", tm, pending, nesting + 1);
    case 'r':
        return match(text, "%I:%M:%S %p", tm, pending, nesting + 1);
    default:
        return nullptr;
    }
}

const char* match(const char* text, const char* format, std::tm& tm, Pending& pending, int nesting)
{
    // Composite conversions expand to patterns of plain ones, so one level of
    // expansion is all there ever is.
    if (nesting > 1)
        return nullptr;
    while (*format != '\0') {
        if (isWhiteSpace(*format)) {
            text = skipWhiteSpace(text);
            ++format;
            continue;
        }
        if (*format != '%') {
            if (*text != *format)
                return nullptr;
            ++text;
            ++format;
            continue;
        }
        ++format;
        if (*format == 'E' || *format == 'O')
            ++format;
        if (*format == '\0')
            return nullptr;
        text = convert(text, *format, tm, pending, nesting);
        if (!text)
            return nullptr;
        ++format;
    }
    return text;
}

} // namespace

const char* strptime(const char* text, const char* format, std::tm* tm)
{
    if (!text || !format || !tm)
        return nullptr;
    Pending pending;
    const char* end = match(text, format, *tm, pending, 0);
    if (!end)
        return nullptr;

    if (pending.haveHour) {
        // "13:00 PM" is no time of day; "12:00 AM" arrives here as hour 0.
        if (pending.meridiem != Pending::Meridiem::None && pending.hour > 11)
            return nullptr;
        tm->tm_hour = pending.hour + (pending.meridiem == Pending::Meridiem::Pm ? 12 : 0);
    }
    if (pending.haveShortYear) {
        int century = pending.haveCentury ? pending.century : (pending.shortYear < 69 ? 20 : 19);
        tm->tm_year = century * 100 + pending.shortYear - 1900;
    } else if (pending.haveCentury) {
        tm->tm_year = pending.century * 100 - 1900;
    }
    return end;
}

} // namespace pathlark
