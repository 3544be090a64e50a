#include "track/ActivityRead.h"

#include <fstream>
#include <system_error>

std::optional<FileBytes> readWholeFile(const std::filesystem::path& path, std::size_t limit)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > limit)
        return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    FileBytes bytes;
    bytes.data = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(size));
    file.read(bytes.data.get(), static_cast<std::streamsize>(size));
    // The file may have shrunk since it was measured; use what was read.
    bytes.size = static_cast<std::size_t>(file.gcount());
    if (file.bad())
        return std::nullopt;
    return bytes;
}

namespace {

void putDigits(char* at, std::int64_t value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        at[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

} // namespace

std::string_view UtcTimeText::operator()(std::int64_t seconds)
{
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    if (days != m_day) {
        m_day = days;
        // Civil date from days since 1970 in the proleptic Gregorian
        // calendar, counted in 400-year eras that start on 1 March.
        days += 719468;
        const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
        const std::int64_t dayOfEra = days - era * 146097;
        const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
        const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
        const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
        const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
        const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
        const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
        putDigits(m_text, year, 4);
        m_text[4] = '-';
        putDigits(m_text + 5, month, 2);
        m_text[7] = '-';
        putDigits(m_text + 8, day, 2);
        m_text[10] = 'T';
        m_text[13] = ':';
        m_text[16] = ':';
        m_text[19] = 'Z';
    }
    putDigits(m_text + 11, rest / 3600, 2);
    putDigits(m_text + 14, rest / 60 % 60, 2);
    putDigits(m_text + 17, rest % 60, 2);
    return std::string_view(m_text, sizeof m_text);
}
