#include "track/Track.h"

#include <charconv>
#include <cstdlib>
#include <limits>
#include <new>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace {

constexpr std::size_t kHugePage = std::size_t { 2 } << 20;

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

void Track::BlockDeleter::operator()(unsigned char* block) const
{
    std::free(block);
}

WayPoint& Track::appendWayPoint()
{
    if (m_blockUsed == m_blockSize) {
        // One point at first, as a waypoint's track has only one, doubling
        // up to 8192 a block; then, for a long track, blocks of one huge
        // page each, which the system maps in one go rather than in 512
        // small pages (mapping them is most of the time a long track takes
        // to read).
        void* block = nullptr;
        if (m_blocks.size() < 14) {
            m_blockSize = std::size_t { 1 } << m_blocks.size();
            block = std::malloc(m_blockSize * sizeof(WayPoint));
        } else {
            m_blockSize = kHugePage / sizeof(WayPoint);
#ifdef MADV_HUGEPAGE
            block = std::aligned_alloc(kHugePage, kHugePage);
            if (block)
                madvise(block, kHugePage, MADV_HUGEPAGE);
#else
            block = std::malloc(kHugePage);
#endif
        }
        if (!block)
            throw std::bad_alloc();
        m_blocks.emplace_back(static_cast<unsigned char*>(block));
        m_blockUsed = 0;
    }
    void* place = m_blocks.back().get() + m_blockUsed++ * sizeof(WayPoint);
    auto* point = new (place) WayPoint;
    point->m_inBlock = true;
    m_points.emplace_back(point);
    return *point;
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
