#include "track/Track.h"

#include <charconv>
#include <limits>

namespace {

bool isWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::string_view trimWhiteSpace(std::string_view text)
{
    while (!text.empty() && isWhiteSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isWhiteSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

void Track::setName(std::string_view name)
{
    m_name = trimWhiteSpace(name);
}

void Track::setNumber(std::string_view text)
{
    text = trimWhiteSpace(text);
    // from_chars takes a minus sign but not a plus sign; strtol takes both.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-')
        text.remove_prefix(1);
    long long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    bool whole = !text.empty() && error == std::errc() && end == text.data() + text.size();
    bool fits = value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max();
    m_number = whole && fits ? static_cast<std::int32_t>(value) : 0;
}

void Track::addWayPoint(std::unique_ptr<WayPoint> point)
{
    if (point)
        m_points.push_back(std::move(point));
}

const WayPoint* Track::getWayPoint(int index) const
{
    // Compared unsigned, so -1 is as out of range as the count itself.
    if (static_cast<std::size_t>(index) >= m_points.size())
        return nullptr;
    return m_points[static_cast<std::size_t>(index)].get();
}

WayPoint* Track::getWayPoint(int index)
{
    return const_cast<WayPoint*>(std::as_const(*this).getWayPoint(index));
}
