#include "track/ActivityRead.h"

#include <fstream>
#include <system_error>

bool readWholeFile(const std::filesystem::path& path, std::size_t limit, std::string& content)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > limit)
        return false;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    content.assign(static_cast<std::size_t>(size), '\0');
    file.read(content.data(), static_cast<std::streamsize>(content.size()));
    // The file may have shrunk since it was measured; use what was read.
    content.resize(static_cast<std::size_t>(file.gcount()));
    return !file.bad();
}

std::string utcTimeText(std::int64_t seconds)
{
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Civil date from days since 1970 in the proleptic Gregorian calendar,
    // counted in 400-year eras that start on 1 March.
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

    char text[32];
    auto put = [&](int at, std::int64_t value, int width) {
        for (int i = width - 1; i >= 0; --i) {
            text[at + i] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
    };
    // FIT times are 32-bit, so the year always has four digits.
    put(0, year, 4);
    text[4] = '-';
    put(5, month, 2);
    text[7] = '-';
    put(8, day, 2);
    text[10] = 'T';
    put(11, rest / 3600, 2);
    text[13] = ':';
    put(14, rest / 60 % 60, 2);
    text[16] = ':';
    put(17, rest % 60, 2);
    text[19] = 'Z';
    return std::string(text, 20);
}
